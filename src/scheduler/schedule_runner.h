#pragma once

#include "commands/command_dispatch.h"
#include "scheduler/examined_seconds.h"
#include "scheduler/runner_hand_over.h"
#include "scheduler/schedule_rules.h"
#include "serial/port_map.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <deque>
#include <optional>
#include <vector>

namespace vantiro {

class Clock;
class Inventory;
class StatusLog;
class TextTableModel;
struct ModelCommandSet;

// What the runner asks of the main window.
class ScheduleRunnerHost : public SendSnapshotSource
{
public:
    // "Save" without its message; false when the file could not be written.
    virtual bool saveSettings() = 0;
    // Running: Run, Save, Close and the editing frames locked, Stop free, the "Process" tab shown;
    // stopped: the other way round, the "Schedule" tab shown.
    virtual void showRunning(bool running) = 0;
    // The clock label, "HH:MM:SS".
    virtual void showClock(const QString &text) = 0;
    // Selects a model list entry and applies its command set.
    virtual void selectModelEntry(int index) = 0;
    // The monitor command boxes, as they stand.
    virtual QString monitorOnText() const = 0;
    virtual QString monitorOffText() const = 0;
};

// How a scheduled function is sent: the model list entry chosen first (none: as it is), and the
// hand-off's kind (where it goes and which command).
struct ScheduledFunction
{
    std::optional<int> modelEntry;
    HandOffKind kind;
};
// The function names are compared exactly, after trimming; nothing for a name the runner does not know.
std::optional<ScheduledFunction> scheduledFunction(const QString &name);

// Turns the schedule into sends. The clock tick ("RunClockTimer", at the start of every second)
// queues the rows due in the pending-event table; the update tick ("UpdateTimer") takes one pending
// event at a time, loads its group, picks the model and command for its function and sends through
// the dispatch, waiting for the send to finish.
//
// Every second the clock shows counts exactly once, however the ticks come: each clock tick examines
// the seconds since the last one that were never examined before, across Stop and Run. After a jump
// back of up to three hours the clock goes over seconds again: those never examined (a clock that was
// fast at Run, the repeated hour of the autumn change) fire as usual, those already examined never
// fire again. A jump back of more than three hours is a correction: it is logged, what was examined
// is forgotten and the schedule continues from the new time. A forward gap of up to ten minutes (a
// late tick, a short suspend, the spring clock change) queues what fell due in it, in order, and each
// such event says how late it went out; rows due in a longer gap are logged as missed and not sent,
// except those due in the second the clock lands on.
//
// On a date without events no row fires: in the due second the runner logs that the row was skipped,
// once, and the second counts as examined like any other.
class ScheduleRunner : public QObject
{
    Q_OBJECT

public:
    struct Services
    {
        const Clock &clock;
        TextTableModel &schedule;
        TextTableModel &pending;
        Inventory &inventory;
        const ModelCommandSet &commands;
        StatusLog &statusLog;
        CommandDispatch &dispatch;
        ScheduleRunnerHost &host;
    };

    ScheduleRunner(Services services, PortMap portMap, QObject *parent = nullptr);

    bool isRunning() const { return m_running; }
    // The dates without events (Date, Note), which the runner owns beside the schedule it is given: the
    // host fills them from the settings as it fills the schedule.
    TextTableModel &datesWithoutEvents() const { return *m_datesTable; }
    const DatesWithoutEvents &skippedDates();
    // "Run": saves the settings (a failed save is logged and the schedule starts all the same), logs
    // the number of rows and the next event, starts both timers, locks the window and shows the
    // "Process" tab. Events queued more than ten minutes ago are logged as missed instead of sent
    // late. Rows due within the next minute get their port warning now.
    void run();
    // "Stop": both timers stop and the clock label shows "--:--:--"; what is still queued stays and is
    // sent after the next Run.
    void stop();

    // For another runner to go on with: stops this one and hands over the seconds examined and the
    // events queued (which leave the pending-event table). Events the hand-over cannot carry are
    // logged as missed.
    RunnerHandOver takeHandOver();
    // Before run(): takes over what another runner examined and queued; the next run() goes on from
    // the last second that runner examined. False (and nothing taken) while running.
    bool continueFrom(const RunnerHandOver &handOver);

    // The tick handlers, which the timers call.
    void runClockTick();
    void runUpdateTick();

    QTimer &clockTimer() { return m_clockTimer; }
    QTimer &updateTimer() { return m_updateTimer; }

    // Longest forward gap whose due rows are still sent, and the backward jump taken as a correction.
    static constexpr qint64 catchUpLimitSecs = 10 * 60;
    static constexpr qint64 correctionSecs = 3 * 60 * 60;
    // How long before a row falls due its group's ports are checked.
    static constexpr qint64 warningSecs = 60;

signals:
    // A schedule row (counted from 0) went into the pending-event table for its due moment, the
    // wall-clock time it fell due.
    void eventQueued(int scheduleRow, const QDateTime &dueAt);

private:
    struct Due
    {
        QDateTime moment; // wall-clock time
        int row = 0;
        bool skipped = false; // on a date without events
    };

    const std::vector<std::optional<ScheduleTiming>> &rowTimings();
    // The moments in [from, upTo] not examined yet at which rows are due, in time order and, within
    // one second, in schedule order.
    std::vector<Due> dueIn(const QDateTime &from, const QDateTime &upTo);
    void examine(const QDateTime &now);
    // A jump back further than the correction limit: logged, and what was examined is forgotten.
    bool forgetIfCorrected(const QDateTime &previous, const QDateTime &wall);
    void queue(const Due &due, const QDateTime &now);
    void enqueue(const QueuedEvent &event, const QStringList &cells);
    void dropStaleEvents(const QDateTime &now);
    void logMissed(const QString &group, const QString &function, const QDateTime &dueAt);
    void logSkipped(const Due &due);
    void warnAhead(const QDateTime &from, const QDateTime &upTo);
    void warnAboutPorts(const Due &due);
    void logRunning(const QDateTime &now);
    void armClockTimer();
    // True when the send waits behind another one and the tick ends later.
    bool sendEvent(const QueuedEvent &event);
    void finishUpdateTick();
    QString rowText(int row, int column) const;

    Services m_services;
    PortMap m_portMap;
    QTimer m_clockTimer;
    QTimer m_updateTimer;
    bool m_running = false;
    bool m_rowsChanged = true;
    TextTableModel *m_datesTable = nullptr;
    bool m_datesChanged = true;
    DatesWithoutEvents m_skippedDates;
    std::vector<std::optional<ScheduleTiming>> m_timings;
    std::vector<std::pair<QTime, int>> m_rowsByTime; // the rows that can fire, by time of day
    ExaminedSeconds m_examined;
    bool m_continuing = false; // the next run() goes on from m_examined.last()
    qint64 m_lastTickMs = 0;
    std::deque<QueuedEvent> m_queued; // beside the pending-event table, one entry per row
};

} // namespace vantiro
