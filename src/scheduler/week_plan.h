#pragma once

#include "scheduler/schedule_rules.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace vantiro {

// What a function does to the displays, for the colour of its blocks.
enum class FunctionKind { On, Off, Other };
FunctionKind functionKind(const QString &functionName);

// One firing of a schedule row in the week picture.
struct WeekBlock
{
    int row = 0; // in the schedule, from 0
    QDateTime moment; // wall-clock time, as the runner fires it
    QString group;
    QString function;
    FunctionKind kind = FunctionKind::Other;
    // Firings of one day at the same minute form a stack: this block's place in it, and its height.
    int stackIndex = 0;
    int stackSize = 1;

    int day() const; // 0 Sunday to 6 Saturday
};

// The week from a Sunday to the Saturday after it, as the runner will fire it: the same due rule, the
// dates without events passed over. Blocks come in time order and, within one second, in schedule
// order. Rows that can never fire (unreadable dates or times, "Any" dates, no weekday, or no date of
// their range left) are listed apart, from 0.
struct WeekPlan
{
    QDate sunday;
    QList<WeekBlock> blocks;
    QList<int> neverFiring;
};

// The Sunday on or before the day.
QDate weekSunday(QDate day);
WeekPlan planWeek(const QList<QStringList> &scheduleRows, const DatesWithoutEvents &skipped, QDate dayOfWeek);

// "Tuesday 08:00, Lobby, Monitors ON"; the seconds are named when they are not 0.
QString blockName(const WeekBlock &block);
// "never fires: 3 Lobby Monitors ON (start date 13/45/2027)"-like text for a row, from 0.
QString neverFiresText(const QStringList &scheduleRow, int row);

// Where the blocks of one day go down the picture: each at its time (pixelsPerMinute from midnight)
// unless the block above it still takes that place, then just under it, so blocks of one minute stack
// and none hides another. `minutes` are the blocks' minutes of the day in picture order.
QList<int> stackTops(const QList<int> &minutes, double pixelsPerMinute, int blockHeight);

} // namespace vantiro
