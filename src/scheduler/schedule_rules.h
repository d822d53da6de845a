#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QTime>

#include <array>
#include <optional>

namespace vantiro {

// Weekdays of a schedule row, Sunday first (index 0 Sunday to 6 Saturday).
using WeekdaySet = std::array<bool, 7>;

// Sunday 0 to Saturday 6.
int weekdayIndex(QDate date);

// A date text read month first, whatever the system's regional order: "03/04/2009" and "3-4-2009"
// are March 4th, 2009. Blanks around the text and its parts do not count; a two-digit year is
// 2000 to 2029 or 1930 to 1999. Nothing for a text that names no calendar date.
std::optional<QDate> readScheduleDate(QStringView text);
// "MM/DD/YYYY", the form every date of the schedule is written in.
QString scheduleDateText(QDate date);
// A time of day "HH:MM:SS" (one or two digits each; "HH:MM" means second 0).
std::optional<QTime> readScheduleTime(QStringView text);
QString scheduleTimeText(QTime time);

// The weekdays a Days text ("S,N,N,N,N,N,Sat") names: every entry other than exactly "N" applies.
WeekdaySet weekdaysOfDaysText(QStringView daysText);
// The Days text of a weekday set: each day's tag, or "N".
QString daysTextOf(const WeekdaySet &days);

// The day after a "mm/dd/yyyy" text, in the same form; the month, day and year are read from
// characters 1-2, 4-5 and 7-10. The empty text when those give no month from 1 to 12.
QString getNextValidDate(const QString &dateText);

// Whether some day from the start date to the end date (both included) falls on a chosen weekday.
// False when either text is not a date, or when the start lies after the end.
bool checkDateRange(const QString &startDate, const QString &endDate, const WeekdaySet &days);

// Whether a schedule row fires at this second: the day lies within its dates, the clock within its
// start and end times (both ends included) and today's weekday is one of its days. A row whose
// dates or times cannot be read never fires.
bool isEntryDue(const QString &startDate, const QString &endDate, const QString &startTime, const QString &endTime,
                const QString &daysText, const QString &clockText, QDate today);

// A schedule row as the conflict test and the next-firing search read it.
struct ScheduleRowTimes
{
    QString startDate;
    QString endDate;
    QString startTime;
    QString endTime;
    QString daysText;
};

// The entry the attribute editor is about to write.
struct ScheduleCandidate
{
    QString startDate;
    QString endDate;
    QString time;
    WeekdaySet days {};
};

// Whether the candidate and the row would fire at the same moment: on a date both apply to (a row
// whose start date is "Any" applies on every date), with a weekday both share, at a time of the
// candidate's within the row's start and end times. Unreadable dates or times give false. The
// answer is the one a day-by-day walk over the candidate's range gives, found without the walk.
bool hasScheduleConflict(const ScheduleCandidate &candidate, const ScheduleRowTimes &row);

// The next moments after `after` at which the runner will find the row due (the first second of
// each day's window), at most `count` of them, soonest first; empty when it never fires again.
QList<QDateTime> nextFirings(const ScheduleRowTimes &row, const QDateTime &after, int count);

} // namespace vantiro
