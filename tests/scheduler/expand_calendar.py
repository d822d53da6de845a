# Expands an iCalendar file with parsers that owe nothing to Vantiro (icalendar for the events,
# dateutil for the recurrences and for the file's own VTIMEZONE) and prints, for each event, its
# summary and start, then every occurrence, as local wall-clock times without a zone:
#   E<TAB>summary<TAB>YYYY-MM-DD HH:MM:SS
#   I<TAB>summary<TAB>YYYY-MM-DD HH:MM:SS
# It fails when a line does not end in CR LF or is longer than 75 octets.
import io
import sys

from dateutil import rrule, tz
from icalendar import Calendar


def local(value, zone):
    return value.replace(tzinfo=None).replace(tzinfo=zone)


def dates(component, name, zone):
    found = component.get(name)
    if found is None:
        return []
    lists = found if isinstance(found, list) else [found]
    return [local(entry.dt, zone) for values in lists for entry in values.dts]


def main(path):
    data = open(path, "rb").read()
    lines = data.split(b"\r\n")
    if lines[-1] != b"":
        sys.exit("the file does not end in CR LF")
    for line in lines[:-1]:
        if len(line) > 75 or b"\n" in line or b"\r" in line:
            sys.exit("bad line: %r" % line)
    unfolded = data.decode("utf-8").replace("\r\n ", "").split("\r\n")
    start = unfolded.index("BEGIN:VTIMEZONE")
    end = unfolded.index("END:VTIMEZONE")
    zone = tz.tzical(io.StringIO("\n".join(unfolded[start:end + 1]))).get()

    for event in Calendar.from_ical(data).walk("VEVENT"):
        summary = str(event["SUMMARY"])
        first = local(event["DTSTART"].dt, zone)
        print("E\t%s\t%s" % (summary, first.strftime("%Y-%m-%d %H:%M:%S")))
        occurrences = rrule.rruleset()
        occurrences.rrule(rrule.rrulestr("RRULE:" + event["RRULE"].to_ical().decode(), dtstart=first))
        for moved in dates(event, "RDATE", zone):
            occurrences.rdate(moved)
        for left_out in dates(event, "EXDATE", zone):
            occurrences.exdate(left_out)
        for occurrence in occurrences:
            print("I\t%s\t%s" % (summary, occurrence.strftime("%Y-%m-%d %H:%M:%S")))


main(sys.argv[1])
