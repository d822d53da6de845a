#include "schedule_walk.h"

#include <QStringList>

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

QString plainDateText(QDate date)
{
    return date.toString(QStringLiteral("MM/dd/yyyy"));
}

QString plainDaysText(int mask)
{
    static const char *const tags[] = { "S", "M", "T", "W", "Th", "F", "Sat" };
    QStringList days;
    for (int day = 0; day < 7; ++day)
        days.append(QString::fromLatin1(mask & (1 << day) ? tags[day] : "N"));
    return days.join(u',');
}

} // namespace vantiro::test
