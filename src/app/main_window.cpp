#include "app/main_window.h"

#include "app/about_dialog.h"
#include "app/process_tab.h"
#include "app/qt_prompts.h"
#include "app/tray_icon.h"
#include "app/version.h"
#include "commands/quick_command_frame.h"
#include "commands/serial_command_frame.h"
#include "common/clock.h"
#include "common/controls.h"
#include "common/daily_log.h"
#include "common/status_log.h"
#include "common/text_table_model.h"
#include "custom/custom_panel_window.h"
#include "inventory/inventory.h"
#include "inventory/inventory_frame.h"
#include "inventory/settings_session.h"
#include "inventory/unsaved_changes.h"
#include "panels/hyundai_panel_window.h"
#include "panels/lg_panel_window.h"
#include "scheduler/schedule_tab.h"
#include "scheduler/schedule_table.h"
#include "serial/serial_link.h"

#include <QAction>
#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

// The window's size where the screen has room for all of it, unless its contents ask for more.
constexpr QSize preferredSize(1180, 820);

} // namespace

frmMain::frmMain(const QString &applicationFolder, MainWindowServices services, QWidget *parent)
    : QMainWindow(parent)
    , m_applicationFolder(applicationFolder)
    , m_commands(ModelCommandSet::initial())
{
    setObjectName(u"frmMain"_s);
    setWindowTitle(applicationTitle);
    setWindowIcon(programIcon());

    if (!services.prompts)
        m_ownPrompts = std::make_unique<QtPrompts>(this);
    if (!services.busyPointer)
        m_ownBusyPointer = std::make_unique<QtBusyPointer>();
    if (!services.clock)
        m_ownClock = std::make_unique<SystemClock>();
    m_prompts = services.prompts ? services.prompts : m_ownPrompts.get();
    m_busyPointer = services.busyPointer ? services.busyPointer : m_ownBusyPointer.get();
    m_clock = services.clock ? services.clock : m_ownClock.get();
    m_trayIcon = services.trayIcon ? services.trayIcon
                                   : new SystemTrayIcon(programIcon(), applicationTitle, TrayClicks::DoubleClick, this);
    connect(m_trayIcon, &TrayIcon::doubleClicked, this, &frmMain::restoreFromTray);

    m_statusLog = new StatusLog(*m_clock, QLocale::system(), this);
    new DailyLog(m_applicationFolder, *m_statusLog, this); // logs/YYYY-MM-DD.log beside the settings
    m_inventory = new Inventory(*m_prompts, *m_busyPointer, this);
    m_scheduleTable = new TextTableModel(scheduleColumns(), this);
    m_pendingTable = new TextTableModel(pendingColumns(), this);
    m_startUpTimer = new QTimer(this);
    m_startUpTimer->setObjectName(u"StartUpTimer"_s);
    m_startUpTimer->setInterval(1);
    connect(m_startUpTimer, &QTimer::timeout, this, &frmMain::startUpTimerTick);

    m_serialLink = std::make_unique<SerialLink>(PortMap(m_applicationFolder));
    m_executor = new EventExecutor(
        *this, m_commands, EventExecutor::Services { *m_serialLink, *m_statusLog, *m_prompts, *m_busyPointer }, this);

    m_runner = new ScheduleRunner(
        { *m_clock, *m_scheduleTable, *m_pendingTable, *m_inventory, m_commands, *m_statusLog, *m_executor, *this },
        PortMap(m_applicationFolder), this);
    m_settings = std::make_unique<SettingsSession>(m_applicationFolder, *m_inventory, *m_scheduleTable,
                                                   m_runner->datesWithoutEvents(), *m_busyPointer);

    m_serialCommandFrame = new SerialCommandFrame;
    m_quickCommandFrame = new QuickCommandFrame(m_commands, static_cast<const ScheduleRunnerHost &>(*this), *m_executor,
                                                *m_prompts, this);
    m_inventoryFrame = new InventoryFrame(*m_inventory, this);
    m_scheduleTab = new ScheduleTab(*m_scheduleTable, m_runner->datesWithoutEvents(), *m_inventory, *m_prompts,
                                    *m_clock, this);
    m_processTab = new ProcessTab(*m_statusLog, *m_pendingTable);
    buildLayout();

    connect(m_inventoryFrame, &InventoryFrame::modelChosen, this, &frmMain::applyDisplayModel);
    connect(findChild<QPushButton *>(u"btnHide"_s), &QPushButton::clicked, this, &frmMain::hideToTray);
    connect(findChild<QPushButton *>(u"btnClose"_s), &QPushButton::clicked, this, &QWidget::close);
    connect(findChild<QPushButton *>(u"btnSave"_s), &QPushButton::clicked, this, &frmMain::saveButtonClicked);
    connect(findChild<QPushButton *>(u"btnRun"_s), &QPushButton::clicked, m_runner, &ScheduleRunner::run);
    connect(findChild<QPushButton *>(u"btnStop"_s), &QPushButton::clicked, m_runner, &ScheduleRunner::stop);
    connectPanelButtons();

    // The start-up sequence: caption, position, initial contents, deferred load.
    setWindowTitle(programCaption());
    centreOnScreen();
    initialiseMainWindow();
    m_unsavedChanges = new UnsavedChanges(
        m_inventory->groups(), *m_scheduleTable, m_runner->datesWithoutEvents(),
        [this] {
            return SerialCommandSettings { m_serialCommandFrame->monitorOnCommand(),
                                           m_serialCommandFrame->monitorOffCommand(),
                                           m_serialCommandFrame->lineSettings() };
        },
        this);
    connect(m_unsavedChanges, &UnsavedChanges::hasChangesChanged, this, &frmMain::showCaption);
    connect(m_serialCommandFrame, &SerialCommandFrame::editedByHand, m_unsavedChanges,
            &UnsavedChanges::serialSettingsEdited);
    QCoreApplication::instance()->installEventFilter(this);
    m_startUpTimer->start();
}

frmMain::~frmMain()
{
    // The executor and the link go before the tables and the log they report to.
    delete m_executor;
    m_serialLink.reset();
}

// The panels are modal, with event loops of their own: the window's timers and the executor keep
// running meanwhile, so the schedule still fires on time.
void frmMain::connectPanelButtons()
{
    connect(findChild<QPushButton *>(u"btnLGLCD"_s), &QPushButton::clicked, this, [this] {
        auto *panel
            = new frmLGLCD(m_applicationFolder, LgPanelServices { *m_executor, *m_prompts, *m_busyPointer }, this);
        panel->setAttribute(Qt::WA_DeleteOnClose); // exec() deletes it on return, and the window owns it until then
        panel->exec();
    });
    connect(findChild<QPushButton *>(u"btnGeneralSerialCmd"_s), &QPushButton::clicked, this, [this] {
        frmCustomLCD panel(m_applicationFolder, *m_prompts, *m_busyPointer, this);
        panel.exec();
    });
    // "About Vantiro" on F1, which leaves the window's layout as it is.
    auto *about = new QAction(this);
    about->setShortcut(QKeySequence::HelpContents);
    addAction(about);
    connect(about, &QAction::triggered, this, [this] {
        AboutDialog box(m_applicationFolder, Autostart::forThisProgram(), *m_prompts, this);
        box.exec();
    });
    for (int index = 0; index < 2; ++index) {
        connect(findChild<QPushButton *>(u"btnHyundaiLCD_%1"_s.arg(index)), &QPushButton::clicked, this, [this, index] {
            auto *panel = new frmHyundaiLCD(*m_executor, *m_prompts, this);
            panel->panelModel = qint16(index); // 0: the Vvuon remote control, 1: the D525ML functions
            panel->setAttribute(Qt::WA_DeleteOnClose);
            panel->exec();
        });
    }
}

const QString &frmMain::settingsPath() const
{
    return m_settings->path();
}

void frmMain::centreOnScreen()
{
    // A screen too small for the whole window gets all of its free area; the middle part scrolls.
    if (!controls::fitOnScreen(this, preferredSize.expandedTo(sizeHint())))
        setWindowState(windowState() | Qt::WindowMaximized);
}

void frmMain::initialiseMainWindow()
{
    m_commands = ModelCommandSet::initial();
    m_serialCommandFrame->clearMonitorCommands();
    m_inventoryFrame->initialise(); // selects LG, which applies it
    m_serialCommandFrame->selectDefaults();
    m_scheduleTab->initialise();
    m_processTab->setUpPendingTable();
    findChild<QPushButton *>(u"btnStop"_s)->setEnabled(false);
}

void frmMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_columnsFitted) {
        m_columnsFitted = true;
        m_inventoryFrame->fitTableColumns();
    }
}

void frmMain::startUpTimerTick()
{
    m_startUpTimer->stop();
    if (m_settings->fileExists())
        loadSettings();
}

void frmMain::loadSettings()
{
    const SerialCommandSettings serial = m_settings->load();
    if (!m_settings->loadError().isEmpty()) {
        // Nothing was loaded, so the tables do not show what the file may hold: the operator has to
        // know before a save replaces it.
        statusMessage(u"Cannot read "_s + settingsPath() + u": "_s + m_settings->loadError());
        m_prompts->inform(u"The settings file cannot be read:\n%1\n\n%2\n\nNothing was loaded from it. Saving will ask "
                          "before replacing it."_s.arg(settingsPath(), m_settings->loadError()),
                          PromptIcon::Exclamation, u"Error"_s);
        return;
    }
    m_serialCommandFrame->showMonitorCommands(serial.monitorOn, serial.monitorOff);
    m_serialCommandFrame->showLineSettings(serial.lineSettings);
    m_unsavedChanges->markSaved();

    // A start with schedule rows comes up running the schedule, hidden in the tray.
    if (m_settings->loadedScheduleStarts()) {
        m_runner->run();
        hideToTray();
    }
}

std::optional<SaveResult> frmMain::writeSettings()
{
    // "No" is the default: Enter alone must not replace settings that were never shown.
    if (!m_settings->loadError().isEmpty()
        && !m_prompts->askYesNo(u"The settings file %1 could not be read when Vantiro started (%2), so the settings "
                                "shown may not be all it holds.\n\nReplace it with the settings shown?"_s.arg(
                                    settingsPath(), m_settings->loadError()),
                                applicationTitle, PromptAnswer::No))
        return std::nullopt;
    const SettingsSaveResult saved
        = m_settings->save({ m_serialCommandFrame->monitorOnCommand(), m_serialCommandFrame->monitorOffCommand(),
                             m_serialCommandFrame->lineSettings() });
    if (saved)
        m_unsavedChanges->markSaved();
    if (!saved.backupWarning.isEmpty())
        statusMessage(saved.backupWarning);
    return saved;
}

bool frmMain::saveSettings()
{
    const std::optional<SaveResult> saved = writeSettings();
    if (!saved)
        statusMessage(u"The unreadable settings file was kept: "_s + settingsPath());
    else if (!*saved)
        statusMessage(u"Cannot write "_s + settingsPath() + u": "_s + saved->error);
    return saved && *saved;
}

void frmMain::saveButtonClicked()
{
    const std::optional<SaveResult> saved = writeSettings();
    if (!saved)
        return; // the operator chose to keep the file
    if (*saved)
        m_prompts->inform(u"Settings saved."_s);
    else
        tellSaveFailure(*saved);
}

void frmMain::tellSaveFailure(const SaveResult &saved)
{
    m_prompts->inform(u"Failed saving the settings.\n\n"_s + saved.error, PromptIcon::Exclamation, u"Error"_s);
}

void frmMain::lockEditingFrames()
{
    m_serialCommandFrame->setEnabled(false);
    m_inventoryFrame->groupFrame()->setEnabled(false);
}

void frmMain::unlockEditingFrames()
{
    // A running schedule keeps them locked after its sends.
    if (m_runner->isRunning())
        return;
    m_serialCommandFrame->setEnabled(true);
    m_inventoryFrame->groupFrame()->setEnabled(true);
}

void frmMain::showRunning(bool running)
{
    for (const QString &name : { u"btnRun"_s, u"btnSave"_s, u"btnClose"_s })
        findChild<QPushButton *>(name)->setEnabled(!running);
    findChild<QPushButton *>(u"btnStop"_s)->setEnabled(running);
    m_serialCommandFrame->setEnabled(!running);
    m_inventoryFrame->groupFrame()->setEnabled(!running);
    m_scheduleTab->setEditingEnabled(!running);
    m_tabs->setCurrentIndex(running ? 1 : 0);
}

void frmMain::showClock(const QString &text)
{
    m_lblCurrentTime->setText(text);
}

QString frmMain::monitorOnText() const
{
    return m_serialCommandFrame->monitorOnCommand();
}

QString frmMain::monitorOffText() const
{
    return m_serialCommandFrame->monitorOffCommand();
}

void frmMain::focusVolumeBox()
{
    m_quickCommandFrame->focusVolumeBox();
}

SendSnapshot frmMain::sendSnapshot() const
{
    SendSnapshot snapshot;
    const TextTableModel &ports = m_inventory->ports();
    for (int row = 0; row < ports.rowCount(); ++row)
        snapshot.groupPorts.append({ ports.cell(row, portNumberColumn), ports.cell(row, portModelColumn) });
    snapshot.modelListText = m_inventoryFrame->modelListText();
    snapshot.comPortItems = m_inventoryFrame->comPortItems();
    snapshot.lineSettings = m_serialCommandFrame->lineSettings();
    return snapshot;
}

void frmMain::statusMessage(const QString &text)
{
    m_statusLog->statusMessage(text);
}

void frmMain::selectModelEntry(int index)
{
    m_inventoryFrame->selectModelEntry(index);
}

void frmMain::applyDisplayModel()
{
    const ModelChoice choice = chooseDisplayModel(m_commands, m_inventoryFrame->modelListText());
    m_serialCommandFrame->showModel(m_commands, choice.lineSettings);
    m_quickCommandFrame->setVolumeControlsEnabled(choice.volumeControlsEnabled);
    // The model's commands and line settings are the program's choice, not an edit to be saved.
    if (m_unsavedChanges)
        m_unsavedChanges->acceptSerialSettings();
}

void frmMain::hideToTray()
{
    if (!m_trayIcon->isAvailable()) {
        showMinimized();
        return;
    }
    m_trayIcon->showIcon();
    hide();
}

void frmMain::restoreFromTray()
{
    m_trayIcon->removeIcon();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void frmMain::restoreFromAnotherStart()
{
    restoreFromTray();
}

void frmMain::closeWithoutAsking()
{
    m_quitting = true;
    close();
}

void frmMain::showCaption()
{
    setWindowTitle((m_unsavedChanges->hasChanges() ? u"*"_s : QString()) + programCaption());
}

bool frmMain::mayClose()
{
    // A question at log-out or shutdown would hold the session up: the window closes unsaved there.
    if (!m_unsavedChanges->hasChanges() || m_quitting || qGuiApp->isSavingSession())
        return true;
    switch (m_prompts->askToSave(u"Save the changes to groups, ports and the schedule before closing?"_s)) {
    case PromptAnswer::Discard:
        return true;
    case PromptAnswer::Save:
        break;
    default:
        return false;
    }
    const std::optional<SaveResult> saved = writeSettings();
    if (!saved)
        return false; // the operator kept an unreadable file: the edits stay on screen
    if (!*saved)
        tellSaveFailure(*saved);
    return saved->ok;
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    // The application closes its windows while it handles the request to quit, and the request is
    // over once the event loop turns again.
    if (event->type() == QEvent::Quit && watched == QCoreApplication::instance() && !m_quitting) {
        m_quitting = true;
        QTimer::singleShot(0, this, [this] { m_quitting = false; });
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::closeEvent(QCloseEvent *event)
{
    if (!mayClose()) {
        event->ignore();
        return;
    }
    // Every way of closing ends the program.
    m_trayIcon->removeIcon();
    event->accept();
    emit programClosing();
    // A send in progress finishes first, so no display is left with half a command and no report is
    // cut short; the window is already gone meanwhile.
    if (m_executor->isRunning()) {
        connect(m_executor, &EventExecutor::idle, this, &frmMain::programEnding, Qt::SingleShotConnection);
        return;
    }
    emit programEnding();
}

} // namespace vantiro
