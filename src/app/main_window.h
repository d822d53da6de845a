#pragma once

#include "commands/display_models.h"
#include "scheduler/command_hand_off.h"
#include "scheduler/event_executor.h"

#include <QList>
#include <QMainWindow>

#include <memory>

class QCalendarWidget;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QSlider;
class QTabWidget;
class QTableView;
class QTimer;
class QTreeView;
class QWidget;

namespace vantiro {

class BusyPointer;
class Clock;
class EventExecutor;
class Inventory;
class Prompts;
class QuickCommands;
class SerialLink;
class StatusLog;
class TextTableModel;
class TrayIcon;

struct PortEditorTexts;

// What the window uses from the outside world. Each null entry is replaced by the desktop's own
// (message boxes, the hourglass, the system clock, the notification area); tests pass their own.
struct MainWindowServices
{
    Prompts *prompts = nullptr;
    BusyPointer *busyPointer = nullptr;
    const Clock *clock = nullptr;
    TrayIcon *trayIcon = nullptr;
};

// The operator's main window: it owns the inventory, the schedule, the status log and the command
// set, and wires its controls to the rules that live beside it.
class frmMain : public QMainWindow, private ExecutorHost
{
    Q_OBJECT

public:
    explicit frmMain(const QString &applicationFolder, MainWindowServices services = {}, QWidget *parent = nullptr);
    ~frmMain() override;

    const QString &applicationFolder() const { return m_applicationFolder; }
    const QString &settingsPath() const { return m_settingsPath; }

    // Appends a time-stamped line to the status log.
    void statusMessage(const QString &text);
    StatusLog &statusLog() const { return *m_statusLog; }

    // Loads the model list's current entry into the command set, the monitor command fields, the line
    // settings lists and the volume frame.
    void applyDisplayModel();
    // Selects a model list entry and applies it, also when it is already selected.
    void selectModelEntry(int index);
    const ModelCommandSet &modelCommandSet() const { return m_commands; }

    // The deferred settings load, and "Save" without its message. A save that could not be written
    // returns false and leaves the previous file as it was.
    void loadSettings();
    bool saveSettings();

    // What a sender leaves for the executor: pendingCommand, pendingCommandIndex, reportToStatusLog.
    CommandHandOff &commandHandOff() { return m_handOff; }
    EventExecutor &executor() const { return *m_executor; }
    Inventory &inventory() const { return *m_inventory; }
    TextTableModel &scheduleTable() const { return *m_scheduleTable; }
    // The instant-command panels publish their port and line settings here while they are open.
    void setLgPanel(const PanelHandOff *panel) { m_lgPanel = panel; }
    void setHyundaiPanel(const PanelHandOff *panel) { m_hyundaiPanel = panel; }

    // The quick-command frame and the group frame are locked while a send runs.
    void lockEditingFrames() override;
    void unlockEditingFrames() override;

    // "Systray": hides the window behind an icon in the notification area, or minimises it where the
    // desktop has none, so there is always a way back.
    void hideToTray();
    void restoreFromTray();
    // Another start of the program asked for this window: restore it (also from the tray), raise it
    // and give it the focus.
    void restoreFromAnotherStart();

signals:
    // The window was closed by any means; the program ends.
    void programEnding();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildLayout();
    QWidget *buildTopButtons();
    QGroupBox *buildSerialCommandFrame();
    QGroupBox *buildGroupFrame();
    QGroupBox *buildComSettingsFrame();
    QTabWidget *buildTabs();
    QWidget *buildScheduleTab();
    QGroupBox *buildAttributeFrame();
    QWidget *buildProcessTab();
    QWidget *buildBottomBar();
    QPushButton *makeQuickCommandButton(int index, const QString &caption);

    void centreOnScreen();
    void initialiseMainWindow();
    void setUpGroupTables();
    void fitTableColumns();
    void setUpPendingTable();
    void startUpTimerTick();
    void saveButtonClicked();
    // Starts the schedule after a load that found schedule rows; false while there is no runner.
    bool startLoadedSchedule();
    void connectInventory();
    PortEditorTexts portEditorTexts() const;
    void runQuickCommand(int index);
    void onVolumeTextChanged(const QString &text);
    void sendSliderVolume();
    bool filterVolumeKey(const QKeyEvent &key);

    // What the executor reads from the window.
    const TextTableModel &portTable() const override;
    QString displayModelText() const override;
    QStringList comPortItems() const override;
    LineSettingsTexts lineSettingsTexts() const override;
    void focusVolumeBox() override;
    const PanelHandOff *lgPanel() const override { return m_lgPanel; }
    const PanelHandOff *hyundaiPanel() const override { return m_hyundaiPanel; }

    QString m_applicationFolder;
    QString m_settingsPath;

    std::unique_ptr<Prompts> m_ownPrompts;
    std::unique_ptr<BusyPointer> m_ownBusyPointer;
    std::unique_ptr<Clock> m_ownClock;
    Prompts *m_prompts = nullptr;
    BusyPointer *m_busyPointer = nullptr;
    const Clock *m_clock = nullptr;
    TrayIcon *m_trayIcon = nullptr;

    bool m_columnsFitted = false;
    ModelCommandSet m_commands;
    CommandHandOff m_handOff;
    const PanelHandOff *m_lgPanel = nullptr;
    const PanelHandOff *m_hyundaiPanel = nullptr;
    std::unique_ptr<SerialLink> m_serialLink;
    EventExecutor *m_executor = nullptr;
    std::unique_ptr<QuickCommands> m_quickCommands;
    Inventory *m_inventory = nullptr;
    StatusLog *m_statusLog = nullptr;
    TextTableModel *m_groupTable = nullptr;
    TextTableModel *m_portTable = nullptr;
    TextTableModel *m_scheduleTable = nullptr;
    TextTableModel *m_pendingTable = nullptr;

    QTimer *m_startUpTimer = nullptr;
    QTimer *m_runClockTimer = nullptr;
    QTimer *m_updateTimer = nullptr;

    // Controls the rules read and write; the rest live only in the layout.
    QLineEdit *m_txtCommPort = nullptr;
    QList<QComboBox *> m_cbPortSet;
    QLineEdit *m_txtMonitorOnCommand = nullptr;
    QLineEdit *m_txtMonitorOffCommand = nullptr;
    QGroupBox *m_fraSerialCommand = nullptr;
    QGroupBox *m_fraGroup = nullptr;
    QGroupBox *m_fraVolume = nullptr;
    QTableView *m_iGroup = nullptr;
    QTableView *m_iPort = nullptr;
    QComboBox *m_cboLCD = nullptr;
    QComboBox *m_cboCOM = nullptr;
    QLineEdit *m_txtNote = nullptr;
    QLineEdit *m_txtVolume = nullptr;
    QSlider *m_sldVolume = nullptr;
    QList<QPushButton *> m_cmdCOMSend;
    QTabWidget *m_tabs = nullptr;
    QTreeView *m_lvScheduler = nullptr;
    QGroupBox *m_fraAtt = nullptr;
    QComboBox *m_startHour = nullptr;
    QComboBox *m_startMin = nullptr;
    QComboBox *m_startSec = nullptr;
    QComboBox *m_endHour = nullptr;
    QComboBox *m_endMin = nullptr;
    QComboBox *m_endSec = nullptr;
    QComboBox *m_cboMonitors = nullptr;
    QWidget *m_picCalendar = nullptr;
    QListView *m_lstMessage = nullptr;
    QTableView *m_iPend = nullptr;
    QLabel *m_lblCurrentTime = nullptr;
};

} // namespace vantiro
