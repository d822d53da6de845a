#pragma once

#include "common/prompts.h"
#include "scheduler/schedule_rules.h"

#include <QDateTime>
#include <QStringList>

#include <optional>

namespace vantiro {

class TextTableModel;

// What the attribute editor shows: the two date texts, the three start-time lists, the seven
// weekday boxes and the function list's text.
struct AttributeEditorTexts
{
    QString startDate;
    QString endDate;
    QString hour;
    QString minute;
    QString second;
    WeekdaySet days {};
    QString function;
};

// A row loaded into the editor: its texts, and the end time the hidden end lists keep.
struct LoadedScheduleRow
{
    AttributeEditorTexts editor;
    QString endHour;
    QString endMinute;
    QString endSecond;
};

// The editor contents for a schedule row; nothing for a placeholder row (no start date), which the
// editor does not load. Times are read as the runner reads them ("8:05" is 08:05:00) and shown as
// "HH:MM:SS"; a time that cannot be read is cut at the places of "HH:MM:SS".
std::optional<LoadedScheduleRow> loadScheduleRow(const QStringList &row);

// A new schedule row for the group: today in both date columns, the time now in both time columns,
// every weekday, "Monitors ON".
QStringList newScheduleRow(const QString &groupName, const QDateTime &now);

// What "Set Attributes" does with the editor's texts: refuse with a message, write the row's new
// cells, or (a date text that names no date) end quietly with neither.
struct AttributeOutcome
{
    std::optional<PromptMessage> refusal;
    std::optional<QStringList> row;
};
// `selectedRow` counts from 0. The checks run in order: readable dates ("MM/DD/YYYY") in order, at
// least one weekday, a time of day that exists, a chosen weekday within the dates, no conflict with
// any other row that has a start date. The row is written with its dates as "MM/DD/YYYY", its start
// and end time as "HH:MM:SS".
AttributeOutcome setAttributes(const TextTableModel &schedule, int selectedRow, const AttributeEditorTexts &editor);

// The schedule's next firing after the second the clock shows: its row (from 0) and wall-clock moment.
// Of rows firing at the same moment, the first in the list.
struct NextEvent
{
    int row = 0;
    QDateTime moment;
};
std::optional<NextEvent> nextScheduleEvent(const TextTableModel &schedule, const QDateTime &clockNow,
                                          const DatesWithoutEvents &skipped = {});
// "Lobby Monitors ON at 03/25/2009 08:00:00".
QString nextEventDescription(const TextTableModel &schedule, const NextEvent &next);

// The schedule's next event, as the line under the schedule list shows it ("Next: Lobby Monitors ON
// at 03/25/2009 08:00:00"), or "No further events". Dates without events are passed over.
QString nextEventText(const TextTableModel &schedule, const QDateTime &now, const DatesWithoutEvents &skipped = {});
// A row's next three firings, one a line, or "No further events".
QString rowFiringsText(const QStringList &row, const QDateTime &now, const DatesWithoutEvents &skipped = {});

} // namespace vantiro
