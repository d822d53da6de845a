#pragma once

#include "commands/command_dispatch.h"
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

// How a scheduled function is sent: the model list entry chosen first (none: as it is), the hand-off
// index, and which command.
struct ScheduledFunction
{
    enum class Command { On, Off, AutoConfig };
    std::optional<int> modelEntry;
    QString index;
    Command command = Command::On;
};
// The function names are compared exactly, after trimming; nothing for a name the runner does not know.
std::optional<ScheduledFunction> scheduledFunction(const QString &name);

// Turns the schedule into sends. The clock tick ("RunClockTimer", at the start of every second)
// queues the rows due in the pending-event table; the update tick ("UpdateTimer") takes one pending
// event at a time, loads its group, picks the model and command for its function and sends through
// the dispatch, waiting for the send to finish.
//
// Every due second counts exactly once, however the ticks come: each clock tick examines every
// second after the last one examined up to now. A clock that goes back examines nothing again until
// it has passed the last examined second (a jump back of more than three hours is a correction and
// the schedule continues from the new time). A forward gap of up to ten minutes (a late tick, a short
// suspend, the spring clock change) queues what fell due in it, in order; rows due in a longer gap
// are logged as missed and not sent.
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
    // "Run": saves the settings (a failed save is logged and the schedule starts all the same), starts
    // both timers, locks the window and shows the "Process" tab. Events queued more than ten minutes
    // ago are logged as missed instead of sent late.
    void run();
    // "Stop": both timers stop; what is still queued stays and is sent after the next Run.
    void stop();

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
    struct ParsedRow
    {
        QDate first;
        QDate last;
        QTime from;
        QTime to;
        WeekdaySet days {};
        bool valid = false;
    };
    struct Due
    {
        QDateTime moment; // wall-clock time, kept without a time zone
        int row = 0;
    };
    struct Queued
    {
        QDateTime dueAt;
        qint64 queuedAtMs = 0;
    };

    const std::vector<ParsedRow> &parsedRows();
    std::vector<Due> dueIn(const QDateTime &after, const QDateTime &upTo, bool firstOnly);
    void examine(const QDateTime &now);
    void queue(const Due &due, qint64 nowMs);
    void logMissed(int row, const QDateTime &dueAt);
    void warnAboutPorts(const Due &due);
    void armClockTimer();
    // True when the send waits behind another one and the tick ends later.
    bool sendEvent(const QString &group, const QString &function);
    void finishUpdateTick();
    QString rowText(int row, int column) const;

    Services m_services;
    PortMap m_portMap;
    QTimer m_clockTimer;
    QTimer m_updateTimer;
    bool m_running = false;
    bool m_rowsChanged = true;
    std::vector<ParsedRow> m_rows;
    std::optional<QDateTime> m_lastExamined; // wall-clock time
    qint64 m_lastTickMs = 0;
    std::deque<Queued> m_queued; // beside the pending-event table, one entry per row
};

} // namespace vantiro
