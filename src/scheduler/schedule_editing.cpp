#include "scheduler/schedule_editing.h"

#include "common/text_table_model.h"
#include "inventory/day_mask.h"
#include "scheduler/schedule_table.h"

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

enum Column { Group, StartDate, EndDate, StartTime, EndTime, Days, Function };

const QString noFurtherEvents = u"No further events"_s;

PromptMessage exclamation(const QString &text, const QString &title)
{
    return PromptMessage { text, PromptIcon::Exclamation, PromptButtons::Ok, title };
}

ScheduleRowTimes rowTimes(const QStringList &row)
{
    return { row.value(StartDate), row.value(EndDate), row.value(StartTime), row.value(EndTime), row.value(Days) };
}

QString firingText(const QDateTime &firing)
{
    return scheduleDateText(firing.date()) + u' ' + scheduleTimeText(firing.time());
}

} // namespace

std::optional<LoadedScheduleRow> loadScheduleRow(const QStringList &row)
{
    if (row.value(StartDate).isEmpty())
        return std::nullopt;
    LoadedScheduleRow loaded;
    AttributeEditorTexts &editor = loaded.editor;
    editor.startDate = row.value(StartDate).trimmed();
    editor.endDate = row.value(EndDate).trimmed();
    // Fixed places: the time is "HH:MM:SS".
    const QString start = row.value(StartTime).trimmed();
    const QString end = row.value(EndTime).trimmed();
    editor.hour = start.mid(0, 2);
    editor.minute = start.mid(3, 2);
    editor.second = start.mid(6, 2);
    loaded.endHour = end.mid(0, 2);
    loaded.endMinute = end.mid(3, 2);
    loaded.endSecond = end.mid(6, 2);
    const QStringList days = row.value(Days).split(u',');
    for (size_t day = 0; day < editor.days.size(); ++day)
        editor.days[day] = days.value(qsizetype(day)).trimmed() != u"N";
    editor.function = row.value(Function).trimmed();
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
    const std::optional<QDate> start = readScheduleDate(editor.startDate);
    const std::optional<QDate> end = readScheduleDate(editor.endDate);
    if (!start || !end)
        return {};
    if (*start > *end)
        return { exclamation(u"The Start Date is later than End Date,\r\nPlease set the Date again!"_s,
                             u"Please check the Date Setting!"_s),
                 std::nullopt };

    const QString time = editor.hour + u':' + editor.minute + u':' + editor.second;
    if (std::find(editor.days.begin(), editor.days.end(), true) == editor.days.end())
        return { exclamation(u"You should select at least one week day!"_s, u"Invalid WeekDays Setting!"_s),
                 std::nullopt };
    const QString daysText = daysTextOf(editor.days);
    if (!checkDateRange(editor.startDate, editor.endDate, editor.days))
        return { exclamation(u"None of the days of the week specified fall within the date range.  Please correct "
                             u"and try again!"_s,
                             u"No valid day!"_s),
                 std::nullopt };

    const ScheduleCandidate candidate { editor.startDate, editor.endDate, time, editor.days };
    for (int row = 0; row < schedule.rowCount(); ++row) {
        const QStringList cells = schedule.rowCells(row);
        if (row == selectedRow || cells.value(StartDate).isEmpty())
            continue;
        if (hasScheduleConflict(candidate, rowTimes(cells)))
            return { exclamation(u"Could not add this group. There is a time or date conflict with another group "
                                 u"in the schedule."_s,
                                 u"Group Schedule Conflict!"_s),
                     std::nullopt };
    }

    QStringList row = schedule.rowCells(selectedRow);
    row[StartDate] = scheduleDateText(*start);
    row[EndDate] = scheduleDateText(*end);
    row[StartTime] = time;
    row[EndTime] = time;
    row[Days] = daysText;
    row[Function] = editor.function.trimmed();
    return { std::nullopt, row };
}

QString nextEventText(const TextTableModel &schedule, const QDateTime &now)
{
    std::optional<QDateTime> soonest;
    int soonestRow = -1;
    for (int row = 0; row < schedule.rowCount(); ++row) {
        const QList<QDateTime> next = nextFirings(rowTimes(schedule.rowCells(row)), now, 1);
        if (!next.isEmpty() && (!soonest || next.first() < *soonest)) {
            soonest = next.first();
            soonestRow = row;
        }
    }
    if (!soonest)
        return noFurtherEvents;
    const QStringList cells = schedule.rowCells(soonestRow);
    return u"Next: "_s + cells.value(Group) + u' ' + cells.value(Function).trimmed() + u" at "_s + firingText(*soonest);
}

QString rowFiringsText(const QStringList &row, const QDateTime &now)
{
    const QList<QDateTime> next = nextFirings(rowTimes(row), now, 3);
    if (next.isEmpty())
        return noFurtherEvents;
    QStringList lines;
    for (const QDateTime &firing : next)
        lines.append(firingText(firing));
    return lines.join(u'\n');
}

} // namespace vantiro
