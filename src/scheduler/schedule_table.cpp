#include "scheduler/schedule_table.h"

using namespace Qt::StringLiterals;

namespace vantiro {

QList<TableColumn> scheduleColumns()
{
    QList<TableColumn> columns;
    for (const QString &key :
         { scheduleGroupColumn, scheduleStartDateColumn, scheduleEndDateColumn, scheduleStartTimeColumn,
           scheduleEndTimeColumn, scheduleDaysColumn, scheduleFunctionColumn })
        columns.append({ key, key });
    return columns;
}

ScheduleRowTimes scheduleRowTimes(const QStringList &cells)
{
    return { cells.value(StartDateCell), cells.value(EndDateCell), cells.value(StartTimeCell), cells.value(DaysCell) };
}

std::optional<ScheduleTiming> scheduleRowTiming(const QStringList &cells)
{
    return readScheduleTiming(scheduleRowTimes(cells));
}

QList<TableColumn> pendingColumns()
{
    QList<TableColumn> columns = scheduleColumns();
    columns[5] = { u"DaysOfWeek"_s, u"Days Of Week"_s };
    columns[6] = { u"MonitorsOnOff"_s, u"Function"_s };
    return columns;
}

QList<TableColumn> datesWithoutEventsColumns()
{
    return { { exceptionDateColumn, exceptionDateColumn }, { exceptionNoteColumn, exceptionNoteColumn } };
}

const QStringList &scheduleFunctionNames()
{
    static const QStringList names { u"Monitors ON"_s,
                                     u"Monitors OFF"_s,
                                     u"LG All Monitors ON"_s,
                                     u"LG All Monitors OFF"_s,
                                     u"LG Auto Configuration"_s,
                                     u"LG Auto Configuration All"_s,
                                     u"OLEVIA All Monitors ON"_s,
                                     u"OLEVIA All Monitors OFF"_s,
                                     u"HYUNDAI All Monitors ON"_s,
                                     u"HYUNDAI All Monitors OFF"_s };
    return names;
}

} // namespace vantiro
