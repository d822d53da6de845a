#pragma once

#include "commands/display_models.h"
#include "scheduler/command_hand_off.h"
#include "serial/send_outcome.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <optional>

namespace vantiro {

class BusyPointer;
class Prompts;
class SerialLink;
class StatusLog;
class TextTableModel;
struct RunInputs;

// The texts the four line settings lists show, in the order the link takes them.
struct LineSettingsTexts
{
    QString baudRate;
    QString parity;
    QString dataBits;
    QString stopBits;
};

// What the executor reads from the main window and asks of it.
class ExecutorHost
{
public:
    virtual ~ExecutorHost() = default;

    // The loaded group's ports, columns "COM" and "LCD".
    virtual const TextTableModel &portTable() const = 0;
    // The text the model list shows.
    virtual QString displayModelText() const = 0;
    // The items of the COM list, "1" to "40", in list order.
    virtual QStringList comPortItems() const = 0;
    virtual LineSettingsTexts lineSettingsTexts() const = 0;

    // The editing frames stay locked while a send runs.
    virtual void lockEditingFrames() = 0;
    virtual void unlockEditingFrames() = 0;
    // Selects the whole text of the volume box and gives it the focus.
    virtual void focusVolumeBox() = 0;

    // The panels that hand commands over with "100" (LG) and "99" (Hyundai); null when not open.
    virtual const PanelHandOff *lgPanel() const = 0;
    virtual const PanelHandOff *hyundaiPanel() const = 0;
};

// The one place of the main window that turns a hand-off into serial sends: to the loaded group's
// ports, to every COM port of the list, or to a panel's port, choosing each port's commands and
// line settings on the way, and reporting to the status log or in message boxes.
//
// Runs never nest. A request made while a run is sending (a timer tick, a click, the runner) is
// queued with the hand-off as it stood then, and runs as soon as the current run has finished.
class EventExecutor : public QObject
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
    EventExecutor(ExecutorHost &host, const CommandHandOff &handOff, ModelCommandSet &commands, Services services,
                  QObject *parent = nullptr);

    // Sends the hand-off as it stands now on the next tick of the executor's timer (10 ms), as the
    // quick commands and panels do. Every call counts: two calls before the tick send twice, in order.
    void scheduleExecution();
    // Sends the hand-off now (after any still waiting for the tick) and returns true once it is done.
    // While a run is in progress the request is queued instead and false is returned; idle() tells
    // when the queue is done.
    bool executeCommand();

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
    struct Run;
    enum class Outcome { Completed, Stopped };

    bool runWaiting();
    RunInputs takeInputs() const;
    void runOnce(const CommandHandOff &handOff);
    Outcome send(Run &run);
    Outcome sendToGroupWithOwnModels(Run &run);
    Outcome sendToEveryComPort(Run &run);
    Outcome sendToGroupWithListSettings(Run &run);
    void sendToPanel(Run &run, const PanelHandOff *panel);
    Outcome sendToPort(Run &run, const QString &portText, const LineSettingsTexts &settings, const QString &command);
    void transmit(Run &run, const QString &lineSettings, const QString &portText, const QString &command);
    std::optional<QString> lineSettingsOrTell(const LineSettingsTexts &settings);
    void reportEmptyCommand(const Run &run);
    void reportEnd(const Run &run);

    ExecutorHost &m_host;
    const CommandHandOff &m_handOff;
    ModelCommandSet &m_commands;
    Services m_services;
    QTimer m_timer;
    bool m_running = false;
    QList<CommandHandOff> m_waiting;
};

// One status-log line naming the COM ports a send could not reach, grouped by reason, consecutive
// numbers as ranges: "Not sent to COM 5-40: no such device; COM 2: permission denied (...)".
// The empty text when every port was reached.
QString unreachedPortsText(const QMap<int, SendOutcome::Status> &failures);

// Whether the model list's text names a model with mute and volume commands of its own, so that
// the mute and volume buttons reach the group's ports.
bool modelTakesMuteAndVolume(const QString &modelListText);

} // namespace vantiro
