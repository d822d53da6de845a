#pragma once

#include <QDate>
#include <QString>
#include <QTime>

#include <array>
#include <optional>

namespace vantiro::test {

// A schedule row or candidate as the values a test generated its texts from, not as the program reads
// them: nothing for a date or time whose text is unreadable; weekdays Sunday first.
struct PlainTiming
{
    bool anyDate = false; // the start date "Any"
    std::optional<QDate> first;
    std::optional<QDate> last;
    std::optional<QTime> time;
    std::array<bool, 7> days {};
};

// The conflict test done the plain way: every day of the candidate's range in turn, its weekday from
// QDate::dayOfWeek, reading the row's dates and times only on a day whose weekday both share. The
// fast test must agree with it.
bool conflictByDailyWalk(const PlainTiming &candidate, const PlainTiming &row);

// A row's texts written the plain way: a date as MM/DD/YYYY, and weekdays (bit 0 Sunday) as the day mask's
// tags with "N" for a day not chosen.
QString plainDateText(QDate date);
QString plainDaysText(int mask);

} // namespace vantiro::test
