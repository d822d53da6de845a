#include "scheduler/schedule_editing.h"

#include "common/text_table_model.h"
#include "inventory/day_mask.h"
#include "scheduler/schedule_table.h"

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

const QString noFurtherEvents = u"No further events"_s;

PromptMessage exclamation(const QString &text, const QString &title)
{
    return PromptMessage { text, PromptIcon::Exclamation, PromptButtons::Ok, title };
}

// Hours, minutes and seconds as the time lists show them.
std::array<QString, 3> timeParts(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (const std::optional<QTime> time = readScheduleTime(trimmed)) {
        const QString shown = scheduleTimeText(*time);
        return { shown.mid(0, 2), shown.mid(3, 2), shown.mid(6, 2) };
    }
    return { trimmed.mid(0, 2), trimmed.mid(3, 2), trimmed.mid(6, 2) };
}

} // namespace

std::optional<LoadedScheduleRow> loadScheduleRow(const QStringList &row)
{
    if (row.value(StartDateCell).isEmpty())
        return std::nullopt;
    LoadedScheduleRow loaded;
    AttributeEditorTexts &editor = loaded.editor;
    editor.startDate = row.value(StartDateCell).trimmed();
    editor.endDate = row.value(EndDateCell).trimmed();
    const auto [hour, minute, second] = timeParts(row.value(StartTimeCell));
    editor.hour = hour;
    editor.minute = minute;
    editor.second = second;
    const auto [endHour, endMinute, endSecond] = timeParts(row.value(EndTimeCell));
    loaded.endHour = endHour;
    loaded.endMinute = endMinute;
    loaded.endSecond = endSecond;
    const QStringList days = row.value(DaysCell).split(u',');
    for (size_t day = 0; day < editor.days.size(); ++day)
        editor.days[day] = days.value(qsizetype(day)).trimmed() != u"N";
    editor.function = row.value(FunctionCell).trimmed();
    return loaded;
}

QStringList newScheduleRow(const QString &groupName, const QDateTime &now)
{
    const QString today = scheduleDateText(now.date());
    const QString time = scheduleTimeText(now.time());
    return { groupName, today, today, time, time, dayMaskToText(u"1111111"), scheduleFunctionNames().first() };
}

AttributeOutcome setAttributes(const TextTableModel &schedule, int selectedRow, const AttributeEditorTexts &editor)
{
    if (selectedRow < 0 || selectedRow >= schedule.rowCount())
        return {};
    // Month first, compared as calendar dates ("1/5/2010" is after "12/25/2009").
    const std::optional<QDate> start = readEnteredDate(editor.startDate);
    const std::optional<QDate> end = readEnteredDate(editor.endDate);
    if (!start || !end)
        return { exclamation(u"Please enter the dates as MM/DD/YYYY."_s, u"Please check the Date Setting!"_s),
                 std::nullopt };
    if (*start > *end)
        return { exclamation(u"The Start Date is later than End Date,\r\nPlease set the Date again!"_s,
                             u"Please check the Date Setting!"_s),
                 std::nullopt };

    if (std::find(editor.days.begin(), editor.days.end(), true) == editor.days.end())
        return { exclamation(u"You should select at least one week day!"_s, u"Invalid WeekDays Setting!"_s),
                 std::nullopt };
    // All three parts are needed: "08:00:" (a blank second) is no time.
    const std::optional<QTime> time
        = readScheduleTime(QString(editor.hour + u':' + editor.minute + u':' + editor.second));
    if (!time)
        return { exclamation(u"Please set a time from 00:00:00 to 23:59:59."_s, u"Invalid Time Setting!"_s),
                 std::nullopt };
    const QString startText = scheduleDateText(*start);
    const QString endText = scheduleDateText(*end);
    if (!checkDateRange(startText, endText, editor.days))
        return { exclamation(u"None of the days of the week specified fall within the date range.  Please correct "
                             u"and try again!"_s,
                             u"No valid day!"_s),
                 std::nullopt };

    const std::optional<ScheduleTiming> candidate
        = readCandidateTiming({ startText, endText, scheduleTimeText(*time), editor.days });
    for (int row = 0; row < schedule.rowCount(); ++row) {
        const QStringList &cells = schedule.allRows().at(row);
        if (row == selectedRow || cells.value(StartDateCell).isEmpty())
            continue;
        const std::optional<ScheduleTiming> timing = scheduleRowTiming(cells);
        if (candidate && timing && hasScheduleConflict(*candidate, *timing))
            return { exclamation(u"Could not add this group. There is a time or date conflict with another group "
                                 u"in the schedule."_s,
                                 u"Group Schedule Conflict!"_s),
                     std::nullopt };
    }

    QStringList row = schedule.rowCells(selectedRow);
    row[StartDateCell] = startText;
    row[EndDateCell] = endText;
    row[StartTimeCell] = scheduleTimeText(*time);
    row[EndTimeCell] = row[StartTimeCell];
    row[DaysCell] = daysTextOf(editor.days);
    row[FunctionCell] = editor.function.trimmed();
    return { std::nullopt, row };
}

std::optional<NextEvent> nextScheduleEvent(const TextTableModel &schedule, const QDateTime &clockNow,
                                          const DatesWithoutEvents &skipped)
{
    std::optional<NextEvent> soonest;
    for (int row = 0; row < schedule.rowCount(); ++row) {
        const std::optional<ScheduleTiming> timing = scheduleRowTiming(schedule.rowCells(row));
        const QList<QDateTime> next = timing ? nextFirings(*timing, skipped, clockNow, 1) : QList<QDateTime>();
        if (!next.isEmpty() && (!soonest || next.first() < soonest->moment))
            soonest = NextEvent { row, next.first() };
    }
    return soonest;
}

QString nextEventDescription(const TextTableModel &schedule, const NextEvent &next)
{
    const QStringList cells = schedule.rowCells(next.row);
    return cells.value(GroupCell) + u' ' + cells.value(FunctionCell).trimmed() + u" at "_s + wallClockText(next.moment);
}

QString nextEventText(const TextTableModel &schedule, const QDateTime &now, const DatesWithoutEvents &skipped)
{
    const std::optional<NextEvent> next = nextScheduleEvent(schedule, now, skipped);
    return next ? u"Next: "_s + nextEventDescription(schedule, *next) : noFurtherEvents;
}

QString rowFiringsText(const QStringList &row, const QDateTime &now, const DatesWithoutEvents &skipped)
{
    const std::optional<ScheduleTiming> timing = scheduleRowTiming(row);
    const QList<QDateTime> next = timing ? nextFirings(*timing, skipped, now, 3) : QList<QDateTime>();
    if (next.isEmpty())
        return noFurtherEvents;
    QStringList lines;
    for (const QDateTime &firing : next)
        lines.append(wallClockText(firing));
    return lines.join(u'\n');
}

} // namespace vantiro
