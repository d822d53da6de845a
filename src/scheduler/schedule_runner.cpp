#include "scheduler/schedule_runner.h"

#include "commands/display_models.h"
#include "common/clock.h"
#include "common/status_log.h"
#include "common/text_table_model.h"
#include "inventory/inventory.h"
#include "inventory/records.h"
#include "scheduler/schedule_editing.h"
#include "scheduler/schedule_table.h"
#include "serial/port_text.h"

#include <QCoreApplication>
#include <QSet>

#include <algorithm>
#include <limits>

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

const QString stars = QString(57, u'*');

// "7 s", "5 min 7 s", "1 h 0 min 3 s".
QString durationText(qint64 secs)
{
    const qint64 hours = secs / 3600, minutes = secs % 3600 / 60, seconds = secs % 60;
    if (hours > 0)
        return u"%1 h %2 min %3 s"_s.arg(hours).arg(minutes).arg(seconds);
    if (minutes > 0)
        return u"%1 min %2 s"_s.arg(minutes).arg(seconds);
    return u"%1 s"_s.arg(seconds);
}

} // namespace

std::optional<ScheduledFunction> scheduledFunction(const QString &name)
{
    using O = CommandOrigin;
    using C = HandOffCommand;
    const QString trimmed = name.trimmed();
    static const QList<std::pair<QString, ScheduledFunction>> table {
        { u"Monitors ON"_s, { std::nullopt, { O::GroupPortsOwnModels, C::PowerOn } } },
        { u"Monitors OFF"_s, { std::nullopt, { O::GroupPortsOwnModels, C::PowerOff } } },
        { u"All Monitors ON"_s, { 0, { O::EveryComPort, C::PowerOn } } },
        { u"LG All Monitors ON"_s, { 0, { O::EveryComPort, C::PowerOn } } },
        { u"All Monitors OFF"_s, { 0, { O::EveryComPort, C::PowerOff } } },
        { u"LG All Monitors OFF"_s, { 0, { O::EveryComPort, C::PowerOff } } },
        { u"LG Auto Configuration"_s, { 0, { O::GroupPortsOwnModels, C::AutoConfig } } },
        { u"LG Auto Configuration All"_s, { 0, { O::EveryComPort, C::AutoConfig } } },
        { u"OLEVIA All Monitors ON"_s, { 1, { O::EveryComPort, C::PowerOn } } },
        { u"OLEVIA All Monitors OFF"_s, { 1, { O::EveryComPort, C::PowerOff } } },
        { u"HYUNDAI All Monitors ON"_s, { 2, { O::EveryComPort, C::PowerOn } } },
        { u"HYUNDAI All Monitors OFF"_s, { 2, { O::EveryComPort, C::PowerOff } } },
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
    m_datesTable = new TextTableModel(datesWithoutEventsColumns(), this);
    auto datesChanged = [this] {
        m_datesChanged = true;
    };
    connect(m_datesTable, &QAbstractItemModel::dataChanged, this, datesChanged);
    connect(m_datesTable, &QAbstractItemModel::rowsInserted, this, datesChanged);
    connect(m_datesTable, &QAbstractItemModel::rowsRemoved, this, datesChanged);
    connect(m_datesTable, &QAbstractItemModel::modelReset, this, datesChanged);
    // The pending-event table emptied from outside takes its events along.
    connect(&m_services.pending, &QAbstractItemModel::modelReset, this, [this] {
        if (m_services.pending.rowCount() == 0)
            m_queued.clear();
    });
}

const DatesWithoutEvents &ScheduleRunner::skippedDates()
{
    if (m_datesChanged) {
        m_datesChanged = false;
        m_skippedDates = DatesWithoutEvents::fromRows(m_datesTable->allRows());
    }
    return m_skippedDates;
}

void ScheduleRunner::run()
{
    if (m_running)
        return;
    if (!m_services.host.saveSettings())
        m_services.statusLog.statusMessage(u"Failed saving the settings."_s);

    const QDateTime now = m_services.clock.now();
    const QDateTime wall = wallClockSecond(now);
    dropStaleEvents(now);
    // Another runner's examination goes on from its last second, as if this one had been running.
    const std::optional<QDateTime> reached = m_examined.last();
    if (m_continuing && reached) {
        m_lastTickMs = now.toMSecsSinceEpoch() - std::max<qint64>(0, reached->secsTo(wall)) * 1000;
    } else {
        // A clock corrected while stopped is a correction all the same: what a fast clock examined
        // must not hide those seconds when the clock reaches them again.
        if (reached)
            forgetIfCorrected(*reached, wall);
        m_examined.setLast(wall.addSecs(-1));
        m_lastTickMs = now.toMSecsSinceEpoch();
    }
    m_continuing = false;
    m_running = true;
    logRunning(now);
    warnAhead(wall, wall.addSecs(warningSecs - 1));
    armClockTimer();
    m_updateTimer.start(1000);
    m_services.host.showRunning(true);
}

// Events that waited through a long stop are reported, not sent late.
void ScheduleRunner::dropStaleEvents(const QDateTime &now)
{
    for (size_t index = 0; index < m_queued.size();) {
        const QueuedEvent &event = m_queued[index];
        if (event.queuedAt.msecsTo(now) <= catchUpLimitSecs * 1000) {
            ++index;
            continue;
        }
        logMissed(event.group, event.function, event.dueAt);
        m_services.pending.removeRowAt(int(index));
        m_queued.erase(m_queued.begin() + qsizetype(index));
    }
}

void ScheduleRunner::logRunning(const QDateTime &now)
{
    const int rows = m_services.schedule.rowCount();
    QString text = u"Schedule running: %1 %2, "_s.arg(rows).arg(rows == 1 ? u"row"_s : u"rows"_s);
    if (const std::optional<NextEvent> next = nextScheduleEvent(m_services.schedule, now, skippedDates()))
        text += u"next: "_s + nextEventDescription(m_services.schedule, *next);
    else
        text += u"no further events"_s;
    m_services.statusLog.statusMessage(text);
}

void ScheduleRunner::stop()
{
    m_running = false;
    m_clockTimer.stop();
    m_updateTimer.stop();
    m_services.host.showRunning(false);
    // A stale time would look like a running clock.
    m_services.host.showClock(u"--:--:--"_s);
}

RunnerHandOver ScheduleRunner::takeHandOver()
{
    if (m_running)
        stop();
    RunnerHandOver handOver { m_examined, {} };
    for (const QueuedEvent &event : m_queued) {
        if (RunnerHandOver::canCarry(event) && handOver.queued.size() < RunnerHandOver::maxQueued)
            handOver.queued.append(event);
        else
            logMissed(event.group, event.function, event.dueAt);
    }
    m_queued.clear();
    while (m_services.pending.rowCount() > 0)
        m_services.pending.removeRowAt(m_services.pending.rowCount() - 1);
    return handOver;
}

bool ScheduleRunner::continueFrom(const RunnerHandOver &handOver)
{
    if (m_running)
        return false;
    m_examined = handOver.examined;
    m_continuing = m_examined.last().has_value();
    for (const QueuedEvent &event : handOver.queued) {
        // The pending table shows the row the event stands for when it is still in the schedule.
        QStringList cells { event.group,
                            scheduleDateText(event.dueAt.date()),
                            scheduleDateText(event.dueAt.date()),
                            scheduleTimeText(event.dueAt.time()),
                            scheduleTimeText(event.dueAt.time()),
                            {},
                            event.function };
        const std::vector<std::optional<ScheduleTiming>> &timings = rowTimings();
        for (int row = 0; row < int(timings.size()); ++row) {
            const QStringList rowCells = m_services.schedule.rowCells(row);
            if (timings[size_t(row)] && rowCells.value(GroupCell).trimmed() == event.group
                && rowCells.value(FunctionCell).trimmed() == event.function
                && !firings(*timings[size_t(row)], event.dueAt.addSecs(-1), event.dueAt).isEmpty()) {
                cells.clear();
                for (const QString &cell : rowCells)
                    cells.append(cell.trimmed());
                break;
            }
        }
        enqueue(event, cells);
    }
    return true;
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

bool ScheduleRunner::forgetIfCorrected(const QDateTime &previous, const QDateTime &wall)
{
    if (wall.secsTo(previous) <= correctionSecs)
        return false;
    m_services.statusLog.statusMessage(u"The clock went back from "_s + wallClockText(previous) + u" to "_s
                                       + wallClockText(wall) + u"; the schedule continues from the new time."_s);
    m_examined.clear();
    return true;
}

void ScheduleRunner::examine(const QDateTime &now)
{
    const QDateTime wall = wallClockSecond(now);
    const qint64 nowMs = now.toMSecsSinceEpoch();
    const qint64 elapsedMs = nowMs - m_lastTickMs;
    m_lastTickMs = nowMs;
    const QDateTime previous = m_examined.last().value_or(wall.addSecs(-1));

    QDateTime from = previous.addSecs(1);
    const bool forward = wall > previous;
    if (forgetIfCorrected(previous, wall)) {
        from = wall;
    } else if (!forward) {
        // Put back: since the last tick the clock may also have shown the second before this one.
        from = wall.addSecs(-1);
    }

    const std::vector<Due> due = dueIn(from, wall);
    m_examined.add(from, wall);
    m_examined.setLast(wall);
    m_examined.forgetBehind(correctionSecs);

    if (forward && elapsedMs > catchUpLimitSecs * 1000) {
        // A long gap: each row's first event in it is reported, not sent; the second the clock
        // landed on is due now.
        QSet<int> reported;
        for (const Due &event : due) {
            if (event.skipped) {
                logSkipped(event);
                continue;
            }
            if (event.moment == wall) {
                queue(event, now);
                continue;
            }
            if (reported.contains(event.row))
                continue;
            reported.insert(event.row);
            logMissed(rowText(event.row, GroupCell).trimmed(), rowText(event.row, FunctionCell).trimmed(),
                      event.moment);
        }
        return;
    }
    for (const Due &event : due) {
        if (event.skipped)
            logSkipped(event);
        else
            queue(event, now);
    }
    if (forward)
        warnAhead(previous.addSecs(warningSecs + 1), wall.addSecs(warningSecs));
}

const std::vector<std::optional<ScheduleTiming>> &ScheduleRunner::rowTimings()
{
    if (!m_rowsChanged)
        return m_timings;
    m_rowsChanged = false;
    m_timings.clear();
    m_rowsByTime.clear();
    for (const QStringList &cells : m_services.schedule.allRows()) {
        m_timings.push_back(scheduleRowTiming(cells));
        if (m_timings.back() && !m_timings.back()->anyDate())
            m_rowsByTime.emplace_back(m_timings.back()->time, int(m_timings.size()) - 1);
    }
    std::sort(m_rowsByTime.begin(), m_rowsByTime.end());
    return m_timings;
}

std::vector<ScheduleRunner::Due> ScheduleRunner::dueIn(const QDateTime &from, const QDateTime &upTo)
{
    std::vector<Due> due;
    const std::vector<std::optional<ScheduleTiming>> &timings = rowTimings();
    const DatesWithoutEvents &skipped = skippedDates();
    auto consider = [&](int row) {
        for (const QDateTime &moment : firings(*timings[size_t(row)], from.addSecs(-1), upTo)) {
            if (!m_examined.contains(moment))
                due.push_back({ moment, row, skipped.contains(moment.date()) });
        }
    };
    // Within one day only the rows of those times of day can fire: a tick looks at a few rows.
    if (from.date() == upTo.date()) {
        const auto first = std::lower_bound(m_rowsByTime.begin(), m_rowsByTime.end(), std::pair(from.time(), -1));
        const auto last
            = std::upper_bound(first, m_rowsByTime.end(), std::pair(upTo.time(), std::numeric_limits<int>::max()));
        for (auto row = first; row != last; ++row)
            consider(row->second);
    } else {
        for (const auto &[time, row] : m_rowsByTime)
            consider(row);
    }
    std::sort(due.begin(), due.end(),
              [](const Due &a, const Due &b) { return a.moment != b.moment ? a.moment < b.moment : a.row < b.row; });
    return due;
}

void ScheduleRunner::queue(const Due &due, const QDateTime &now)
{
    QStringList cells;
    for (int column = GroupCell; column <= FunctionCell; ++column)
        cells.append(rowText(due.row, column).trimmed());
    enqueue({ cells.at(GroupCell), cells.at(FunctionCell), due.moment, now }, cells);
    emit eventQueued(due.row, due.moment);
}

void ScheduleRunner::enqueue(const QueuedEvent &event, const QStringList &cells)
{
    m_services.pending.appendRow(cells);
    m_queued.push_back(event);
}

void ScheduleRunner::logSkipped(const Due &due)
{
    const QString note = skippedDates().note(due.moment.date());
    m_services.statusLog.statusMessage(rowText(due.row, GroupCell).trimmed() + u' '
                                       + rowText(due.row, FunctionCell).trimmed() + u" on "_s
                                       + scheduleDateText(due.moment.date()) + u" skipped: a date without events"_s
                                       + (note.isEmpty() ? QString() : u" ("_s + note + u')'));
}

void ScheduleRunner::logMissed(const QString &group, const QString &function, const QDateTime &dueAt)
{
    m_services.statusLog.statusMessage(u"Missed "_s + group + u' ' + function + u" due at "_s + wallClockText(dueAt));
}

// Each row's first event in [from, upTo] that will fire.
void ScheduleRunner::warnAhead(const QDateTime &from, const QDateTime &upTo)
{
    QSet<int> warned;
    for (const Due &due : dueIn(from, upTo)) {
        if (!due.skipped && !warned.contains(due.row)) {
            warned.insert(due.row);
            warnAboutPorts(due);
        }
    }
}

// One minute ahead, so the operator learns of a missing adapter before the event, not after. The
// ports are only looked at, never opened.
void ScheduleRunner::warnAboutPorts(const Due &due)
{
    const QString group = rowText(due.row, GroupCell).trimmed();
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
        // An event put into the table from outside the runner is due at its start time today.
        QueuedEvent event { pending.cell(0, u"Group").trimmed(), pending.cell(0, u"MonitorsOnOff").trimmed(),
                            wallClockMoment(m_services.clock.now().date(),
                                            readScheduleTime(pending.cell(0, u"Start Time")).value_or(QTime(0, 0))),
                            m_services.clock.now() };
        if (!m_queued.empty()) {
            event = m_queued.front();
            m_queued.pop_front();
        }
        pending.removeRowAt(0);
        // The tick ends when its send has finished; until then the timer stays off.
        if (sendEvent(event))
            return;
    }
    finishUpdateTick();
}

void ScheduleRunner::finishUpdateTick()
{
    if (m_running)
        m_updateTimer.start(1000);
}

bool ScheduleRunner::sendEvent(const QueuedEvent &event)
{
    const QString &group = event.group;
    StatusLog &log = m_services.statusLog;
    const TextTableModel &groups = m_services.inventory.groups();
    int groupRow = 0;
    for (int row = 0; row < groups.rowCount() && groupRow == 0; ++row) {
        if (groups.cell(row, groupNameColumn).trimmed() == group)
            groupRow = row + 1;
    }
    if (groupRow == 0) {
        log.statusMessage(u"Group \"%1\" no longer exists: %2 at %3 not sent."_s.arg(
            group, event.function, scheduleTimeText(event.dueAt.time())));
        return false;
    }

    log.statusMessage(stars);
    log.statusMessage(u"Loading "_s + group + u" information."_s);
    m_services.inventory.showGroupPorts(groupRow);
    log.statusMessage(u"Finished loading "_s + group + u" information."_s);
    QCoreApplication::processEvents();

    const std::optional<ScheduledFunction> plan = scheduledFunction(event.function);
    if (!plan) {
        log.statusMessage(u"Unknown function \""_s + event.function + u"\" for "_s + group + u": nothing sent."_s);
        log.statusMessage(stars);
        return false;
    }
    // Caught up after a gap: measured on the clock, from the due second to the start of the send.
    if (event.dueAt < wallClockSecond(event.queuedAt)) {
        const QDateTime now = m_services.clock.now();
        const qint64 lateSecs = event.dueAt.msecsTo(wallClockMoment(now.date(), now.time())) / 1000;
        log.statusMessage(group + u' ' + event.function + u" due at "_s + wallClockText(event.dueAt) + u" sent "_s
                          + durationText(lateSecs) + u" late"_s);
    }
    log.statusMessage(u"Start sending serial command in "_s + group);
    if (plan->modelEntry)
        m_services.host.selectModelEntry(*plan->modelEntry);
    QString command;
    switch (plan->kind.command) {
    case HandOffCommand::PowerOff:
        command = m_services.host.monitorOffText().trimmed();
        break;
    case HandOffCommand::AutoConfig:
        command = m_services.commands.autoConfigCommand;
        break;
    default:
        command = m_services.host.monitorOnText().trimmed();
        break;
    }
    const CommandRequest request { { command, handOffIndex(plan->kind), true }, m_services.host.sendSnapshot() };
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
