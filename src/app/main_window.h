#pragma once

#include "commands/command_dispatch.h"
#include "commands/display_models.h"
#include "common/ini_file.h"
#include "scheduler/event_executor.h"
#include "scheduler/schedule_runner.h"

#include <QMainWindow>

#include <memory>
#include <optional>

class QLabel;
class QTabWidget;
class QTimer;

namespace vantiro {

class BusyPointer;
class Clock;
class Inventory;
class InventoryFrame;
class ProcessTab;
class Prompts;
class QuickCommandFrame;
class ScheduleTab;
class SerialCommandFrame;
class SerialLink;
class SettingsSession;
class StatusLog;
class TextTableModel;
class TrayIcon;
class UnsavedChanges;

// What the window uses from the outside world. Each null entry is replaced by the desktop's own
// (message boxes, the hourglass, the system clock, the notification area); tests pass their own.
struct MainWindowServices
{
    Prompts *prompts = nullptr;
    BusyPointer *busyPointer = nullptr;
    const Clock *clock = nullptr;
    TrayIcon *trayIcon = nullptr;
};

// The operator's main window. It composes the frames of the subsystems and owns what belongs to the
// program as a whole: the caption, the top and bottom buttons, the tray, the start-up load and the
// way the program ends.
class frmMain : public QMainWindow, private ExecutorHost, private ScheduleRunnerHost
{
    Q_OBJECT

public:
    explicit frmMain(const QString &applicationFolder, MainWindowServices services = {}, QWidget *parent = nullptr);
    ~frmMain() override;

    const QString &applicationFolder() const { return m_applicationFolder; }
    const QString &settingsPath() const;

    // Appends a time-stamped line to the status log.
    void statusMessage(const QString &text);
    StatusLog &statusLog() const { return *m_statusLog; }

    // Loads the model list's current entry into the command set, the monitor command fields, the line
    // settings lists and the volume frame.
    void applyDisplayModel();
    // Selects a model list entry and applies it, also when it is already selected.
    void selectModelEntry(int index) override;
    const ModelCommandSet &modelCommandSet() const { return m_commands; }

    // The deferred settings load, and "Save" without its message. A save that could not be written
    // returns false and leaves the previous file as it was.
    void loadSettings();
    bool saveSettings() override;

    // Where every send of the window and its panels goes.
    EventExecutor &executor() const { return *m_executor; }
    Inventory &inventory() const { return *m_inventory; }
    ScheduleRunner &scheduleRunner() const { return *m_runner; }
    const TextTableModel &scheduleTable() const { return *m_scheduleTable; }

    // "Systray": hides the window behind an icon in the notification area, or minimises it where the
    // desktop has none, so there is always a way back.
    void hideToTray();
    void restoreFromTray();
    // Another start of the program asked for this window: restore it (also from the tray), raise it
    // and give it the focus.
    void restoreFromAnotherStart();
    // Closes as at the end of the desktop session: unsaved edits are not asked about (SIGTERM).
    void closeWithoutAsking();

signals:
    // The window was closed by any means; the program ends once a send in progress has finished.
    void programClosing();
    // The window was closed by any means; the program ends.
    void programEnding();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildLayout();
    QWidget *buildTopButtons();
    QWidget *buildBottomBar();
    void connectPanelButtons();

    void centreOnScreen();
    void initialiseMainWindow();
    void startUpTimerTick();
    // Nothing when the operator chose to keep a settings file that could not be read.
    std::optional<SaveResult> writeSettings();
    void saveButtonClicked();
    void tellSaveFailure(const SaveResult &saved);
    // "Vantiro 1.1.4", with a leading "*" while there are unsaved changes.
    void showCaption();
    // Whether the window may close: without unsaved changes, at the end of the desktop session, or as
    // the operator answers the question to save them.
    bool mayClose();

    // ExecutorHost: the quick-command and group frames are locked while a send runs.
    void lockEditingFrames() override;
    void unlockEditingFrames() override;
    void focusVolumeBox() override;
    // SendSnapshotSource: the port table, the model list, the COM list and the line settings lists.
    SendSnapshot sendSnapshot() const override;
    // ScheduleRunnerHost.
    void showRunning(bool running) override;
    void showClock(const QString &text) override;
    QString monitorOnText() const override;
    QString monitorOffText() const override;

    QString m_applicationFolder;

    std::unique_ptr<Prompts> m_ownPrompts;
    std::unique_ptr<BusyPointer> m_ownBusyPointer;
    std::unique_ptr<Clock> m_ownClock;
    Prompts *m_prompts = nullptr;
    BusyPointer *m_busyPointer = nullptr;
    const Clock *m_clock = nullptr;
    TrayIcon *m_trayIcon = nullptr;

    bool m_columnsFitted = false;
    ModelCommandSet m_commands;
    StatusLog *m_statusLog = nullptr;
    Inventory *m_inventory = nullptr;
    TextTableModel *m_scheduleTable = nullptr;
    TextTableModel *m_pendingTable = nullptr;
    std::unique_ptr<SettingsSession> m_settings;
    std::unique_ptr<SerialLink> m_serialLink;
    EventExecutor *m_executor = nullptr;
    ScheduleRunner *m_runner = nullptr;

    QTimer *m_startUpTimer = nullptr;
    UnsavedChanges *m_unsavedChanges = nullptr;
    // The application is told to quit (the desktop session ends): its windows close without a question.
    bool m_quitting = false;

    SerialCommandFrame *m_serialCommandFrame = nullptr;
    InventoryFrame *m_inventoryFrame = nullptr;
    QuickCommandFrame *m_quickCommandFrame = nullptr;
    ScheduleTab *m_scheduleTab = nullptr;
    ProcessTab *m_processTab = nullptr;
    QTabWidget *m_tabs = nullptr;
    QLabel *m_lblCurrentTime = nullptr;
};

} // namespace vantiro
