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
// editor does not load.
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
// `selectedRow` counts from 0. The checks run in order: date order, at least one weekday, a chosen
// weekday within the dates, no conflict with any other row that has a start date.
AttributeOutcome setAttributes(const TextTableModel &schedule, int selectedRow, const AttributeEditorTexts &editor);

// The schedule's next event, as the line under the schedule list shows it ("Next: Lobby Monitors ON
// at 03/25/2009 08:00:00"), or "No further events".
QString nextEventText(const TextTableModel &schedule, const QDateTime &now);
// A row's next three firings, one a line, or "No further events".
QString rowFiringsText(const QStringList &row, const QDateTime &now);

} // namespace vantiro
