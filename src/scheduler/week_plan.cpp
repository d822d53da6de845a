#include "scheduler/week_plan.h"

#include "scheduler/schedule_runner.h"
#include "scheduler/schedule_table.h"

#include <QLocale>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace vantiro {

FunctionKind functionKind(const QString &functionName)
{
    const std::optional<ScheduledFunction> function = scheduledFunction(functionName);
    if (!function)
        return FunctionKind::Other;
    switch (function->kind.command) {
    case HandOffCommand::PowerOn:
        return FunctionKind::On;
    case HandOffCommand::PowerOff:
        return FunctionKind::Off;
    default:
        return FunctionKind::Other;
    }
}

int WeekBlock::day() const
{
    return weekdayIndex(moment.date());
}

QDate weekSunday(QDate day)
{
    return day.addDays(-weekdayIndex(day));
}

WeekPlan planWeek(const QList<QStringList> &scheduleRows, const DatesWithoutEvents &skipped, QDate dayOfWeek)
{
    WeekPlan plan;
    plan.sunday = weekSunday(dayOfWeek);
    const QDateTime after = wallClockMoment(plan.sunday, QTime(0, 0)).addSecs(-1);
    const QDateTime upTo = wallClockMoment(plan.sunday.addDays(6), QTime(23, 59, 59));
    for (int row = 0; row < scheduleRows.size(); ++row) {
        const QStringList &cells = scheduleRows.at(row);
        const std::optional<ScheduleTiming> timing = scheduleRowTiming(cells);
        if (!timing || !everFires(*timing, skipped)) {
            plan.neverFiring.append(row);
            continue;
        }
        const QString group = cells.value(GroupCell).trimmed();
        const QString function = cells.value(FunctionCell).trimmed();
        for (const QDateTime &moment : firings(*timing, skipped, after, upTo))
            plan.blocks.append({ row, moment, group, function, functionKind(function) });
    }
    std::stable_sort(plan.blocks.begin(), plan.blocks.end(),
                     [](const WeekBlock &a, const WeekBlock &b) { return a.moment < b.moment; });
    // Blocks of one minute are neighbours now.
    for (qsizetype first = 0; first < plan.blocks.size();) {
        const QDateTime minute = plan.blocks.at(first).moment.addSecs(-plan.blocks.at(first).moment.time().second());
        qsizetype end = first + 1;
        while (end < plan.blocks.size() && plan.blocks.at(end).moment < minute.addSecs(60))
            ++end;
        for (qsizetype i = first; i < end; ++i) {
            plan.blocks[i].stackIndex = int(i - first);
            plan.blocks[i].stackSize = int(end - first);
        }
        first = end;
    }
    return plan;
}

QString blockName(const WeekBlock &block)
{
    const QTime time = block.moment.time();
    const QString clock = time.toString(time.second() == 0 ? u"HH:mm"_s : u"HH:mm:ss"_s);
    return QLocale::c().dayName(block.moment.date().dayOfWeek()) + u' ' + clock + u", "_s + block.group + u", "_s
        + block.function;
}

QString neverFiresText(const QStringList &scheduleRow, int row)
{
    return u"never fires: row %1, %2, %3, %4 to %5 at %6"_s.arg(row + 1)
        .arg(scheduleRow.value(GroupCell).trimmed(), scheduleRow.value(FunctionCell).trimmed(),
             scheduleRow.value(StartDateCell).trimmed(), scheduleRow.value(EndDateCell).trimmed(),
             scheduleRow.value(StartTimeCell).trimmed());
}

QList<int> stackTops(const QList<int> &minutes, double pixelsPerMinute, int blockHeight)
{
    QList<int> tops;
    int free = 0;
    for (int minute : minutes) {
        const int top = std::max(int(minute * pixelsPerMinute), free);
        tops.append(top);
        free = top + blockHeight;
    }
    return tops;
}

} // namespace vantiro
