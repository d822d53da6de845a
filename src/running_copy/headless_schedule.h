#pragma once

#include "commands/display_models.h"
#include "inventory/settings_file.h"
#include "scheduler/event_executor.h"
#include "scheduler/schedule_runner.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

namespace vantiro {

class Clock;
class Inventory;
class SerialLink;
class StatusLog;
class TextTableModel;

// Settings.ini as a copy without a window reads it: what the file holds, and whether it says outright that there
// are no groups or no schedule rows (a count of 0), which an absent or unreadable section does not.
struct SettingsReading
{
    bool exists = false;
    QString error; // why a file that is there could not be read
    SettingsContents contents;
    bool groupsCleared = false;
    bool scheduleCleared = false;
};
SettingsReading readSettingsForSchedule(const QString &path);

// The schedule run without a window, from the Settings.ini of an application folder: the same inventory, runner,
// executor and serial link as the window, with a host that stands in for the window's controls. What the window
// would show after loading the file (the model list on "LG", the monitor commands and line settings of the file)
// is held here as values, and the runner's choices of model change it just as they change the window.
//
// It never writes Settings.ini: the file is what it runs. Its status-log lines go to the daily log of the folder
// as the window's do; messages that the window would show in a box go to the status log.
class HeadlessSchedule : public QObject, private ExecutorHost, private ScheduleRunnerHost
{
    Q_OBJECT

public:
    HeadlessSchedule(const QString &applicationFolder, const Clock &clock, QObject *parent = nullptr);
    ~HeadlessSchedule() override;

    const QString &settingsPath() const { return m_settingsPath; }
    StatusLog &statusLog() const { return *m_statusLog; }
    ScheduleRunner &runner() const { return *m_runner; }
    EventExecutor &executor() const { return *m_executor; }
    const Inventory &inventory() const { return *m_inventory; }
    const TextTableModel &schedule() const { return *m_schedule; }
    const TextTableModel &pending() const { return *m_pending; }

    // Loads Settings.ini as the window's start does and runs the schedule when it holds rows; with a hand-over
    // from another runner, the first run goes on from there.
    void start(std::optional<RunnerHandOver> handOver = std::nullopt);
    // Takes Settings.ini again after it changed on disk, keeping the seconds examined and the events queued. A
    // file that cannot be read, or has lost the schedule section the running schedule came from, is logged with
    // its reason and changes nothing.
    void takeChangedSettings();
    // No further events are taken; the send on the wire goes on.
    void stop();

private:
    void take(const SettingsReading &reading, bool firstLoad);
    void resetCommandPort(const SerialCommandSettings &serial);
    void log(const QString &text);

    // ExecutorHost: nothing to lock or focus.
    void lockEditingFrames() override { }
    void unlockEditingFrames() override { }
    void focusVolumeBox() override { }
    // ScheduleRunnerHost.
    bool saveSettings() override;
    void showRunning(bool) override { }
    void showClock(const QString &) override { }
    void selectModelEntry(int index) override;
    QString monitorOnText() const override { return m_monitorOn; }
    QString monitorOffText() const override { return m_monitorOff; }
    SendSnapshot sendSnapshot() const override;

    QString m_settingsPath;
    std::unique_ptr<Prompts> m_prompts;
    std::unique_ptr<BusyPointer> m_busyPointer;
    StatusLog *m_statusLog = nullptr;
    Inventory *m_inventory = nullptr;
    TextTableModel *m_schedule = nullptr;
    TextTableModel *m_pending = nullptr;
    ModelCommandSet m_commands;
    QString m_modelListText;
    QString m_monitorOn;
    QString m_monitorOff;
    LineSettings m_lineSettings;
    std::unique_ptr<SerialLink> m_serialLink;
    std::optional<RunnerHandOver> m_handOver; // until the first run
    EventExecutor *m_executor = nullptr;
    ScheduleRunner *m_runner = nullptr;
};

} // namespace vantiro
