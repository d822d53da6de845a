#pragma once

#include "commands/display_models.h"
#include "common/status_log.h"
#include "manual_clock.h"
#include "pty_displays.h"
#include "scheduler/event_executor.h"
#include "scripted_prompts.h"
#include "serial/serial_link.h"
#include "temp_app_folder.h"

#include <QMutex>

#include <functional>
#include <map>
#include <memory>

namespace vantiro::test {

// The parts of the main window a send reads and the executor asks of, with a record of what it was
// asked to do.
class StandInWindow : public ExecutorHost, public SendSnapshotSource
{
public:
    StandInWindow();

    SendSnapshot sendSnapshot() const override { return snapshot; }
    void lockEditingFrames() override
    {
        ++lockDepth;
        ++timesLocked;
    }
    void unlockEditingFrames() override { --lockDepth; }
    void focusVolumeBox() override { ++volumeBoxFocused; }

    void addPort(int com, const QString &model) { snapshot.groupPorts.append({ QString::number(com), model }); }

    // What the window shows: the group's ports, the model list ("LG"), COM 1 to 40, the line settings
    // lists (9600,n,8,1) and the panels' port.
    SendSnapshot snapshot;

    int lockDepth = 0;
    int timesLocked = 0;
    int volumeBoxFocused = 0;
};

// A main window's executor on a real serial link, with displays on pseudo-terminals named in
// Ports.ini. COM numbers listed as missing are mapped to a device that does not exist.
class ExecutorRig
{
public:
    explicit ExecutorRig(const QList<int> &displayComs, const QList<int> &missingComs = {});
    ~ExecutorRig();

    // Asks for a send with what the stand-in window shows now.
    QFuture<CommandReport> send(const CommandHandOff &handOff,
                                CommandDispatch::Timing timing = CommandDispatch::Timing::Now);

    Pty &display(int com) { return displays.display(com); }
    // The display's line as the program had set it the last time it opened the port.
    std::optional<TerminalState> lineSeen(int com) const;
    // The status log's texts, without their time stamps.
    QStringList logTexts() const;
    QStringList messageTexts() const;

    TempAppFolder folder;
    PtyDisplays displays;
    ManualClock clock;
    StatusLog statusLog { clock };
    ScriptedPrompts prompts;
    RecordingBusyPointer busyPointer;
    StandInWindow window;
    ModelCommandSet commands;
    // Called on the link's thread right after a display's port was opened.
    std::function<void(int com)> onOpen;
    // Called on the link's thread once a display's bytes are written, before they are waited out.
    std::function<void(int com)> onDrain;
    std::unique_ptr<SerialLink> link;
    std::unique_ptr<EventExecutor> executor;

private:
    mutable QMutex m_linesMutex;
    std::map<int, TerminalState> m_linesSeen;
};

} // namespace vantiro::test
