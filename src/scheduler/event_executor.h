#pragma once

#include "commands/command_dispatch.h"
#include "commands/display_models.h"
#include "commands/send_progress.h"
#include "serial/send_outcome.h"

#include <QMap>
#include <QObject>
#include <QPromise>
#include <QTimer>

#include <deque>

namespace vantiro {

class BusyPointer;
class Prompts;
class SerialLink;
class StatusLog;
struct UnreachedPort;

// What the executor asks of the main window while it sends.
class ExecutorHost
{
public:
    virtual ~ExecutorHost() = default;

    // The editing frames stay locked while a send runs.
    virtual void lockEditingFrames() = 0;
    virtual void unlockEditingFrames() = 0;
    // Selects the whole text of the volume box and gives it the focus.
    virtual void focusVolumeBox() = 0;
};

// The one place of the main window that turns a request into serial sends: to the loaded group's
// ports, to every COM port of the list, or to a panel's port, choosing each port's commands and
// line settings on the way, and reporting to the status log or in message boxes.
//
// Runs never nest. A request made while a run is sending (a timer tick, a click, the runner) waits
// with everything it was given and runs as soon as the current run has finished.
//
// Each port's outcome goes to the status log as the link reports it ("COM 3: sent", "COM 4: not
// sent: busy"). A run that lasts longer than a second shows its progress; the operator's Stop ends it
// after the port being sent, and the ports left out are named: "Not sent to COM 13-40: stopped by
// the user". A stopped run is otherwise reported as one that ran to its end.
class EventExecutor : public QObject, public CommandDispatch
{
    Q_OBJECT

public:
    struct Services
    {
        SerialLink &link;
        StatusLog &statusLog;
        Prompts &prompts;
        BusyPointer &busyPointer;
    };

    // The model application writes into `commands`, so what it sets stays in force for later
    // quick commands.
    EventExecutor(ExecutorHost &host, ModelCommandSet &commands, Services services, QObject *parent = nullptr);
    // Requests still waiting are dropped: their completions finish without a report.
    ~EventExecutor() override;

    // NextTick: on the next tick of the executor's timer (10 ms). Every request counts: two before
    // the tick are sent twice, in order. Now: at once when nothing is sending, otherwise right after
    // the run in progress.
    QFuture<CommandReport> dispatch(const CommandRequest &request, Timing timing = Timing::NextTick) override;
    SendProgress *progress() override { return &m_progress; }

    bool isRunning() const { return m_running; }
    // "TimerExcuteEventCmd", a child of the executor: single-shot, so each tick disables it until
    // the next caller enables it.
    QTimer &timer() { return m_timer; }

    static constexpr int timerIntervalMs = 10;

signals:
    // After every run, queued ones included.
    void commandExecuted();
    // When the last queued run has finished.
    void idle();

private:
    struct Waiting
    {
        CommandRequest request;
        QPromise<CommandReport> completion;
    };
    struct Run;
    enum class Outcome { Completed, Stopped };

    void runWaiting();
    void runOnce(Waiting &waiting);
    // Chooses each port's command and line settings up front; the ports are then sent as one job.
    void plan(Run &run);
    Outcome send(Run &run);
    Outcome planGroupWithOwnModels(Run &run);
    Outcome planEveryComPort(Run &run);
    Outcome planGroupWithListSettings(Run &run);
    void planPanel(Run &run);
    Outcome planGroupPortByPort(Run &run);
    Outcome planPort(Run &run, const QString &portText, const LineSettings &settings, const QString &command);
    void planSend(Run &run, const QString &lineSettings, const QString &portText, const QString &command, bool logged);
    void knownFailure(Run &run, const UnreachedPort &port);
    void reportEmptyCommand(const Run &run);
    void reportEnd(const Run &run, const QStringList &unreached);

    ExecutorHost &m_host;
    ModelCommandSet &m_commands;
    Services m_services;
    QTimer m_timer;
    SendProgress m_progress;
    bool m_running = false;
    std::deque<Waiting> m_waiting;
};

// A port a run did not reach: its COM number, or 0 when its text names none, and why.
struct UnreachedPort
{
    int com = 0;
    QString portText;
    SendOutcome outcome;
};

// The status-log lines naming the COM ports a send could not reach: one reason per line, in COM
// order, neighbouring ports told alike as a range, ports of one reason on one line, port texts that
// name no COM port last: "Not sent to COM 2: no such device (/dev/ttyUSB0, from Ports.ini)",
// "Not sent to COM 5-40: no such device (/dev/ttyS4 to /dev/ttyS39; map COM numbers to devices in
// Ports.ini)", "Not sent to COM abc: not a COM number". None when every port was reached.
QStringList unreachedPortsLines(const QList<UnreachedPort> &ports);

// Whether the model list's text names a model with mute and volume commands of its own, so that
// the mute and volume buttons reach the group's ports.
bool modelTakesMuteAndVolume(const QString &modelListText);

} // namespace vantiro
