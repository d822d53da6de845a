// The main window's controls and their arrangement. Names are the objectNames the rules and the
// tests look controls up by; control arrays are named name_index.
#include "app/main_window.h"
#include "app/status_log.h"
#include "app/text_table_model.h"
#include "commands/display_models.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTableView>
#include <QTreeView>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

template<typename Widget> Widget *named(Widget *widget, const QString &name)
{
    widget->setObjectName(name);
    return widget;
}

QString arrayName(const QString &name, int index)
{
    return name % u'_' % QString::number(index);
}

QPushButton *button(const QString &name, const QString &caption)
{
    return named(new QPushButton(caption), name);
}

QComboBox *comboBox(const QString &name, const QStringList &items, bool editable)
{
    auto *box = named(new QComboBox, name);
    box->setEditable(editable);
    // Typed text is used as it stands; it never becomes an entry (the ALL commands send to every entry).
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItems(items);
    return box;
}

QStringList twoDigitNumbers(int count)
{
    QStringList numbers;
    for (int i = 0; i < count; ++i)
        numbers << u"%1"_s.arg(i, 2, 10, QLatin1Char('0'));
    return numbers;
}

QPushButton *dateButton(const QString &name)
{
    auto *picker = button(name, u"…"_s);
    picker->setToolTip(u"Pick the date from a calendar"_s);
    picker->setMaximumWidth(picker->fontMetrics().horizontalAdvance(u"……"_s) + 16);
    return picker;
}

QTableView *grid(const QString &name, TextTableModel *model)
{
    auto *view = named(new QTableView, name);
    view->setModel(model);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setAlternatingRowColors(true);
    view->verticalHeader()->setVisible(false);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->horizontalHeader()->setStretchLastSection(true);
    return view;
}

} // namespace

void frmMain::buildLayout()
{
    auto *central = new QWidget;
    auto *layout = new QGridLayout(central);
    layout->addWidget(buildTopButtons(), 0, 0, 1, 2);

    auto *left = new QVBoxLayout;
    left->addWidget(buildSerialCommandFrame());
    left->addWidget(buildGroupFrame(), 1);
    layout->addLayout(left, 1, 0);
    layout->addWidget(buildComSettingsFrame(), 1, 1);

    layout->addWidget(buildTabs(), 2, 0, 1, 2);
    layout->addWidget(buildBottomBar(), 3, 0, 1, 2);
    layout->setColumnStretch(0, 1);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(1, 3);
    layout->setRowStretch(2, 2);
    setCentralWidget(central);
}

QWidget *frmMain::buildTopButtons()
{
    auto *bar = new QWidget;
    auto *layout = new QHBoxLayout(bar);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(button(arrayName(u"btnHyundaiLCD"_s, 0), u"Hyundai  Vvuon LCD Instant Serial Commands"_s));
    layout->addWidget(button(arrayName(u"btnHyundaiLCD"_s, 1), u"Hyundai D525ML LCD Instant Serial Commands"_s));
    layout->addWidget(button(u"btnLGLCD"_s, u"LG LCD  Instant Serial Commands"_s));
    layout->addWidget(button(u"btnGeneralSerialCmd"_s, u"Custom LCD Instant Serial Commands"_s));
    return bar;
}

QGroupBox *frmMain::buildSerialCommandFrame()
{
    m_fraSerialCommand = named(new QGroupBox(u"Serial Command Port Settings"_s), u"fraSerialCommand"_s);
    auto *form = new QGridLayout(m_fraSerialCommand);

    m_txtCommPort = named(new QLineEdit, u"TxtCommPort"_s);
    form->addWidget(new QLabel(u"CommPort:"_s), 0, 0);
    form->addWidget(m_txtCommPort, 0, 1);

    const QStringList labels { u"Baud:"_s, u"Parity:"_s, u"Data Bits:"_s, u"Stop Bits:"_s };
    const QList<QStringList> items { baudRateItems(), parityItems(), dataBitsItems(), stopBitsItems() };
    for (int i = 0; i < 4; ++i) {
        // Editable, so a value not offered by the list can still be typed (and is saved as typed).
        auto *list = comboBox(arrayName(u"CbPortSet"_s, i), items.at(i), true);
        m_cbPortSet.append(list);
        const int row = 1 + i / 2;
        const int column = (i % 2) * 2;
        form->addWidget(new QLabel(labels.at(i)), row, column);
        form->addWidget(list, row, column + 1);
    }

    m_txtMonitorOnCommand = named(new QLineEdit, u"txtMonitorOnCommand"_s);
    m_txtMonitorOffCommand = named(new QLineEdit, u"txtMonitorOffCommand"_s);
    form->addWidget(new QLabel(u"Monitor ON:"_s), 3, 0);
    form->addWidget(m_txtMonitorOnCommand, 3, 1, 1, 3);
    form->addWidget(new QLabel(u"Monitor OFF:"_s), 4, 0);
    form->addWidget(m_txtMonitorOffCommand, 4, 1, 1, 3);
    form->setColumnStretch(1, 1);
    form->setColumnStretch(3, 1);
    return m_fraSerialCommand;
}

QGroupBox *frmMain::buildGroupFrame()
{
    m_fraGroup = named(new QGroupBox(u"Group Settings"_s), u"fraGroup"_s);
    auto *layout = new QGridLayout(m_fraGroup);

    m_iGroup = grid(u"iGroup"_s, m_groupTable);
    m_iGroup->setMinimumHeight(m_iGroup->verticalHeader()->defaultSectionSize() * 5);
    layout->addWidget(m_iGroup, 0, 0, 1, 2);
    auto *groupButtons = new QHBoxLayout;
    groupButtons->addWidget(button(u"btnAddGroup"_s, u"Add"_s));
    groupButtons->addWidget(button(u"btnRemoveGroup"_s, u"Remove"_s));
    groupButtons->addStretch();
    layout->addLayout(groupButtons, 1, 0, 1, 2);

    m_fraVolume = named(new QGroupBox(u"Volume Controls"_s), u"fraVolume"_s);
    auto *volume = new QGridLayout(m_fraVolume);
    m_txtVolume = named(new QLineEdit, u"txtVolume"_s);
    m_txtVolume->setMaximumWidth(m_txtVolume->fontMetrics().horizontalAdvance(u"00000"_s) + 12);
    m_sldVolume = named(new QSlider(Qt::Horizontal), u"sldVolume"_s);
    m_sldVolume->setRange(0, 100);
    m_sldVolume->setSingleStep(1);
    m_sldVolume->setPageStep(5);
    volume->addWidget(m_txtVolume, 0, 0);
    volume->addWidget(m_sldVolume, 0, 1, 1, 2);
    volume->addWidget(makeQuickCommandButton(6, u"Set Volume"_s), 1, 0);
    volume->addWidget(makeQuickCommandButton(4, u"Mute ON"_s), 1, 1);
    volume->addWidget(makeQuickCommandButton(5, u"Mute OFF"_s), 1, 2);
    layout->addWidget(m_fraVolume, 2, 0);

    auto *allMonitors = named(new QGroupBox(u"All Monitors"_s), u"fraAllMonitors"_s);
    auto *all = new QVBoxLayout(allMonitors);
    all->addWidget(makeQuickCommandButton(8, u"Auto Config ALL"_s));
    all->addWidget(makeQuickCommandButton(2, u"Monitors ALL ON"_s));
    all->addWidget(makeQuickCommandButton(3, u"Monitors ALL OFF"_s));
    layout->addWidget(allMonitors, 2, 1);
    layout->setRowStretch(0, 1);
    return m_fraGroup;
}

QGroupBox *frmMain::buildComSettingsFrame()
{
    auto *frame = named(new QGroupBox(u"COM Settings"_s), u"fraCOMSettings"_s);
    auto *layout = new QGridLayout(frame);

    m_iPort = grid(u"iPort"_s, m_portTable);
    layout->addWidget(m_iPort, 0, 0, 1, 3);
    layout->addWidget(makeQuickCommandButton(0, u"Monitors ON"_s), 1, 0);
    layout->addWidget(makeQuickCommandButton(1, u"Monitors OFF"_s), 1, 1);
    layout->addWidget(makeQuickCommandButton(7, u"Auto Config"_s), 1, 2);

    auto *portFrame = named(new QGroupBox(u"COM Setting"_s), u"fraPort"_s);
    auto *editor = new QGridLayout(portFrame);
    m_cboCOM = comboBox(u"cboCOM"_s, {}, true);
    m_cboLCD = comboBox(u"cboLCD"_s, {}, false);
    // The model is chosen from the list only: typed characters never reach it.
    m_cboLCD->installEventFilter(this);
    m_txtNote = named(new QLineEdit, u"txtNote"_s);
    editor->addWidget(new QLabel(u"Port:"_s), 0, 0);
    editor->addWidget(m_cboCOM, 0, 1);
    editor->addWidget(new QLabel(u"LCD:"_s), 0, 2);
    editor->addWidget(m_cboLCD, 0, 3);
    editor->addWidget(new QLabel(u"Your Note:"_s), 1, 0);
    editor->addWidget(m_txtNote, 1, 1, 1, 3);
    auto *portButtons = new QHBoxLayout;
    portButtons->addWidget(button(u"btnAddCOM"_s, u"Add"_s));
    portButtons->addWidget(button(u"btnEditCOM"_s, u"Update"_s));
    portButtons->addWidget(button(u"cmdRemoveCOM"_s, u"Remove"_s));
    editor->addLayout(portButtons, 2, 0, 1, 4);
    editor->setColumnStretch(1, 1);
    editor->setColumnStretch(3, 2);
    layout->addWidget(portFrame, 2, 0, 1, 3);
    layout->setRowStretch(0, 1);
    return frame;
}

QPushButton *frmMain::makeQuickCommandButton(int index, const QString &caption)
{
    if (m_cmdCOMSend.size() <= index)
        m_cmdCOMSend.resize(index + 1);
    auto *quick = button(arrayName(u"cmdCOMSend"_s, index), caption);
    m_cmdCOMSend[index] = quick;
    return quick;
}

QTabWidget *frmMain::buildTabs()
{
    m_tabs = named(new QTabWidget, u"SSTab1"_s);
    m_tabs->addTab(buildScheduleTab(), u"Schedule"_s);
    m_tabs->addTab(buildProcessTab(), u"Process"_s);
    return m_tabs;
}

QWidget *frmMain::buildScheduleTab()
{
    auto *tab = new QWidget;
    auto *layout = new QGridLayout(tab);

    m_lvScheduler = named(new QTreeView, u"lvScheduler"_s);
    m_lvScheduler->setModel(m_scheduleTable);
    m_lvScheduler->setRootIsDecorated(false);
    m_lvScheduler->setItemsExpandable(false);
    m_lvScheduler->setUniformRowHeights(true);
    m_lvScheduler->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_lvScheduler->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_lvScheduler->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_lvScheduler->setToolTip(u"Click each row to edit the attributes for the set"_s);

    auto *scheduler = named(new QGroupBox(u"Scheduler"_s), u"fraScheduler"_s);
    auto *schedulerButtons = new QHBoxLayout(scheduler);
    schedulerButtons->addWidget(button(u"btnAddSchGroup"_s, u"Add Group to Schedule"_s));
    schedulerButtons->addWidget(button(u"btnRemoveSchGroup"_s, u"Remove Schedule Group"_s));
    schedulerButtons->addWidget(
        named(new QLabel(u"Click each row to edit the attributes for the set"_s), u"lblSchedulerHint"_s), 1);
    layout->addWidget(scheduler, 0, 0, 1, 2);
    layout->addWidget(m_lvScheduler, 1, 0);
    layout->addWidget(buildAttributeFrame(), 1, 1);
    layout->setColumnStretch(0, 3);
    layout->setColumnStretch(1, 2);
    return tab;
}

QGroupBox *frmMain::buildAttributeFrame()
{
    m_fraAtt = named(new QGroupBox(u"Set Event Attributes "_s), u"fraAtt"_s);
    auto *layout = new QGridLayout(m_fraAtt);

    layout->addWidget(new QLabel(u"Start Date:"_s), 0, 0);
    layout->addWidget(named(new QLineEdit, u"StartDate"_s), 0, 1);
    layout->addWidget(dateButton(u"btnCalStart"_s), 0, 2);
    layout->addWidget(new QLabel(u"End Date:"_s), 0, 3);
    layout->addWidget(named(new QLineEdit, u"EndDate"_s), 0, 4);
    layout->addWidget(dateButton(u"btnCalEnd"_s), 0, 5);

    m_startHour = comboBox(u"StartHour"_s, twoDigitNumbers(24), true);
    m_startMin = comboBox(u"StartMin"_s, twoDigitNumbers(60), true);
    m_startSec = comboBox(u"StartSec"_s, twoDigitNumbers(60), true);
    auto *time = new QHBoxLayout;
    time->addWidget(m_startHour);
    time->addWidget(new QLabel(u":"_s));
    time->addWidget(m_startMin);
    time->addWidget(new QLabel(u":"_s));
    time->addWidget(m_startSec);
    time->addStretch();
    layout->addWidget(new QLabel(u"Time:"_s), 1, 0);
    layout->addLayout(time, 1, 1, 1, 5);

    // The end of an entry always equals its start; these only carry a loaded row's end time.
    auto *endLabel = named(new QLabel(u"End:"_s), u"lblEnd"_s);
    m_endHour = comboBox(u"EndHour"_s, twoDigitNumbers(24), true);
    m_endMin = comboBox(u"EndMin"_s, twoDigitNumbers(60), true);
    m_endSec = comboBox(u"EndSec"_s, twoDigitNumbers(60), true);
    for (QWidget *hidden : std::initializer_list<QWidget *> { endLabel, m_endHour, m_endMin, m_endSec }) {
        hidden->setParent(m_fraAtt);
        hidden->hide();
    }

    auto *days = new QHBoxLayout;
    const QStringList captions { u"Sun"_s, u"Mon"_s, u"Tue"_s, u"Wed"_s, u"Thu"_s, u"Fri"_s, u"Sat"_s };
    for (int i = 0; i < captions.size(); ++i)
        days->addWidget(named(new QCheckBox(captions.at(i)), arrayName(u"CheckDay"_s, i)));
    days->addStretch();
    layout->addWidget(new QLabel(u"Days:"_s), 2, 0);
    layout->addLayout(days, 2, 1, 1, 5);

    m_cboMonitors = comboBox(u"cboMonitors"_s, {}, true);
    layout->addWidget(new QLabel(u"Function:"_s), 3, 0);
    layout->addWidget(m_cboMonitors, 3, 1, 1, 3);
    layout->addWidget(button(u"btnSetSchGroupAtt"_s, u"Set Attributes"_s), 3, 4, 1, 2);
    layout->setColumnStretch(1, 1);
    layout->setColumnStretch(4, 1);

    // The date picker floats over the window and is shown by the two date buttons.
    m_picCalendar = named(new QWidget(this), u"picCalendar"_s);
    auto *pickerLayout = new QVBoxLayout(m_picCalendar);
    pickerLayout->setContentsMargins(0, 0, 0, 0);
    pickerLayout->addWidget(named(new QCalendarWidget, u"Calendar1"_s));
    m_picCalendar->setAutoFillBackground(true);
    m_picCalendar->hide();
    return m_fraAtt;
}

QWidget *frmMain::buildProcessTab()
{
    auto *tab = new QWidget;
    auto *layout = new QHBoxLayout(tab);
    m_lstMessage = named(new QListView, u"lstMessage"_s);
    m_lstMessage->setModel(m_statusLog);
    m_lstMessage->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_lstMessage->setUniformItemSizes(true);
    m_iPend = grid(u"iPend"_s, m_pendingTable);
    layout->addWidget(m_lstMessage, 3);
    layout->addWidget(m_iPend, 2);
    return tab;
}

QWidget *frmMain::buildBottomBar()
{
    auto *bar = new QWidget;
    auto *layout = new QHBoxLayout(bar);
    layout->setContentsMargins(0, 0, 0, 0);
    m_lblCurrentTime = named(new QLabel, u"lblCurrentTime"_s);
    m_lblCurrentTime->setMinimumWidth(m_lblCurrentTime->fontMetrics().horizontalAdvance(u"00:00:00"_s) + 8);
    layout->addWidget(m_lblCurrentTime);
    layout->addStretch();
    layout->addWidget(button(u"btnRun"_s, u"Run"_s));
    layout->addWidget(button(u"btnStop"_s, u"Stop"_s));
    layout->addWidget(button(u"btnSave"_s, u"Save"_s));
    layout->addWidget(button(u"btnClose"_s, u"Close"_s));
    layout->addWidget(button(u"btnHide"_s, u"Systray"_s));
    return bar;
}

} // namespace vantiro
