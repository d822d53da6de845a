#pragma once

#include "app/status_log.h"
#include "app/text_table_model.h"
#include "commands/display_models.h"
#include "manual_clock.h"
#include "pseudo_terminal.h"
#include "scheduler/event_executor.h"
#include "scripted_prompts.h"
#include "serial/serial_link.h"
#include "temp_app_folder.h"

#include <QMutex>

#include <map>
#include <memory>

namespace vantiro::test {

struct StandInPanel : PanelHandOff
{
    StandInPanel(QString port, QString lineSettings)
        : port(std::move(port))
        , lineSettings(std::move(lineSettings))
    { }
    QString panelCommPort() const override { return port; }
    QString panelLineSettings() const override { return lineSettings; }

    QString port;
    QString lineSettings;
};

// The parts of the main window the executor sees, with a record of what it was asked to do.
class StandInWindow : public ExecutorHost
{
public:
    StandInWindow();

    const TextTableModel &portTable() const override { return ports; }
    QString displayModelText() const override { return modelList; }
    QStringList comPortItems() const override { return comList; }
    LineSettingsTexts lineSettingsTexts() const override { return lineSettings; }
    void lockEditingFrames() override
    {
        ++lockDepth;
        ++timesLocked;
    }
    void unlockEditingFrames() override { --lockDepth; }
    void focusVolumeBox() override { ++volumeBoxFocused; }
    const PanelHandOff *lgPanel() const override { return lg.get(); }
    const PanelHandOff *hyundaiPanel() const override { return hyundai.get(); }

    void addPort(int com, const QString &model) { ports.appendRow({ QString::number(com), model, {} }); }

    TextTableModel ports;
    QString modelList = QStringLiteral("LG");
    QStringList comList; // "1" to "40"
    LineSettingsTexts lineSettings;
    std::unique_ptr<StandInPanel> lg;
    std::unique_ptr<StandInPanel> hyundai;

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

    Pty &display(int com) { return *m_displays.at(com); }
    // The display's line as the program had set it the last time it opened the port.
    std::optional<TerminalState> lineSeen(int com) const;
    // The status log's texts, without their time stamps.
    QStringList logTexts() const;
    QStringList messageTexts() const;

    TempAppFolder folder;
    ManualClock clock;
    StatusLog statusLog { clock };
    ScriptedPrompts prompts;
    RecordingBusyPointer busyPointer;
    StandInWindow window;
    CommandHandOff handOff;
    ModelCommandSet commands;
    std::unique_ptr<SerialLink> link;
    std::unique_ptr<EventExecutor> executor;

private:
    std::map<int, std::unique_ptr<Pty>> m_displays;
    mutable QMutex m_linesMutex;
    std::map<int, TerminalState> m_linesSeen;
};

} // namespace vantiro::test
