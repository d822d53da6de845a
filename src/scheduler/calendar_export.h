#pragma once

#include "scheduler/schedule_rules.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QStringList>
#include <QTimeZone>

namespace vantiro {

// The schedule as an iCalendar file (RFC 5545), for the calendar programs facility managers use.
//
// One event per row that fires: it starts at the row's first firing (the first date on or after its
// start date that is one of its weekdays and not a date without events, at its time), recurs weekly on
// its weekdays until its last firing (given in UTC, as the format asks when the start names a zone),
// leaves out the dates without events as EXDATEs and is summarised "<group>: <function>". Times are
// local times of the given zone, which the file describes in a VTIMEZONE built from the zone's own
// transitions over the span the events cover.
//
// A row whose time falls in the hour the clock skips in spring does not exist on that day. The runner
// sends it when the clock reaches the end of the gap; a calendar program would move it on by the
// length of the gap instead. So the export writes that day's firing as an EXDATE at the row's time and
// an RDATE at the end of the gap: the calendar shows it when the runner sends it. In the hour the clock
// goes over twice in autumn the runner fires once, at the first pass, as the calendar shows it too.
//
// Lines end in CR LF and are folded at 75 octets; text is escaped.
struct CalendarExport
{
    QByteArray text;
    int events = 0;
    QList<int> neverFiring; // rows left out, from 0
};
CalendarExport exportCalendar(const QList<QStringList> &scheduleRows, const DatesWithoutEvents &skipped,
                              const QTimeZone &zone, const QDateTime &stamp);

} // namespace vantiro
