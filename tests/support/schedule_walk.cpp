#include "schedule_walk.h"

namespace vantiro::test {

bool conflictByDailyWalk(const PlainTiming &candidate, const PlainTiming &row)
{
    if (!candidate.first || !candidate.last)
        return false;
    for (QDate day = *candidate.first; day <= *candidate.last; day = day.addDays(1)) {
        const int weekday = day.dayOfWeek() == 7 ? 0 : day.dayOfWeek(); // Sunday first
        if (!candidate.days[weekday] || !row.days[weekday])
            continue;
        if (!row.anyDate) {
            if (!row.first || !row.last)
                return false;
            if (day < *row.first || day > *row.last)
                continue;
        }
        if (!candidate.time || !row.time)
            return false;
        // Both are instants.
        if (*candidate.time == *row.time)
            return true;
    }
    return false;
}

} // namespace vantiro::test
