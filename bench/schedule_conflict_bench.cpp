// "Set Attributes" on a schedule of 2,000 rows whose date ranges span 20 years: the time of the whole
// check (date order, weekdays, date range, conflicts with every other row), and the same conflict
// check done by walking the candidate's range day by day, side by side in one run.
// Goals: the check under 20 ms, and at least 100 times faster than the walk.
#include "bench_stats.h"
#include "common/text_table_model.h"
#include "schedule_walk.h"
#include "scheduler/schedule_editing.h"
#include "scheduler/schedule_table.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;
using namespace vantiro;

namespace {

constexpr int rowCount = 2000;
constexpr int rounds = 7;
constexpr int walkRounds = 3;

using bench::median;

// Rows at other times than the candidate's, so no row stops the check early: every row is tested.
// Returns the rows as the walk takes them.
std::vector<test::PlainTiming> fillSchedule(TextTableModel &schedule)
{
    std::vector<test::PlainTiming> rows;
    QRandomGenerator random(2009);
    for (int row = 0; row < rowCount; ++row) {
        test::PlainTiming plain;
        plain.first = QDate(2000, 1, 1).addDays(random.bounded(3650));
        plain.last = plain.first->addYears(20);
        plain.time = QTime(9 + random.bounded(12), random.bounded(60));
        for (bool &day : plain.days)
            day = random.bounded(2) == 1;
        plain.days[size_t(random.bounded(7))] = true;
        WeekdaySet days {};
        std::copy(plain.days.begin(), plain.days.end(), days.begin());
        schedule.appendRow({ u"Group %1"_s.arg(row), scheduleDateText(*plain.first), scheduleDateText(*plain.last),
                             scheduleTimeText(*plain.time), scheduleTimeText(*plain.time), daysTextOf(days),
                             u"Monitors ON"_s });
        rows.push_back(plain);
    }
    return rows;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);

    TextTableModel schedule(scheduleColumns());
    const std::vector<test::PlainTiming> rows = fillSchedule(schedule);
    const AttributeEditorTexts editor { u"01/01/2005"_s, u"12/31/2024"_s,
                                        u"08"_s,         u"00"_s,
                                        u"00"_s,         WeekdaySet { true, true, true, true, true, true, true },
                                        u"Monitors ON"_s };

    std::vector<double> checkMs;
    bool written = true;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        written = written && setAttributes(schedule, 0, editor).row.has_value();
        checkMs.push_back(double(timer.nsecsElapsed()) / 1e6);
    }

    const test::PlainTiming candidate {
        false, QDate(2005, 1, 1), QDate(2024, 12, 31), QTime(8, 0), { true, true, true, true, true, true, true }
    };
    std::vector<double> walkMs;
    int walkConflicts = 0;
    for (int round = 0; round < walkRounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        for (size_t row = 1; row < rows.size(); ++row)
            walkConflicts += test::conflictByDailyWalk(candidate, rows[row]);
        walkMs.push_back(double(timer.nsecsElapsed()) / 1e6);
    }

    const double check = median(checkMs);
    const double worst = *std::max_element(checkMs.begin(), checkMs.end());
    const double walk = median(walkMs);
    std::printf("Set Attributes on %d rows spanning 20 years (candidate 20 years, every weekday)\n", rowCount);
    std::printf("(a) whole check            %8.2f ms median, %.2f ms worst of %d  (goal < 20 ms)\n", check, worst,
                rounds);
    std::printf("(b) day-by-day walk        %8.1f ms median of %d\n", walk, walkRounds);
    std::printf("    walk / check: %.0f times  (goal >= 100)\n", walk / check);
    std::printf("row written: %s, conflicts found by the walk: %d (both must be none)\n", written ? "yes" : "no",
                walkConflicts);
    return written && walkConflicts == 0 ? 0 : 1;
}
