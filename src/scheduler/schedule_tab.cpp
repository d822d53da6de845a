#include "scheduler/schedule_tab.h"

#include "common/clock.h"
#include "common/controls.h"
#include "common/prompts.h"
#include "common/text_table_model.h"
#include "inventory/inventory.h"
#include "scheduler/calendar_export.h"
#include "scheduler/schedule_table.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QTimeZone>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QStyle>
#include <QTimer>
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

// The schedule as the list shows it: each row's tooltip tells its next firings, worked out when the
// tooltip is asked for, so it always agrees with the clock.
class ScheduleListModel : public QIdentityProxyModel
{
public:
    ScheduleListModel(TextTableModel &schedule, const TextTableModel &dates, const Clock &clock, QObject *parent)
        : QIdentityProxyModel(parent)
        , m_schedule(schedule)
        , m_dates(dates)
        , m_clock(clock)
    {
        setSourceModel(&schedule);
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role == Qt::ToolTipRole && index.isValid())
            return rowFiringsText(m_schedule.rowCells(index.row()), m_clock.now(),
                                  DatesWithoutEvents::fromRows(m_dates.allRows()));
        return QIdentityProxyModel::data(index, role);
    }

private:
    TextTableModel &m_schedule;
    const TextTableModel &m_dates;
    const Clock &m_clock;
};

} // namespace

ScheduleTab::ScheduleTab(TextTableModel &schedule, TextTableModel &datesWithoutEvents, const Inventory &inventory,
                         Prompts &prompts, const Clock &clock, QWidget *calendarHost, QWidget *parent)
    : QWidget(parent)
    , m_schedule(schedule)
    , m_dates(datesWithoutEvents)
    , m_inventory(inventory)
    , m_prompts(prompts)
    , m_clock(clock)
    , m_choosePath(fileDialogSavePath())
{
    auto *layout = new QGridLayout(this);

    m_lvScheduler = named(new QTreeView, u"lvScheduler"_s);
    m_lvScheduler->setModel(new ScheduleListModel(schedule, datesWithoutEvents, clock, this));
    m_lvScheduler->setAccessibleName(u"Schedule"_s);
    m_lvScheduler->setRootIsDecorated(false);
    m_lvScheduler->setItemsExpandable(false);
    m_lvScheduler->setUniformRowHeights(true);
    m_lvScheduler->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_lvScheduler->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_lvScheduler->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_lvScheduler->setAccessibleDescription(rowHint);
    fitListColumns();
    m_lblNextEvent = named(new QLabel, u"lblNextEvent"_s);
    m_lblNextEvent->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    auto *scheduler = named(new QGroupBox(u"Scheduler"_s), u"fraScheduler"_s);
    auto *schedulerButtons = new QHBoxLayout(scheduler);
    auto *add = button(u"btnAddSchGroup"_s, u"Add Group to Schedule"_s);
    auto *remove = button(u"btnRemoveSchGroup"_s, u"Remove Schedule Group"_s);
    schedulerButtons->addWidget(add);
    schedulerButtons->addWidget(remove);
    schedulerButtons->addWidget(named(new QLabel(rowHint), u"lblSchedulerHint"_s), 1);
    auto *weekView = button(u"cmdWeekView"_s, u"&Week View..."_s);
    auto *exportCalendar = button(u"cmdExportCalendar"_s, u"E&xport Calendar..."_s);
    schedulerButtons->addWidget(weekView);
    schedulerButtons->addWidget(exportCalendar);
    connect(weekView, &QPushButton::clicked, this, &ScheduleTab::openWeekView);
    connect(exportCalendar, &QPushButton::clicked, this, &ScheduleTab::exportCalendarFile);
    auto *list = new QVBoxLayout;
    list->addWidget(m_lvScheduler, 1);
    list->addWidget(m_lblNextEvent);
    layout->addWidget(scheduler, 0, 0, 1, 2);
    layout->addLayout(list, 1, 0);
    layout->addWidget(buildAttributeFrame(calendarHost), 1, 1);
    layout->setColumnStretch(0, 3);
    layout->setColumnStretch(1, 2);

    connect(add, &QPushButton::clicked, this, &ScheduleTab::addGroupToSchedule);
    connect(remove, &QPushButton::clicked, this, &ScheduleTab::removeSelectedRows);
    connect(m_lvScheduler, &QTreeView::clicked, this, [this](const QModelIndex &index) { loadRow(index.row()); });
    connect(m_lvScheduler->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) { loadRow(current.row()); });

    // The next event follows every change of the schedule and the clock's minutes.
    for (auto signal : { &QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved })
        connect(&schedule, signal, this, &ScheduleTab::refreshNextEvent);
    connect(&schedule, &QAbstractItemModel::dataChanged, this, &ScheduleTab::refreshNextEvent);
    connect(&schedule, &QAbstractItemModel::modelReset, this, &ScheduleTab::refreshNextEvent);
    for (auto signal : { &QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved })
        connect(&m_dates, signal, this, &ScheduleTab::refreshNextEvent);
    connect(&m_dates, &QAbstractItemModel::dataChanged, this, &ScheduleTab::refreshNextEvent);
    connect(&m_dates, &QAbstractItemModel::modelReset, this, &ScheduleTab::refreshNextEvent);
    m_minuteTimer = named(new QTimer(this), u"NextEventTimer"_s);
    m_minuteTimer->setSingleShot(true);
    connect(m_minuteTimer, &QTimer::timeout, this, [this] {
        refreshNextEvent();
        armMinuteTimer();
    });
    armMinuteTimer();
    refreshNextEvent();
}

// Every column but the group's as wide as its texts, and the list wide enough for the longest of them
// (dates, times, all seven days, the longest function name) whatever the window's width: "Monitors O..."
// cannot be told from OFF.
void ScheduleTab::fitListColumns()
{
    QHeaderView *header = m_lvScheduler->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(0, QHeaderView::Stretch);

    const QFontMetrics metrics(m_lvScheduler->font());
    QString longestFunction;
    for (const QString &name : scheduleFunctionNames()) {
        if (metrics.horizontalAdvance(name) > metrics.horizontalAdvance(longestFunction))
            longestFunction = name;
    }
    const QStringList longest {
        {}, u"00/00/0000"_s, u"00/00/0000"_s, u"00:00:00"_s, u"00:00:00"_s, u"S,M,T,W,Th,F,Sat"_s, longestFunction
    };
    // The item views' text margin on each side.
    const int margin
        = 2 * (m_lvScheduler->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_lvScheduler) + 1);
    int width = 2 * m_lvScheduler->frameWidth() + m_lvScheduler->verticalScrollBar()->sizeHint().width();
    for (int column = 0; column < longest.size(); ++column)
        width += std::max(header->sectionSizeHint(column), metrics.horizontalAdvance(longest.at(column)) + margin);
    m_lvScheduler->setMinimumWidth(width);
}

QGroupBox *ScheduleTab::buildAttributeFrame(QWidget *calendarHost)
{
    m_fraAtt = named(new QGroupBox(u"Set Event Attributes "_s), u"fraAtt"_s);
    auto *layout = new QGridLayout(m_fraAtt);

    m_startDate = named(new QLineEdit, u"StartDate"_s);
    m_endDate = named(new QLineEdit, u"EndDate"_s);
    for (QLineEdit *date : { m_startDate, m_endDate })
        date->setPlaceholderText(u"MM/DD/YYYY"_s);
    m_btnCalStart = dateButton(u"btnCalStart"_s, u"Pick the start date"_s);
    m_btnCalEnd = dateButton(u"btnCalEnd"_s, u"Pick the end date"_s);
    layout->addWidget(labelFor(u"Start Date:"_s, m_startDate), 0, 0);
    layout->addWidget(m_startDate, 0, 1);
    layout->addWidget(m_btnCalStart, 0, 2);
    layout->addWidget(labelFor(u"End Date:"_s, m_endDate), 0, 3);
    layout->addWidget(m_endDate, 0, 4);
    layout->addWidget(m_btnCalEnd, 0, 5);

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
    const QStringList tags { u"S"_s, u"M"_s, u"T"_s, u"W"_s, u"Th"_s, u"F"_s, u"Sat"_s };
    for (int i = 0; i < captions.size(); ++i) {
        auto *day = named(new QCheckBox(captions.at(i)), arrayName(u"CheckDay"_s, i));
        day->setProperty("tag", tags.at(i));
        m_checkDay.append(day);
        days->addWidget(day);
    }
    days->addStretch();
    layout->addWidget(labelFor(u"Days:"_s, m_checkDay.first()), 2, 0);
    layout->addLayout(days, 2, 1, 1, 5);

    m_cboMonitors = comboBox(u"cboMonitors"_s, {}, true);
    layout->addWidget(labelFor(u"Function:"_s, m_cboMonitors), 3, 0);
    layout->addWidget(m_cboMonitors, 3, 1, 1, 3);
    auto *setAttributesButton = button(u"btnSetSchGroupAtt"_s, u"Set Attributes"_s);
    layout->addWidget(setAttributesButton, 3, 4, 1, 2);
    layout->setColumnStretch(1, 1);
    layout->setColumnStretch(4, 1);

    // The date picker floats over the window and is shown by the two date buttons.
    m_picCalendar = named(new QWidget(calendarHost), u"picCalendar"_s);
    auto *pickerLayout = new QVBoxLayout(m_picCalendar);
    pickerLayout->setContentsMargins(0, 0, 0, 0);
    m_calendar = named(new QCalendarWidget, u"Calendar1"_s);
    m_calendar->setAccessibleName(u"Calendar"_s);
    // Weeks start on Sunday, as the weekday boxes do.
    m_calendar->setFirstDayOfWeek(Qt::Sunday);
    pickerLayout->addWidget(m_calendar);
    m_picCalendar->setAutoFillBackground(true);
    m_picCalendar->hide();

    connect(setAttributesButton, &QPushButton::clicked, this, &ScheduleTab::setAttributes);
    connect(m_btnCalStart, &QPushButton::clicked, this, [this] { showCalendar(0); });
    connect(m_btnCalEnd, &QPushButton::clicked, this, [this] { showCalendar(1); });
    connect(m_calendar, &QCalendarWidget::clicked, this, &ScheduleTab::calendarPicked);
    connect(m_calendar, &QCalendarWidget::activated, this, &ScheduleTab::calendarPicked);
    // Escape closes the picker without picking.
    auto *cancel = new QShortcut(QKeySequence::Cancel, m_picCalendar, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
    connect(cancel, &QShortcut::activated, this, [this] {
        m_picCalendar->hide();
        (m_calendarTag == 0 ? m_btnCalStart : m_btnCalEnd)->setFocus();
    });
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

void ScheduleTab::setEditingEnabled(bool enabled)
{
    for (const QString &name : { u"btnAddSchGroup"_s, u"btnRemoveSchGroup"_s })
        findChild<QPushButton *>(name)->setEnabled(enabled);
    m_fraAtt->setEnabled(enabled);
    m_editingEnabled = enabled;
    if (m_weekView)
        m_weekView->setEditingEnabled(enabled);
}

void ScheduleTab::selectRow(int row)
{
    if (row < 0 || row >= m_schedule.rowCount())
        return;
    const QModelIndex index = m_lvScheduler->model()->index(row, 0);
    m_lvScheduler->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_lvScheduler->scrollTo(index);
    loadRow(row);
}

void ScheduleTab::setSavePathChooser(SavePathChooser chooser)
{
    m_choosePath = std::move(chooser);
    if (m_weekView)
        m_weekView->setSavePathChooser(m_choosePath);
}

// One window, kept: it shows what the schedule holds whenever it is raised again.
void ScheduleTab::openWeekView()
{
    if (!m_weekView) {
        m_weekView = new WeekViewWindow(m_schedule, m_dates, m_prompts, m_clock, window());
        m_weekView->setSavePathChooser(m_choosePath);
        m_weekView->setEditingEnabled(m_editingEnabled);
        connect(m_weekView, &WeekViewWindow::rowChosen, this, &ScheduleTab::selectRow);
    }
    m_weekView->show();
    m_weekView->raise();
    m_weekView->activateWindow();
}

void ScheduleTab::exportCalendarFile()
{
    const QString path = m_choosePath(this, u"Export Calendar"_s, u"vantiro-schedule.ics"_s,
                                      u"iCalendar file (*.ics)"_s);
    if (path.isEmpty())
        return;
    const CalendarExport calendar = exportCalendar(m_schedule.allRows(), DatesWithoutEvents::fromRows(m_dates.allRows()),
                                                   QTimeZone::systemTimeZone(), m_clock.now());
    const SaveResult saved = saveFile(path, calendar.text);
    const QString shownPath = QDir::toNativeSeparators(path);
    if (!saved) {
        m_prompts.inform(u"The calendar could not be written to %1:\n%2"_s.arg(shownPath, saved.error),
                         PromptIcon::Exclamation, u"Error"_s);
        return;
    }
    QString text = u"The schedule was written to %1 as %2 %3."_s.arg(shownPath).arg(calendar.events).arg(
        calendar.events == 1 ? u"event"_s : u"events"_s);
    if (!calendar.neverFiring.isEmpty()) {
        text += u"\n\nLeft out:"_s;
        for (int row : calendar.neverFiring)
            text += u'\n' + neverFiresText(m_schedule.rowCells(row), row);
    }
    m_prompts.inform(text);
}

void ScheduleTab::addGroupToSchedule()
{
    const int groupRow = m_inventory.selectedGroupRow();
    if (groupRow < 1) {
        m_prompts.inform(u"Please select a group to add."_s);
        return;
    }
    const QString name = m_inventory.groups().cell(groupRow - 1, groupNameColumn);
    m_schedule.appendRow(newScheduleRow(name, m_clock.now()));
}

void ScheduleTab::removeSelectedRows()
{
    QList<int> rows;
    for (const QModelIndex &selected : m_lvScheduler->selectionModel()->selectedRows())
        rows.append(selected.row());
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    for (int row : rows)
        m_schedule.removeRowAt(row);
}

void ScheduleTab::loadRow(int row)
{
    if (row < 0 || row >= m_schedule.rowCount())
        return;
    m_fraAtt->setEnabled(true);
    m_fraAtt->setTitle(u" Set Attributes: "_s + m_schedule.cell(row, scheduleGroupColumn) + u' ');
    if (const std::optional<LoadedScheduleRow> loaded = loadScheduleRow(m_schedule.rowCells(row)))
        showEditorTexts(*loaded);
}

void ScheduleTab::showEditorTexts(const LoadedScheduleRow &loaded)
{
    const AttributeEditorTexts &editor = loaded.editor;
    m_startDate->setText(editor.startDate);
    m_endDate->setText(editor.endDate);
    const std::pair<QComboBox *, QString> times[] = {
        { m_startHour, editor.hour },  { m_startMin, editor.minute },  { m_startSec, editor.second },
        { m_endHour, loaded.endHour }, { m_endMin, loaded.endMinute }, { m_endSec, loaded.endSecond },
    };
    for (const auto &[list, text] : times) {
        const int entry = list->findText(text);
        if (entry >= 0)
            list->setCurrentIndex(entry);
        else
            list->setEditText(text);
    }
    for (int day = 0; day < m_checkDay.size(); ++day)
        m_checkDay.at(day)->setChecked(editor.days[size_t(day)]);
    m_cboMonitors->setEditText(editor.function);
}

AttributeEditorTexts ScheduleTab::editorTexts() const
{
    AttributeEditorTexts editor;
    editor.startDate = m_startDate->text();
    editor.endDate = m_endDate->text();
    editor.hour = m_startHour->currentText();
    editor.minute = m_startMin->currentText();
    editor.second = m_startSec->currentText();
    for (int day = 0; day < m_checkDay.size(); ++day)
        editor.days[size_t(day)] = m_checkDay.at(day)->isChecked();
    editor.function = m_cboMonitors->currentText();
    return editor;
}

void ScheduleTab::setAttributes()
{
    const QModelIndex current = m_lvScheduler->currentIndex();
    if (!current.isValid() || !m_lvScheduler->selectionModel()->isRowSelected(current.row()))
        return;
    const AttributeOutcome outcome = vantiro::setAttributes(m_schedule, current.row(), editorTexts());
    if (outcome.refusal) {
        m_prompts.show(*outcome.refusal);
        return;
    }
    if (!outcome.row)
        return;
    const QList<TableColumn> &columns = m_schedule.columns();
    for (int column = 0; column < columns.size(); ++column)
        m_schedule.setCell(current.row(), columns.at(column).key, outcome.row->value(column));
}

void ScheduleTab::showCalendar(int tag)
{
    m_calendarTag = tag;
    m_calendar->setProperty("tag", QString::number(tag));
    // Under the date box it serves; the end date's place lies further right.
    QLineEdit *box = tag == 0 ? m_startDate : m_endDate;
    QWidget *host = m_picCalendar->parentWidget();
    m_picCalendar->adjustSize();
    QPoint place = box->mapTo(host, QPoint(0, box->height()));
    // Above the box where the window has no room below it, so the box stays in sight.
    if (place.y() + m_picCalendar->height() > host->height())
        place.setY(place.y() - box->height() - m_picCalendar->height());
    place.setX(std::clamp(place.x(), 0, std::max(0, host->width() - m_picCalendar->width())));
    place.setY(std::clamp(place.y(), 0, std::max(0, host->height() - m_picCalendar->height())));
    m_picCalendar->move(place);

    m_calendar->setSelectedDate(m_clock.now().date());
    if (const std::optional<QDate> shown = readScheduleDate(box->text()))
        m_calendar->setSelectedDate(*shown);
    m_picCalendar->raise();
    m_picCalendar->show();
    m_calendar->setFocus();
}

void ScheduleTab::calendarPicked(QDate date)
{
    const QString text = scheduleDateText(date);
    if (m_calendarTag == 0) {
        m_startDate->setText(text);
        // A start after the end moves the end along; so does an end that is no date.
        const std::optional<QDate> end = readScheduleDate(m_endDate->text());
        if (!end || date > *end)
            m_endDate->setText(text);
    } else {
        m_endDate->setText(text);
    }
    m_picCalendar->hide();
    (m_calendarTag == 0 ? m_btnCalStart : m_btnCalEnd)->setFocus();
}

void ScheduleTab::refreshNextEvent()
{
    m_lblNextEvent->setText(
        nextEventText(m_schedule, m_clock.now(), DatesWithoutEvents::fromRows(m_dates.allRows())));
}

void ScheduleTab::armMinuteTimer()
{
    const QTime now = m_clock.now().time();
    const int toNextMinute = (60 - now.second()) * 1000 - now.msec();
    m_minuteTimer->start(std::max(toNextMinute, 1));
}

} // namespace vantiro
