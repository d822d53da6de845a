#include "scheduler/schedule_tab.h"

#include "common/controls.h"
#include "common/text_table_model.h"
#include "scheduler/schedule_table.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using namespace vantiro::controls;

namespace vantiro {

namespace {

const QString rowHint = u"Click each row to edit the attributes for the set"_s;

QStringList twoDigitNumbers(int count)
{
    QStringList numbers;
    for (int i = 0; i < count; ++i)
        numbers << u"%1"_s.arg(i, 2, 10, QLatin1Char('0'));
    return numbers;
}

QPushButton *dateButton(const QString &name, const QString &accessibleName)
{
    auto *picker = button(name, u"…"_s);
    picker->setToolTip(u"Pick the date from a calendar"_s);
    picker->setAccessibleName(accessibleName);
    picker->setMaximumWidth(picker->fontMetrics().horizontalAdvance(u"……"_s) + 16);
    return picker;
}

QLabel *labelFor(const QString &caption, QWidget *buddy)
{
    auto *label = new QLabel(caption);
    label->setBuddy(buddy);
    return label;
}

} // namespace

ScheduleTab::ScheduleTab(TextTableModel &schedule, QWidget *calendarHost, QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QGridLayout(this);

    m_lvScheduler = named(new QTreeView, u"lvScheduler"_s);
    m_lvScheduler->setModel(&schedule);
    m_lvScheduler->setAccessibleName(u"Schedule"_s);
    m_lvScheduler->setRootIsDecorated(false);
    m_lvScheduler->setItemsExpandable(false);
    m_lvScheduler->setUniformRowHeights(true);
    m_lvScheduler->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_lvScheduler->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_lvScheduler->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_lvScheduler->setToolTip(rowHint);

    auto *scheduler = named(new QGroupBox(u"Scheduler"_s), u"fraScheduler"_s);
    auto *schedulerButtons = new QHBoxLayout(scheduler);
    schedulerButtons->addWidget(button(u"btnAddSchGroup"_s, u"Add Group to Schedule"_s));
    schedulerButtons->addWidget(button(u"btnRemoveSchGroup"_s, u"Remove Schedule Group"_s));
    schedulerButtons->addWidget(named(new QLabel(rowHint), u"lblSchedulerHint"_s), 1);
    layout->addWidget(scheduler, 0, 0, 1, 2);
    layout->addWidget(m_lvScheduler, 1, 0);
    layout->addWidget(buildAttributeFrame(calendarHost), 1, 1);
    layout->setColumnStretch(0, 3);
    layout->setColumnStretch(1, 2);
}

QGroupBox *ScheduleTab::buildAttributeFrame(QWidget *calendarHost)
{
    m_fraAtt = named(new QGroupBox(u"Set Event Attributes "_s), u"fraAtt"_s);
    auto *layout = new QGridLayout(m_fraAtt);

    auto *startDate = named(new QLineEdit, u"StartDate"_s);
    auto *endDate = named(new QLineEdit, u"EndDate"_s);
    layout->addWidget(labelFor(u"Start Date:"_s, startDate), 0, 0);
    layout->addWidget(startDate, 0, 1);
    layout->addWidget(dateButton(u"btnCalStart"_s, u"Pick the start date"_s), 0, 2);
    layout->addWidget(labelFor(u"End Date:"_s, endDate), 0, 3);
    layout->addWidget(endDate, 0, 4);
    layout->addWidget(dateButton(u"btnCalEnd"_s, u"Pick the end date"_s), 0, 5);

    m_startHour = comboBox(u"StartHour"_s, twoDigitNumbers(24), true);
    m_startMin = comboBox(u"StartMin"_s, twoDigitNumbers(60), true);
    m_startSec = comboBox(u"StartSec"_s, twoDigitNumbers(60), true);
    m_startHour->setAccessibleName(u"Hour"_s);
    m_startMin->setAccessibleName(u"Minute"_s);
    m_startSec->setAccessibleName(u"Second"_s);
    auto *time = new QHBoxLayout;
    time->addWidget(m_startHour);
    time->addWidget(new QLabel(u":"_s));
    time->addWidget(m_startMin);
    time->addWidget(new QLabel(u":"_s));
    time->addWidget(m_startSec);
    time->addStretch();
    layout->addWidget(labelFor(u"Time:"_s, m_startHour), 1, 0);
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
    QWidget *firstDay = nullptr;
    for (int i = 0; i < captions.size(); ++i) {
        auto *day = named(new QCheckBox(captions.at(i)), arrayName(u"CheckDay"_s, i));
        firstDay = firstDay ? firstDay : day;
        days->addWidget(day);
    }
    days->addStretch();
    layout->addWidget(labelFor(u"Days:"_s, firstDay), 2, 0);
    layout->addLayout(days, 2, 1, 1, 5);

    m_cboMonitors = comboBox(u"cboMonitors"_s, {}, true);
    layout->addWidget(labelFor(u"Function:"_s, m_cboMonitors), 3, 0);
    layout->addWidget(m_cboMonitors, 3, 1, 1, 3);
    layout->addWidget(button(u"btnSetSchGroupAtt"_s, u"Set Attributes"_s), 3, 4, 1, 2);
    layout->setColumnStretch(1, 1);
    layout->setColumnStretch(4, 1);

    // The date picker floats over the window and is shown by the two date buttons.
    auto *picCalendar = named(new QWidget(calendarHost), u"picCalendar"_s);
    auto *pickerLayout = new QVBoxLayout(picCalendar);
    pickerLayout->setContentsMargins(0, 0, 0, 0);
    pickerLayout->addWidget(named(new QCalendarWidget, u"Calendar1"_s));
    picCalendar->setAutoFillBackground(true);
    picCalendar->hide();
    return m_fraAtt;
}

void ScheduleTab::initialise()
{
    for (QComboBox *start : { m_startHour, m_startMin, m_startSec })
        start->setCurrentIndex(0);
    for (QComboBox *end : { m_endHour, m_endMin, m_endSec })
        end->setCurrentIndex(end->count() - 1);

    m_cboMonitors->clear();
    m_cboMonitors->addItems(scheduleFunctionNames());
    m_cboMonitors->setCurrentIndex(-1);

    m_fraAtt->setEnabled(false);
}

} // namespace vantiro
