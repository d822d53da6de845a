#include "scheduler/calendar_export.h"

#include "scheduler/schedule_table.h"

#include <QCryptographicHash>
#include <QMap>

#include <algorithm>
#include <tuple>

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

const QByteArray lineEnd = "\r\n";
constexpr qsizetype lineOctets = 75;

// A content line cut into lines of at most 75 octets, each further one starting with a blank, never
// inside a UTF-8 sequence.
void appendFolded(QByteArray &out, const QString &line)
{
    const QByteArray bytes = line.toUtf8();
    qsizetype start = 0;
    bool first = true;
    while (true) {
        const qsizetype room = first ? lineOctets : lineOctets - 1;
        qsizetype end = std::min(bytes.size(), start + room);
        while (end < bytes.size() && end > start && (quint8(bytes.at(end)) & 0xC0) == 0x80)
            --end;
        if (!first)
            out += ' ';
        out += bytes.mid(start, end - start);
        out += lineEnd;
        if (end >= bytes.size())
            return;
        start = end;
        first = false;
    }
}

QString escapedText(const QString &text)
{
    QString escaped;
    for (QChar c : text) {
        if (c == u'\\' || c == u';' || c == u',')
            escaped += u'\\';
        if (c == u'\n') {
            escaped += u"\\n"_s;
            continue;
        }
        if (c == u'\r')
            continue;
        escaped += c;
    }
    return escaped;
}

// A parameter value with ":", ";" or "," is quoted; a quote cannot be held and is left out.
QString parameterValue(const QString &value)
{
    QString plain = value;
    plain.remove(u'"');
    if (plain.contains(u':') || plain.contains(u';') || plain.contains(u','))
        return u'"' + plain + u'"';
    return plain;
}

QString localText(QDate date, QTime time)
{
    return date.toString(u"yyyyMMdd"_s) + u'T' + time.toString(u"HHmmss"_s);
}

QString utcText(const QDateTime &utc)
{
    return localText(utc.date(), utc.time()) + u'Z';
}

QString offsetText(int seconds)
{
    const QChar sign = seconds < 0 ? u'-' : u'+';
    seconds = std::abs(seconds);
    QString text = u"%1%2%3"_s.arg(sign).arg(seconds / 3600, 2, 10, QLatin1Char('0')).arg(seconds % 3600 / 60, 2, 10,
                                                                                          QLatin1Char('0'));
    if (seconds % 60 != 0)
        text += u"%1"_s.arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return text;
}

// A change of the zone's offset, as local time before it.
struct Change
{
    QDateTime atUtc;
    int from = 0;
    int to = 0;
    bool daylight = false;
    QString name;
};

QList<Change> changesBetween(const QTimeZone &zone, const QDateTime &fromUtc, const QDateTime &toUtc)
{
    QList<Change> changes;
    QTimeZone::OffsetDataList transitions;
    // The change in force at the start, so the description covers the whole span.
    const QTimeZone::OffsetData before = zone.previousTransition(fromUtc);
    if (before.atUtc.isValid())
        transitions.append(before);
    transitions += zone.transitions(fromUtc, toUtc);
    for (const QTimeZone::OffsetData &transition : transitions) {
        const int from = zone.offsetFromUtc(transition.atUtc.addSecs(-1));
        changes.append({ transition.atUtc, from, transition.offsetFromUtc, transition.daylightTimeOffset != 0,
                         transition.abbreviation });
    }
    return changes;
}

// The VTIMEZONE: one STANDARD or DAYLIGHT part per kind of change, its first change as DTSTART and
// the others as RDATEs, all in the local time before each change.
void appendTimeZone(QByteArray &out, const QTimeZone &zone, const QString &zoneId, const QDateTime &fromUtc,
                    const QDateTime &toUtc)
{
    appendFolded(out, u"BEGIN:VTIMEZONE"_s);
    appendFolded(out, u"TZID:"_s + zoneId);
    const QList<Change> changes = changesBetween(zone, fromUtc, toUtc);
    if (changes.isEmpty()) {
        const int offset = zone.offsetFromUtc(fromUtc);
        appendFolded(out, u"BEGIN:STANDARD"_s);
        appendFolded(out, u"DTSTART:19700101T000000"_s);
        appendFolded(out, u"TZOFFSETFROM:"_s + offsetText(offset));
        appendFolded(out, u"TZOFFSETTO:"_s + offsetText(offset));
        const QString name = zone.abbreviation(fromUtc);
        if (!name.isEmpty())
            appendFolded(out, u"TZNAME:"_s + escapedText(name));
        appendFolded(out, u"END:STANDARD"_s);
    }
    using Kind = std::tuple<bool, int, int, QString>;
    QMap<Kind, QList<QDateTime>> kinds; // local times before each change
    QList<Kind> order;
    for (const Change &change : changes) {
        const Kind kind { change.daylight, change.from, change.to, change.name };
        if (!kinds.contains(kind))
            order.append(kind);
        kinds[kind].append(change.atUtc.addSecs(change.from));
    }
    for (const Kind &kind : order) {
        const auto &[daylight, from, to, name] = kind;
        const QString part = daylight ? u"DAYLIGHT"_s : u"STANDARD"_s;
        const QList<QDateTime> &starts = kinds.value(kind);
        appendFolded(out, u"BEGIN:"_s + part);
        appendFolded(out, u"DTSTART:"_s + localText(starts.first().date(), starts.first().time()));
        QStringList others;
        for (qsizetype i = 1; i < starts.size(); ++i)
            others.append(localText(starts.at(i).date(), starts.at(i).time()));
        if (!others.isEmpty())
            appendFolded(out, u"RDATE:"_s + others.join(u','));
        appendFolded(out, u"TZOFFSETFROM:"_s + offsetText(from));
        appendFolded(out, u"TZOFFSETTO:"_s + offsetText(to));
        if (!name.isEmpty())
            appendFolded(out, u"TZNAME:"_s + escapedText(name));
        appendFolded(out, u"END:"_s + part);
    }
    appendFolded(out, u"END:VTIMEZONE"_s);
}

// A spring gap on a day: the skipped local times [start, end).
struct Gap
{
    QDate day;
    QTime start;
    QTime end;
};

QList<Gap> gapsBetween(const QTimeZone &zone, QDate first, QDate last)
{
    QList<Gap> gaps;
    const QDateTime fromUtc(first.addDays(-1), QTime(0, 0), QTimeZone::utc());
    const QDateTime toUtc(last.addDays(2), QTime(0, 0), QTimeZone::utc());
    for (const QTimeZone::OffsetData &transition : zone.transitions(fromUtc, toUtc)) {
        const int from = zone.offsetFromUtc(transition.atUtc.addSecs(-1));
        if (transition.offsetFromUtc <= from)
            continue;
        const QDateTime start = transition.atUtc.addSecs(from);
        const QDateTime end = transition.atUtc.addSecs(transition.offsetFromUtc);
        // A gap across midnight (no zone has one today) is left to the calendar program.
        if (start.date() == end.date())
            gaps.append({ start.date(), start.time(), end.time() });
    }
    return gaps;
}

// The last date of the row's range on which it fires.
QDate lastFiringDay(const ScheduleTiming &timing, const DatesWithoutEvents &skipped, QDate firstDay)
{
    for (QDate day = timing.last; day >= firstDay; day = day.addDays(-1)) {
        if (timing.days[size_t(weekdayIndex(day))] && !skipped.contains(day))
            return day;
    }
    return firstDay;
}

QString byDay(const WeekdaySet &days)
{
    static const char *const names[] = { "SU", "MO", "TU", "WE", "TH", "FR", "SA" };
    QStringList chosen;
    for (size_t day = 0; day < days.size(); ++day) {
        if (days[day])
            chosen.append(QLatin1String(names[day]));
    }
    return chosen.join(u',');
}

struct RowEvent
{
    int row = 0;
    ScheduleTiming timing;
    QDate firstDay;
    QDate lastDay;
};

} // namespace

CalendarExport exportCalendar(const QList<QStringList> &scheduleRows, const DatesWithoutEvents &skipped,
                              const QTimeZone &zone, const QDateTime &stamp)
{
    CalendarExport result;
    QList<RowEvent> events;
    for (int row = 0; row < scheduleRows.size(); ++row) {
        const std::optional<ScheduleTiming> timing = scheduleRowTiming(scheduleRows.at(row));
        const QList<QDateTime> first = timing ? firings(*timing, skipped,
                                                        wallClockMoment(timing->first, QTime(0, 0)).addSecs(-1),
                                                        wallClockMoment(timing->last, QTime(23, 59, 59)), 1)
                                              : QList<QDateTime>();
        if (first.isEmpty()) {
            result.neverFiring.append(row);
            continue;
        }
        const QDate firstDay = first.first().date();
        events.append({ row, *timing, firstDay, lastFiringDay(*timing, skipped, firstDay) });
    }

    // A zone the system cannot name still gets a name the file's events can refer to.
    const QString zoneId = zone.id().isEmpty() ? u"Local"_s : QString::fromUtf8(zone.id());
    const QString tzid = u";TZID="_s + parameterValue(zoneId) + u':';
    QByteArray out;
    appendFolded(out, u"BEGIN:VCALENDAR"_s);
    appendFolded(out, u"VERSION:2.0"_s);
    appendFolded(out, u"PRODID:-//Vantiro//Schedule//EN"_s);
    appendFolded(out, u"CALSCALE:GREGORIAN"_s);
    if (!events.isEmpty()) {
        QDate spanFirst = events.first().firstDay;
        QDate spanLast = events.first().lastDay;
        for (const RowEvent &event : events) {
            spanFirst = std::min(spanFirst, event.firstDay);
            spanLast = std::max(spanLast, event.lastDay);
        }
        appendTimeZone(out, zone, zoneId, QDateTime(spanFirst.addDays(-1), QTime(0, 0), QTimeZone::utc()),
                       QDateTime(spanLast.addDays(2), QTime(0, 0), QTimeZone::utc()));
    }
    const QString stampText = utcText(stamp.toUTC());
    for (const RowEvent &event : events) {
        const QStringList &cells = scheduleRows.at(event.row);
        const QTime time = event.timing.time;
        QStringList exceptions;
        for (const QDate day : skipped.dates()) {
            if (day > event.firstDay && day <= event.lastDay && event.timing.days[size_t(weekdayIndex(day))])
                exceptions.append(localText(day, time));
        }
        QStringList moved;
        QDateTime lastUtc;
        for (const Gap &gap : gapsBetween(zone, event.firstDay, event.lastDay)) {
            if (time < gap.start || time >= gap.end || gap.day < event.firstDay || gap.day > event.lastDay
                || !event.timing.days[size_t(weekdayIndex(gap.day))] || skipped.contains(gap.day))
                continue;
            exceptions.append(localText(gap.day, time));
            moved.append(localText(gap.day, gap.end));
            if (gap.day == event.lastDay)
                lastUtc = QDateTime(gap.day, gap.end, zone).toUTC();
        }
        if (!lastUtc.isValid())
            lastUtc = QDateTime(event.lastDay, time, zone).toUTC();
        exceptions.sort();

        const QByteArray uid = QCryptographicHash::hash(cells.join(u'\x1f').toUtf8(), QCryptographicHash::Sha1)
                                   .toHex()
                                   .left(16);
        appendFolded(out, u"BEGIN:VEVENT"_s);
        appendFolded(out, u"UID:%1-%2@vantiro"_s.arg(QString::fromLatin1(uid)).arg(event.row + 1));
        appendFolded(out, u"DTSTAMP:"_s + stampText);
        appendFolded(out, u"DTSTART"_s + tzid + localText(event.firstDay, time));
        appendFolded(out, u"RRULE:FREQ=WEEKLY;BYDAY="_s + byDay(event.timing.days) + u";UNTIL="_s + utcText(lastUtc));
        if (!exceptions.isEmpty())
            appendFolded(out, u"EXDATE"_s + tzid + exceptions.join(u','));
        if (!moved.isEmpty())
            appendFolded(out, u"RDATE"_s + tzid + moved.join(u','));
        appendFolded(out, u"SUMMARY:"_s
                          + escapedText(cells.value(GroupCell).trimmed() + u": "_s + cells.value(FunctionCell).trimmed()));
        appendFolded(out, u"END:VEVENT"_s);
        ++result.events;
    }
    appendFolded(out, u"END:VCALENDAR"_s);
    result.text = out;
    return result;
}

} // namespace vantiro
