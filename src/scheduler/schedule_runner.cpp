#include "scheduler/schedule_runner.h"

#include "commands/display_models.h"
#include "common/clock.h"
#include "common/status_log.h"
#include "common/text_table_model.h"
#include "inventory/inventory.h"
#include "inventory/records.h"
#include "serial/port_text.h"

#include <QCoreApplication>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

enum Column { Group, StartDate, EndDate, StartTime, EndTime, Days, Function };

const QString stars = QString(57, u'*');

// Wall-clock time without a time zone: the schedule's times are the ones the clock shows, also
// across the clock changes.
QDateTime wallClock(const QDateTime &now)
{
    const QTime time = now.time();
    return QDateTime(now.date(), QTime(time.hour(), time.minute(), time.second()), Qt::UTC);
}

QString momentText(const QDateTime &moment)
{
    return scheduleDateText(moment.date()) + u' ' + scheduleTimeText(moment.time());
}

} // namespace

std::optional<ScheduledFunction> scheduledFunction(const QString &name)
{
    using C = ScheduledFunction::Command;
    const QString trimmed = name.trimmed();
    static const QList<std::pair<QString, ScheduledFunction>> table {
        { u"Monitors ON"_s, { std::nullopt, u"0"_s, C::On } },
        { u"Monitors OFF"_s, { std::nullopt, u"1"_s, C::Off } },
        { u"All Monitors ON"_s, { 0, u"2"_s, C::On } },
        { u"LG All Monitors ON"_s, { 0, u"2"_s, C::On } },
        { u"All Monitors OFF"_s, { 0, u"3"_s, C::Off } },
        { u"LG All Monitors OFF"_s, { 0, u"3"_s, C::Off } },
        { u"LG Auto Configuration"_s, { 0, u"7"_s, C::AutoConfig } },
        { u"LG Auto Configuration All"_s, { 0, u"8"_s, C::AutoConfig } },
        { u"OLEVIA All Monitors ON"_s, { 1, u"2"_s, C::On } },
        { u"OLEVIA All Monitors OFF"_s, { 1, u"3"_s, C::Off } },
        { u"HYUNDAI All Monitors ON"_s, { 2, u"2"_s, C::On } },
        { u"HYUNDAI All Monitors OFF"_s, { 2, u"3"_s, C::Off } },
    };
    for (const auto &[known, function] : table) {
        if (known == trimmed)
            return function;
    }
    return std::nullopt;
}

ScheduleRunner::ScheduleRunner(Services services, PortMap portMap, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_portMap(std::move(portMap))
    , m_clockTimer(this)
    , m_updateTimer(this)
{
    m_clockTimer.setObjectName(u"RunClockTimer"_s);
    m_clockTimer.setInterval(1000);
    m_clockTimer.setSingleShot(true);
    m_clockTimer.setTimerType(Qt::PreciseTimer);
    m_updateTimer.setObjectName(u"UpdateTimer"_s);
    m_updateTimer.setInterval(1000);
    m_updateTimer.setSingleShot(true);
    connect(&m_clockTimer, &QTimer::timeout, this, &ScheduleRunner::runClockTick);
    connect(&m_updateTimer, &QTimer::timeout, this, &ScheduleRunner::runUpdateTick);

    TextTableModel &schedule = m_services.schedule;
    auto changed = [this] {
        m_rowsChanged = true;
    };
    connect(&schedule, &QAbstractItemModel::dataChanged, this, changed);
    connect(&schedule, &QAbstractItemModel::rowsInserted, this, changed);
    connect(&schedule, &QAbstractItemModel::rowsRemoved, this, changed);
    connect(&schedule, &QAbstractItemModel::modelReset, this, changed);
}

void ScheduleRunner::run()
{
    if (!m_services.host.saveSettings())
        m_services.statusLog.statusMessage(u"Failed saving the settings."_s);

    // Events that waited through a long stop are reported, not sent late.
    const qint64 nowMs = m_services.clock.now().toMSecsSinceEpoch();
    for (int row = 0; row < m_services.pending.rowCount();) {
        const Queued queued = size_t(row) < m_queued.size() ? m_queued[size_t(row)] : Queued { {}, nowMs };
        if (nowMs - queued.queuedAtMs <= catchUpLimitSecs * 1000) {
            ++row;
            continue;
        }
        m_services.statusLog.statusMessage(u"Missed "_s + m_services.pending.cell(row, u"Group") + u' '
                                           + m_services.pending.cell(row, u"MonitorsOnOff") + u" due at "_s
                                           + momentText(queued.dueAt));
        m_services.pending.removeRowAt(row);
        m_queued.erase(m_queued.begin() + row);
    }

    const QDateTime now = m_services.clock.now();
    m_lastExamined = wallClock(now).addSecs(-1);
    m_lastTickMs = now.toMSecsSinceEpoch();
    m_running = true;
    armClockTimer();
    m_updateTimer.start(1000);
    m_services.host.showRunning(true);
}

void ScheduleRunner::stop()
{
    m_running = false;
    m_clockTimer.stop();
    m_updateTimer.stop();
    m_services.host.showRunning(false);
}

void ScheduleRunner::armClockTimer()
{
    // Just after the start of the next second, so the clock shows each second as it begins.
    const int msec = m_services.clock.now().time().msec();
    m_clockTimer.start(1000 - msec + 2);
}

void ScheduleRunner::runClockTick()
{
    m_clockTimer.stop();
    const QDateTime now = m_services.clock.now();
    m_services.host.showClock(now.time().toString(u"HH:mm:ss"_s));
    examine(now);
    if (!m_running)
        return;
    armClockTimer();
    // A due event goes out now, not a second later, unless a send is still under way.
    if (m_services.pending.rowCount() > 0 && m_updateTimer.isActive())
        m_updateTimer.start(0);
}

void ScheduleRunner::examine(const QDateTime &now)
{
    const QDateTime wall = wallClock(now);
    const qint64 nowMs = now.toMSecsSinceEpoch();
    const qint64 elapsedMs = nowMs - m_lastTickMs;
    m_lastTickMs = nowMs;
    if (!m_lastExamined)
        m_lastExamined = wall.addSecs(-1);

    if (wall <= *m_lastExamined) {
        // Seconds already examined are not examined again, unless the clock was put right by hours.
        if (wall.secsTo(*m_lastExamined) <= correctionSecs)
            return;
        m_services.statusLog.statusMessage(u"The clock went back from "_s + momentText(*m_lastExamined) + u" to "_s
                                           + momentText(wall) + u"; the schedule continues from the new time."_s);
        m_lastExamined = wall.addSecs(-1);
    }

    const QDateTime after = *m_lastExamined;
    m_lastExamined = wall;
    if (elapsedMs > catchUpLimitSecs * 1000) {
        for (const Due &due : dueIn(after, wall, true))
            logMissed(due.row, due.moment);
        return;
    }
    for (const Due &due : dueIn(after, wall, false))
        queue(due, nowMs);
    for (const Due &due : dueIn(after.addSecs(warningSecs), wall.addSecs(warningSecs), true))
        warnAboutPorts(due);
}

const std::vector<ScheduleRunner::ParsedRow> &ScheduleRunner::parsedRows()
{
    if (!m_rowsChanged)
        return m_rows;
    m_rowsChanged = false;
    const TextTableModel &schedule = m_services.schedule;
    m_rows.assign(size_t(schedule.rowCount()), ParsedRow {});
    for (int row = 0; row < schedule.rowCount(); ++row) {
        const std::optional<QDate> first = readScheduleDate(rowText(row, StartDate));
        const std::optional<QDate> last = readScheduleDate(rowText(row, EndDate));
        const std::optional<QTime> from = readScheduleTime(rowText(row, StartTime));
        const std::optional<QTime> to = readScheduleTime(rowText(row, EndTime));
        if (!first || !last || !from || !to || *to < *from)
            continue;
        m_rows[size_t(row)] = { *first, *last, *from, *to, weekdaysOfDaysText(rowText(row, Days)), true };
    }
    return m_rows;
}

// The moments in (after, upTo] at which rows are due, in time order and, within one second, in
// schedule order. With firstOnly, each row's first moment only.
std::vector<ScheduleRunner::Due> ScheduleRunner::dueIn(const QDateTime &after, const QDateTime &upTo, bool firstOnly)
{
    std::vector<Due> due;
    if (upTo <= after)
        return due;
    const std::vector<ParsedRow> &rows = parsedRows();
    for (int index = 0; index < int(rows.size()); ++index) {
        const ParsedRow &row = rows[size_t(index)];
        if (!row.valid)
            continue;
        const QDate firstDay = std::max(after.date(), row.first);
        const QDate lastDay = std::min(upTo.date(), row.last);
        bool found = false;
        for (QDate day = firstDay; day <= lastDay && !found; day = day.addDays(1)) {
            if (!row.days[size_t(weekdayIndex(day))])
                continue;
            const QDateTime from = std::max(QDateTime(day, row.from, Qt::UTC), after.addSecs(1));
            const QDateTime to = std::min(QDateTime(day, row.to, Qt::UTC), upTo);
            for (QDateTime moment = from; moment <= to; moment = moment.addSecs(1)) {
                due.push_back({ moment, index });
                if (firstOnly) {
                    found = true;
                    break;
                }
            }
        }
    }
    std::stable_sort(due.begin(), due.end(), [](const Due &a, const Due &b) { return a.moment < b.moment; });
    return due;
}

void ScheduleRunner::queue(const Due &due, qint64 nowMs)
{
    QStringList cells;
    for (int column = Group; column <= Function; ++column)
        cells.append(rowText(due.row, column).trimmed());
    m_services.pending.appendRow(cells);
    m_queued.push_back({ due.moment, nowMs });
    emit eventQueued(due.row, due.moment);
}

void ScheduleRunner::logMissed(int row, const QDateTime &dueAt)
{
    m_services.statusLog.statusMessage(u"Missed "_s + rowText(row, Group).trimmed() + u' '
                                       + rowText(row, Function).trimmed() + u" due at "_s + momentText(dueAt));
}

// One minute ahead, so the operator learns of a missing adapter before the event, not after. The
// ports are only looked at, never opened.
void ScheduleRunner::warnAboutPorts(const Due &due)
{
    const QString group = rowText(due.row, Group).trimmed();
    const TextTableModel &groups = m_services.inventory.groups();
    for (int row = 0; row < groups.rowCount(); ++row) {
        if (groups.cell(row, groupNameColumn).trimmed() != group)
            continue;
        QStringList problems;
        for (const PortEntry &port : unpackPorts(groups.cell(row, groupPortsColumn))) {
            const std::optional<int> com = comPortNumber(port.port);
            if (!com)
                continue;
            const QString device = m_portMap.devicePath(*com);
            if (const std::optional<SendOutcome::Status> problem = deviceProblem(device)) {
                const QString reason
                    = *problem == SendOutcome::Status::NoSuchDevice ? u"not found"_s : sendStatusReason(*problem);
                problems.append(u"COM %1 %2 (%3)"_s.arg(*com).arg(reason, device));
            }
        }
        if (!problems.isEmpty())
            m_services.statusLog.statusMessage(group + u" at "_s + scheduleTimeText(due.moment.time()) + u": "_s
                                               + problems.join(u"; "_s));
        return;
    }
}

void ScheduleRunner::runUpdateTick()
{
    m_updateTimer.stop();
    TextTableModel &pending = m_services.pending;
    if (pending.rowCount() > 0) {
        const QString group = pending.cell(0, u"Group").trimmed();
        const QString function = pending.cell(0, u"MonitorsOnOff");
        pending.removeRowAt(0);
        if (!m_queued.empty())
            m_queued.pop_front();
        // The tick ends when its send has finished; until then the timer stays off.
        if (sendEvent(group, function))
            return;
    }
    finishUpdateTick();
}

void ScheduleRunner::finishUpdateTick()
{
    if (m_running)
        m_updateTimer.start(1000);
}

bool ScheduleRunner::sendEvent(const QString &group, const QString &function)
{
    const TextTableModel &groups = m_services.inventory.groups();
    int groupRow = 0;
    for (int row = 0; row < groups.rowCount() && groupRow == 0; ++row) {
        if (groups.cell(row, groupNameColumn).trimmed() == group)
            groupRow = row + 1;
    }
    // A group that no longer exists: the event is dropped.
    if (groupRow == 0)
        return false;

    StatusLog &log = m_services.statusLog;
    log.statusMessage(stars);
    log.statusMessage(u"Loading "_s + group + u" information."_s);
    m_services.inventory.showGroupPorts(groupRow);
    log.statusMessage(u"Finished loading "_s + group + u" information."_s);
    QCoreApplication::processEvents();

    const std::optional<ScheduledFunction> plan = scheduledFunction(function);
    if (!plan) {
        log.statusMessage(u"Unknown function \""_s + function.trimmed() + u"\" for "_s + group + u": nothing sent."_s);
        log.statusMessage(stars);
        return false;
    }
    log.statusMessage(u"Start sending serial command in "_s + group);
    if (plan->modelEntry)
        m_services.host.selectModelEntry(*plan->modelEntry);
    QString command;
    switch (plan->command) {
    case ScheduledFunction::Command::On:
        command = m_services.host.monitorOnText().trimmed();
        break;
    case ScheduledFunction::Command::Off:
        command = m_services.host.monitorOffText().trimmed();
        break;
    case ScheduledFunction::Command::AutoConfig:
        command = m_services.commands.autoConfigCommand;
        break;
    }
    const CommandRequest request { { command, plan->index, true }, m_services.host.sendSnapshot() };
    QFuture<CommandReport> sent = m_services.dispatch.dispatch(request, CommandDispatch::Timing::Now);
    auto finished = [this, group] {
        m_services.statusLog.statusMessage(u"Finished sending serial command in "_s + group);
        m_services.statusLog.statusMessage(stars);
    };
    if (sent.isFinished()) {
        finished();
        return false;
    }
    // Another send (a quick command, a panel) is on the line and this one waits its turn behind it.
    // Waiting here in a nested loop would hold up the very send it waits for, so the rest of the tick
    // runs when this send has finished.
    sent.then(this, [this, finished](const CommandReport &) {
        finished();
        finishUpdateTick();
    });
    return true;
}

QString ScheduleRunner::rowText(int row, int column) const
{
    return m_services.schedule.allRows().at(row).value(column);
}

} // namespace vantiro
