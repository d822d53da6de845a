#pragma once

#include "common/text_table_model.h"
#include "scheduler/schedule_rules.h"

#include <QList>
#include <QStringList>

namespace vantiro {

// Column keys of the schedule list, which are also its headers, in the order of a schedule row.
inline const QString scheduleGroupColumn = QStringLiteral("Group");
inline const QString scheduleStartDateColumn = QStringLiteral("Start Date");
inline const QString scheduleEndDateColumn = QStringLiteral("End Date");
inline const QString scheduleStartTimeColumn = QStringLiteral("Start Time");
inline const QString scheduleEndTimeColumn = QStringLiteral("End Time");
inline const QString scheduleDaysColumn = QStringLiteral("Days");
inline const QString scheduleFunctionColumn = QStringLiteral("Function");

QList<TableColumn> scheduleColumns();
// The places of the schedule's columns in a row's cells.
enum ScheduleColumn { GroupCell, StartDateCell, EndDateCell, StartTimeCell, EndTimeCell, DaysCell, FunctionCell };

// The texts a schedule row's timing is read from.
ScheduleRowTimes scheduleRowTimes(const QStringList &cells);
// Nothing for a row that never fires.
std::optional<ScheduleTiming> scheduleRowTiming(const QStringList &cells);

// The pending-event table: the schedule's columns, with the days under "DaysOfWeek" (headed "Days
// Of Week") and the function under "MonitorsOnOff" (headed "Function").
QList<TableColumn> pendingColumns();

// The dates without events: a date "MM/DD/YYYY" and a note.
inline const QString exceptionDateColumn = QStringLiteral("Date");
inline const QString exceptionNoteColumn = QStringLiteral("Note");
QList<TableColumn> datesWithoutEventsColumns();

// The functions a schedule row can fire, in the order of the function list.
const QStringList &scheduleFunctionNames();

} // namespace vantiro
