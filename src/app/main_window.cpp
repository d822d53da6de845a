#include "app/main_window.h"

#include "app/clock.h"
#include "app/qt_prompts.h"
#include "app/status_log.h"
#include "app/text_table_model.h"
#include "app/tray_icon.h"
#include "app/version.h"
#include "commands/quick_commands.h"
#include "inventory/inventory.h"
#include "inventory/settings_file.h"
#include "scheduler/event_executor.h"
#include "serial/serial_link.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QTreeView>

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

QTimer *makeTimer(QObject *parent, const QString &name, int intervalMs)
{
    auto *timer = new QTimer(parent);
    timer->setObjectName(name);
    timer->setInterval(intervalMs);
    return timer;
}

QList<TableColumn> sameKeyAndHeader(const QStringList &keys)
{
    QList<TableColumn> columns;
    for (const QString &key : keys)
        columns.append({ key, key });
    return columns;
}

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
    m_trayIcon = services.trayIcon ? services.trayIcon : new SystemTrayIcon(programIcon(), applicationTitle, this);
    connect(m_trayIcon, &TrayIcon::doubleClicked, this, &frmMain::restoreFromTray);

    m_statusLog = new StatusLog(*m_clock, QLocale::system(), this);
    m_inventory = new Inventory(*m_prompts, *m_busyPointer, this);
    m_groupTable = &m_inventory->groups();
    m_portTable = &m_inventory->ports();
    m_scheduleTable = new TextTableModel(sameKeyAndHeader({ u"Group"_s, u"Start Date"_s, u"End Date"_s, u"Start Time"_s,
                                                            u"End Time"_s, u"Days"_s, u"Function"_s }),
                                         this);
    m_pendingTable = new TextTableModel({ { u"Group"_s, u"Group"_s },
                                          { u"Start Date"_s, u"Start Date"_s },
                                          { u"End Date"_s, u"End Date"_s },
                                          { u"Start Time"_s, u"Start Time"_s },
                                          { u"End Time"_s, u"End Time"_s },
                                          { u"DaysOfWeek"_s, u"Days Of Week"_s },
                                          { u"MonitorsOnOff"_s, u"Function"_s } },
                                        this);

    m_startUpTimer = makeTimer(this, u"StartUpTimer"_s, 1);
    m_runClockTimer = makeTimer(this, u"RunClockTimer"_s, 1000);
    m_updateTimer = makeTimer(this, u"UpdateTimer"_s, 1000);
    connect(m_startUpTimer, &QTimer::timeout, this, &frmMain::startUpTimerTick);

    m_serialLink = std::make_unique<SerialLink>(PortMap(m_applicationFolder));
    m_executor
        = new EventExecutor(*this, m_handOff, m_commands,
                            EventExecutor::Services { *m_serialLink, *m_statusLog, *m_prompts, *m_busyPointer }, this);
    m_quickCommands = std::make_unique<QuickCommands>(m_commands, *m_portTable, m_handOff, *m_prompts);

    buildLayout();
    resize(1180, 820);

    connect(m_statusLog, &StatusLog::lineAppended, this, [this](int row) {
        const QModelIndex last = m_statusLog->index(row);
        m_lstMessage->setCurrentIndex(last);
        m_lstMessage->scrollTo(last);
    });
    connect(m_cboLCD, &QComboBox::currentIndexChanged, this, &frmMain::applyDisplayModel);
    connect(m_cboLCD, &QComboBox::activated, this, &frmMain::applyDisplayModel);
    connect(findChild<QPushButton *>(u"btnHide"_s), &QPushButton::clicked, this, &frmMain::hideToTray);
    connect(findChild<QPushButton *>(u"btnClose"_s), &QPushButton::clicked, this, &QWidget::close);
    connect(findChild<QPushButton *>(u"btnSave"_s), &QPushButton::clicked, this, &frmMain::saveButtonClicked);
    connectInventory();
    for (int i = 0; i < m_cmdCOMSend.size(); ++i)
        connect(m_cmdCOMSend.at(i), &QPushButton::clicked, this, [this, i] { runQuickCommand(i); });
    connect(m_txtVolume, &QLineEdit::textChanged, this, &frmMain::onVolumeTextChanged);
    m_txtVolume->installEventFilter(this);
    m_sldVolume->installEventFilter(this);

    // The start-up sequence: caption, position, settings file, initial contents, deferred load.
    setWindowTitle(programCaption());
    centreOnScreen();
    m_settingsPath = m_applicationFolder % u"/Settings.ini"_s;
    initialiseMainWindow();
    m_startUpTimer->start();
}

frmMain::~frmMain()
{
    // The executor and the link go before the tables and the log they report to.
    delete m_executor;
    m_serialLink.reset();
}

void frmMain::centreOnScreen()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    if (width() > available.width() || height() > available.height())
        resize(size().boundedTo(available.size()));
    move(available.left() + (available.width() - width()) / 2, available.top() + (available.height() - height()) / 2);
}

void frmMain::initialiseMainWindow()
{
    m_commands = ModelCommandSet::initial();
    m_txtMonitorOnCommand->clear();
    m_txtMonitorOffCommand->clear();

    {
        const QSignalBlocker quiet(m_cboLCD);
        m_cboLCD->clear();
        m_cboLCD->addItems(displayModelNames());
    }
    selectModelEntry(0);

    const QList<int> defaults { 0, 2, 1, 0 }; // 9600, "n", "8", "1"
    for (int i = 0; i < m_cbPortSet.size(); ++i)
        m_cbPortSet.at(i)->setCurrentIndex(defaults.at(i));

    m_txtCommPort->setText(u"1"_s);

    m_cboCOM->clear();
    for (int port = 1; port <= 40; ++port)
        m_cboCOM->addItem(QString::number(port));

    setUpGroupTables();

    for (QComboBox *start : { m_startHour, m_startMin, m_startSec })
        start->setCurrentIndex(0);
    for (QComboBox *end : { m_endHour, m_endMin, m_endSec })
        end->setCurrentIndex(end->count() - 1);

    m_cboMonitors->clear();
    m_cboMonitors->addItems({ u"Monitors ON"_s, u"Monitors OFF"_s, u"LG All Monitors ON"_s, u"LG All Monitors OFF"_s,
                              u"LG Auto Configuration"_s, u"LG Auto Configuration All"_s, u"OLEVIA All Monitors ON"_s,
                              u"OLEVIA All Monitors OFF"_s, u"HYUNDAI All Monitors ON"_s,
                              u"HYUNDAI All Monitors OFF"_s });
    m_cboMonitors->setCurrentIndex(-1);

    setUpPendingTable();

    m_fraAtt->setEnabled(false);
    findChild<QPushButton *>(u"btnStop"_s)->setEnabled(false);
}

void frmMain::setUpGroupTables()
{
    m_groupTable->clear();
    m_portTable->clear();
    fitTableColumns();
}

void frmMain::fitTableColumns()
{
    // Name and note share the group table's width; the packed ports follow in the last column.
    const int groupWidth = m_iGroup->viewport()->width();
    for (int column = 0; column < 2; ++column)
        m_iGroup->setColumnWidth(column, std::max(groupWidth / 3 - 10, 60));
    const int portWidth = m_iPort->viewport()->width();
    for (int column = 0; column < 3; ++column)
        m_iPort->setColumnWidth(column, std::max(portWidth / 3 - 10, 60));
}

void frmMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_columnsFitted) {
        m_columnsFitted = true;
        fitTableColumns();
    }
}

void frmMain::setUpPendingTable()
{
    m_pendingTable->clear();
    m_iPend->resizeColumnsToContents();
}

void frmMain::startUpTimerTick()
{
    m_startUpTimer->stop();
    if (QFileInfo(m_settingsPath).isFile())
        loadSettings();
}

void frmMain::loadSettings()
{
    const SettingsContents contents = [this] {
        BusyScope busy(*m_busyPointer);
        return loadSettingsFile(m_settingsPath);
    }();

    const SerialCommandSettings &serial = contents.serial;
    if (serial.monitorOn)
        m_txtMonitorOnCommand->setText(*serial.monitorOn);
    if (serial.monitorOff)
        m_txtMonitorOffCommand->setText(*serial.monitorOff);
    const QList<std::optional<QString>> lineSettings { serial.baudRate, serial.parity, serial.dataBits,
                                                       serial.stopBits };
    for (int i = 0; i < m_cbPortSet.size(); ++i) {
        if (!lineSettings.at(i))
            continue;
        // A value the list does not offer is shown as typed, so a save writes it back unchanged.
        QComboBox *list = m_cbPortSet.at(i);
        const int entry = list->findText(*lineSettings.at(i));
        if (entry >= 0)
            list->setCurrentIndex(entry);
        else
            list->setEditText(*lineSettings.at(i));
    }

    if (contents.groupRows)
        m_inventory->loadGroups(*contents.groupRows);
    if (contents.scheduleRows)
        m_scheduleTable->replaceRows(*contents.scheduleRows);

    // A start with schedule rows comes up running the schedule, hidden in the tray.
    if (m_scheduleTable->rowCount() > 0 && startLoadedSchedule())
        hideToTray();
}

bool frmMain::startLoadedSchedule()
{
    // The schedule runner is not part of the program yet; until it is, a loaded schedule only shows.
    return false;
}

bool frmMain::saveSettings()
{
    BusyScope busy(*m_busyPointer);
    SettingsContents contents;
    contents.serial.monitorOn = m_txtMonitorOnCommand->text().trimmed();
    contents.serial.monitorOff = m_txtMonitorOffCommand->text().trimmed();
    contents.serial.baudRate = m_cbPortSet.at(0)->currentText().trimmed();
    contents.serial.parity = m_cbPortSet.at(1)->currentText().trimmed();
    contents.serial.dataBits = m_cbPortSet.at(2)->currentText().trimmed();
    contents.serial.stopBits = m_cbPortSet.at(3)->currentText().trimmed();
    contents.groupRows = m_inventory->groupRows();
    contents.scheduleRows = m_scheduleTable->allRows();
    return saveSettingsFile(m_settingsPath, contents).ok;
}

void frmMain::saveButtonClicked()
{
    if (saveSettings())
        m_prompts->inform(u"Settings saved."_s);
    else
        m_prompts->inform(u"Failed saving the settings."_s, PromptIcon::Exclamation, u"Error"_s);
}

void frmMain::connectInventory()
{
    connect(findChild<QPushButton *>(u"btnAddGroup"_s), &QPushButton::clicked, m_inventory, &Inventory::addGroup);
    connect(findChild<QPushButton *>(u"btnRemoveGroup"_s), &QPushButton::clicked, m_inventory, &Inventory::removeGroup);
    connect(findChild<QPushButton *>(u"btnAddCOM"_s), &QPushButton::clicked, this,
            [this] { m_inventory->addPort(portEditorTexts()); });
    connect(findChild<QPushButton *>(u"btnEditCOM"_s), &QPushButton::clicked, this,
            [this] { m_inventory->updatePort(portEditorTexts()); });
    connect(findChild<QPushButton *>(u"cmdRemoveCOM"_s), &QPushButton::clicked, m_inventory, &Inventory::removePort);

    connect(m_iGroup->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) { m_inventory->currentGroupChanged(current.row() + 1); });
    connect(m_iPort->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) { m_inventory->currentPortChanged(current.row() + 1); });
    connect(m_iPort, &QTableView::clicked, this,
            [this](const QModelIndex &index) { m_inventory->portRowClicked(index.row() + 1); });

    connect(m_inventory, &Inventory::groupRowMadeCurrent, this, [this](int groupRow) {
        if (groupRow < 1) {
            m_iGroup->selectionModel()->clear();
            return;
        }
        m_iGroup->setCurrentIndex(m_groupTable->index(groupRow - 1, 0));
        m_iGroup->setFocus();
    });
    connect(m_inventory, &Inventory::portSelectionCleared, this, [this] { m_iPort->selectionModel()->clear(); });
    connect(m_inventory, &Inventory::portEditorFilled, this,
            [this](const QString &port, int modelEntry, const QString &note) {
                selectModelEntry(modelEntry);
                m_cboCOM->setEditText(port);
                m_txtNote->setText(note);
            });
}

PortEditorTexts frmMain::portEditorTexts() const
{
    return PortEditorTexts { m_cboCOM->currentText(), m_cboLCD->currentText(), m_txtNote->text() };
}

void frmMain::runQuickCommand(int index)
{
    if (m_quickCommands->dispatch(index, m_txtVolume->text()))
        m_executor->scheduleExecution();
}

void frmMain::onVolumeTextChanged(const QString &text)
{
    const VolumeTextRule rule = volumeTextChanged(text);
    if (rule.correctedText) {
        m_txtVolume->setText(*rule.correctedText); // comes back here once with the corrected text
        return;
    }
    m_sldVolume->setValue(rule.sliderValue);
}

void frmMain::sendSliderVolume()
{
    m_txtVolume->setText(QString::number(m_sldVolume->value()));
    runQuickCommand(int(QuickCommand::SetVolume));
}

bool frmMain::filterVolumeKey(const QKeyEvent &key)
{
    // Cursor movement, Delete and the editing shortcuts (copy, paste, undo) are not typed characters;
    // a pasted value still passes the volume rules when the text changes.
    if (key.text().isEmpty() || key.key() == Qt::Key_Delete || key.modifiers().testFlag(Qt::ControlModifier))
        return false;
    switch (volumeKeyAction(key.text().at(0).unicode())) {
    case VolumeKey::Pass:
        return false;
    case VolumeKey::Send:
        runQuickCommand(int(QuickCommand::SetVolume));
        return true;
    case VolumeKey::Discard:
        return true;
    }
    return true;
}

void frmMain::lockEditingFrames()
{
    m_fraSerialCommand->setEnabled(false);
    m_fraGroup->setEnabled(false);
}

void frmMain::unlockEditingFrames()
{
    m_fraSerialCommand->setEnabled(true);
    m_fraGroup->setEnabled(true);
}

const TextTableModel &frmMain::portTable() const
{
    return *m_portTable;
}

QString frmMain::displayModelText() const
{
    return m_cboLCD->currentText();
}

QStringList frmMain::comPortItems() const
{
    QStringList items;
    for (int i = 0; i < m_cboCOM->count(); ++i)
        items << m_cboCOM->itemText(i);
    return items;
}

LineSettingsTexts frmMain::lineSettingsTexts() const
{
    return LineSettingsTexts { m_cbPortSet.at(0)->currentText(), m_cbPortSet.at(1)->currentText(),
                               m_cbPortSet.at(2)->currentText(), m_cbPortSet.at(3)->currentText() };
}

void frmMain::focusVolumeBox()
{
    m_txtVolume->selectAll();
    m_txtVolume->setFocus();
}

void frmMain::statusMessage(const QString &text)
{
    m_statusLog->statusMessage(text);
}

void frmMain::selectModelEntry(int index)
{
    if (m_cboLCD->currentIndex() == index) {
        applyDisplayModel();
        return;
    }
    m_cboLCD->setCurrentIndex(index); // applies through the list's change notification
}

void frmMain::applyDisplayModel()
{
    const ModelChoice choice = chooseDisplayModel(m_commands, m_cboLCD->currentText());
    m_txtMonitorOnCommand->setText(m_commands.powerOnCommand);
    m_txtMonitorOffCommand->setText(m_commands.powerOffCommand);

    const LineSettingsSelection &lines = choice.lineSettings;
    const QList<int> entries { lines.baudIndex, lines.parityIndex, lines.dataBitsIndex, lines.stopBitsIndex };
    for (int i = 0; i < m_cbPortSet.size(); ++i)
        m_cbPortSet.at(i)->setCurrentIndex(entries.at(i));
    m_commands.modelBaudRate = m_cbPortSet.at(0)->currentText();
    m_commands.modelParity = m_cbPortSet.at(1)->currentText();
    m_commands.modelDataBits = m_cbPortSet.at(2)->currentText();
    m_commands.modelStopBits = m_cbPortSet.at(3)->currentText();

    m_fraVolume->setEnabled(choice.volumeControlsEnabled);
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

void frmMain::closeEvent(QCloseEvent *event)
{
    // Every way of closing ends the program; nothing is asked or saved.
    m_trayIcon->removeIcon();
    event->accept();
    // A send in progress finishes first, so no display is left with half a command and no report is
    // cut short; the window is already gone meanwhile.
    if (m_executor->isRunning()) {
        connect(m_executor, &EventExecutor::idle, this, &frmMain::programEnding, Qt::SingleShotConnection);
        return;
    }
    emit programEnding();
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_cboLCD && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (!key->text().isEmpty() && key->text().at(0).isPrint())
            return true;
    }
    if (watched == m_txtVolume && event->type() == QEvent::KeyPress)
        return filterVolumeKey(*static_cast<QKeyEvent *>(event));
    // A disabled slider still sees the release; it must not send.
    if (watched == m_sldVolume && event->type() == QEvent::MouseButtonRelease && m_sldVolume->isEnabled()) {
        // After the slider has taken the release, so the value sent is the one it shows.
        QTimer::singleShot(0, this, &frmMain::sendSliderVolume);
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace vantiro
