#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTime>

#include <array>
#include <limits>
#include <optional>

namespace vantiro {

// Weekdays of a schedule row, Sunday first (index 0 Sunday to 6 Saturday).
using WeekdaySet = std::array<bool, 7>;

// Sunday 0 to Saturday 6.
int weekdayIndex(QDate date);

// A date text read month first, whatever the system's regional order: "03/04/2009" and "3-4-2009"
// are March 4th, 2009. Blanks around the text and its parts do not count; a two-digit year is
// 2000 to 2029 or 1930 to 1999 (a hand-edited file may hold one). Nothing for a text that names no
// calendar date, or whose year has three digits.
std::optional<QDate> readScheduleDate(QStringView text);
// A date the operator typed: as above, but the year must have four digits.
std::optional<QDate> readEnteredDate(QStringView text);
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

// The schedule's times are the ones the clock shows, also across the clock changes: a moment of the
// schedule is a date and a time of day as the clock shows them ("wall-clock"), kept in UTC so that
// two of them compare as the clock's face does. The second the clock shows now, as such a moment.
QDateTime wallClockSecond(const QDateTime &clockNow);
QDateTime wallClockMoment(QDate date, QTime time);
// "MM/DD/YYYY HH:MM:SS".
QString wallClockText(const QDateTime &moment);

// A schedule row's texts as its timing is read from them.
struct ScheduleRowTimes
{
    QString startDate;
    QString endDate;
    QString startTime;
    QString daysText;
};

// A schedule row's timing, read once. A row is an instant: it fires at its start time on every day
// from its start date to its end date (both included) whose weekday it names; its end time plays no
// part. The runner, the "Next:" line, the tooltips and the conflict check all read rows this way.
struct ScheduleTiming
{
    QDate first; // both invalid for a row whose start date is "Any"
    QDate last;
    QTime time;
    WeekdaySet days {};

    // A row dated "Any" applies on every date for the conflict check, but never fires.
    bool anyDate() const { return !first.isValid(); }
    // Within the row's dates (every date for "Any") and on one of its weekdays.
    bool appliesOn(QDate day) const;
};

// Nothing for a row whose time, or whose dates (unless the start date is "Any"), cannot be read.
std::optional<ScheduleTiming> readScheduleTiming(const ScheduleRowTimes &row);

// Dates on which no row fires (holidays), each with an optional note. They are kept as the operator
// wrote them, a date text and a note; a text that names no date skips nothing. Of two entries for one
// date the first one's note counts.
class DatesWithoutEvents
{
public:
    DatesWithoutEvents() = default;
    // Rows of date text and note.
    static DatesWithoutEvents fromRows(const QList<QStringList> &rows);

    bool isEmpty() const { return m_notes.isEmpty(); }
    bool contains(QDate day) const { return m_notes.contains(day); }
    QString note(QDate day) const { return m_notes.value(day); }
    // Earliest first.
    QList<QDate> dates() const { return m_notes.keys(); }

private:
    QMap<QDate, QString> m_notes;
};

// The due rule: the wall-clock moments in (after, upTo] at which the row fires, soonest first, at most
// `limit` of them. The first form counts every date; the runner uses it to tell the firings it skips.
QList<QDateTime> firings(const ScheduleTiming &timing, const QDateTime &after, const QDateTime &upTo,
                         qsizetype limit = std::numeric_limits<qsizetype>::max());
// Without the dates on which no row fires.
QList<QDateTime> firings(const ScheduleTiming &timing, const DatesWithoutEvents &skipped, const QDateTime &after,
                         const QDateTime &upTo, qsizetype limit = std::numeric_limits<qsizetype>::max());
// The next moments after the second the clock shows now at which the row fires, at most `count`.
QList<QDateTime> nextFirings(const ScheduleTiming &timing, const DatesWithoutEvents &skipped,
                             const QDateTime &clockNow, qsizetype count);
// Whether the row fires at all, on some date of its range.
bool everFires(const ScheduleTiming &timing, const DatesWithoutEvents &skipped);

// The entry the attribute editor is about to write.
struct ScheduleCandidate
{
    QString startDate;
    QString endDate;
    QString time;
    WeekdaySet days {};
};

// The candidate's timing; nothing when its dates or time cannot be read.
std::optional<ScheduleTiming> readCandidateTiming(const ScheduleCandidate &candidate);

// The conflict check: whether the candidate and the row would fire at the same moment, at the same
// time of day, on a date both apply to, with a weekday both share. The answer is the one a
// day-by-day walk over the candidate's range gives, found without the walk.
bool hasScheduleConflict(const ScheduleTiming &candidate, const ScheduleTiming &row);

} // namespace vantiro
