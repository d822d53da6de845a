#include "schedule_walk.h"

namespace vantiro::test {

bool conflictByDailyWalk(const ScheduleCandidate &candidate, const ScheduleRowTimes &row)
{
    const std::optional<QDate> first = readScheduleDate(candidate.startDate);
    const std::optional<QDate> last = readScheduleDate(candidate.endDate);
    if (!first || !last)
        return false;
    const WeekdaySet rowDays = weekdaysOfDaysText(row.daysText);
    for (QDate day = *first; day <= *last; day = day.addDays(1)) {
        const size_t weekday = size_t(weekdayIndex(day));
        if (!candidate.days[weekday] || !rowDays[weekday])
            continue;
        if (row.startDate != u"Any") {
            const std::optional<QDate> rowFirst = readScheduleDate(row.startDate);
            const std::optional<QDate> rowLast = readScheduleDate(row.endDate);
            if (!rowFirst || !rowLast)
                return false;
            if (day < *rowFirst || day > *rowLast)
                continue;
        }
        const std::optional<QTime> time = readScheduleTime(candidate.time);
        const std::optional<QTime> rowStart = readScheduleTime(row.startTime);
        const std::optional<QTime> rowEnd = readScheduleTime(row.endTime);
        if (!time || !rowStart || !rowEnd)
            return false;
        // The candidate's end time is its start time.
        const bool meet = *time <= *rowStart ? *time >= *rowStart : *time <= *rowEnd;
        if (meet)
            return true;
    }
    return false;
}

} // namespace vantiro::test
