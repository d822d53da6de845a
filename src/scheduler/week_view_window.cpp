#include "scheduler/week_view_window.h"

#include "common/clock.h"
#include "common/controls.h"
#include "common/prompts.h"
#include "common/safe_save.h"
#include "common/text_table_model.h"
#include "scheduler/schedule_table.h"

#include <QAbstractButton>
#include <QBuffer>
#include <QDateEdit>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPdfWriter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

using namespace Qt::StringLiterals;
using namespace vantiro::controls;

namespace vantiro {

namespace {

constexpr int axisWidth = 48;
constexpr int minColumnWidth = 118;
constexpr double pixelsPerMinute = 0.75;

QColor kindColour(FunctionKind kind)
{
    switch (kind) {
    case FunctionKind::On:
        return QColor(0xb7, 0xe4, 0xb0); // green: displays come on
    case FunctionKind::Off:
        return QColor(0xc9, 0xcf, 0xd8); // grey: displays go dark
    default:
        return QColor(0xf6, 0xd7, 0x8f); // amber: adjustments
    }
}

int titleHeight(const QFontMetrics &metrics)
{
    return metrics.height() + 8;
}

int headerHeight(const QFontMetrics &metrics)
{
    return titleHeight(metrics) + 3 * metrics.height() + 8;
}

// Two lines: the time and group, then the function.
int blockHeight(const QFontMetrics &metrics)
{
    return 2 * metrics.height() + 6;
}

// A firing in the picture: a button the keyboard reaches, named for screen readers.
class BlockButton : public QAbstractButton
{
public:
    BlockButton(const WeekBlock &block, QWidget *parent)
        : QAbstractButton(parent)
        , m_colour(kindColour(block.kind))
        , m_lines { block.moment.time().toString(block.moment.time().second() == 0 ? u"HH:mm"_s : u"HH:mm:ss"_s)
                        + u' ' + block.group,
                    block.function }
    {
        setFocusPolicy(Qt::StrongFocus);
        setAccessibleName(blockName(block));
        setToolTip(blockName(block) + (block.stackSize > 1
                                           ? u"\n%1 of %2 events in this minute"_s.arg(block.stackIndex + 1).arg(
                                               block.stackSize)
                                           : QString()));
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const QRect box = rect().adjusted(0, 0, -1, -1);
        painter.fillRect(box, m_colour);
        painter.setPen(hasFocus() ? QPen(palette().highlight().color(), 2) : QPen(m_colour.darker(160)));
        painter.drawRect(box);
        painter.setPen(Qt::black);
        const QRect textBox = box.adjusted(3, 2, -2, -2);
        QStringList lines = m_lines;
        for (QString &line : lines)
            line = fontMetrics().elidedText(line, Qt::ElideRight, textBox.width());
        painter.drawText(textBox, Qt::AlignTop | Qt::AlignLeft, lines.join(u'\n'));
    }

private:
    QColor m_colour;
    QStringList m_lines;
};

// The day headings over the scrolling picture, so they stay in sight.
class WeekHeading : public QWidget
{
public:
    explicit WeekHeading(const WeekPicture &picture)
        : m_picture(picture)
    {
        setObjectName(u"picWeekHeading"_s);
        setFixedHeight(picture.headingHeight());
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        m_picture.paintHeading(painter);
    }

private:
    const WeekPicture &m_picture;
};

} // namespace

SavePathChooser fileDialogSavePath()
{
    return [](QWidget *parent, const QString &caption, const QString &suggested, const QString &filters) {
        return QFileDialog::getSaveFileName(parent, caption, QDir::home().filePath(suggested), filters);
    };
}

WeekPicture::WeekPicture(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(u"picWeek"_s);
    setAccessibleName(u"Week picture"_s);
    setAutoFillBackground(true);
    QPalette shade = palette();
    shade.setColor(QPalette::Window, Qt::white);
    shade.setColor(QPalette::WindowText, Qt::black);
    setPalette(shade);
}

void WeekPicture::showPlan(const WeekPlan &plan, const DatesWithoutEvents &skipped)
{
    m_plan = plan;
    m_skipped = skipped;
    qDeleteAll(m_blocks);
    m_blocks.clear();
    m_tops.clear();
    const QFontMetrics metrics(font());
    int bottom = int(24 * 60 * pixelsPerMinute);
    m_tops.resize(plan.blocks.size());
    for (int day = 0; day < 7; ++day) {
        QList<int> minutes;
        QList<qsizetype> ofDay;
        for (qsizetype i = 0; i < plan.blocks.size(); ++i) {
            const WeekBlock &block = plan.blocks.at(i);
            if (block.day() == day) {
                minutes.append(block.moment.time().hour() * 60 + block.moment.time().minute());
                ofDay.append(i);
            }
        }
        const QList<int> tops = stackTops(minutes, pixelsPerMinute, blockHeight(metrics));
        for (qsizetype i = 0; i < ofDay.size(); ++i) {
            m_tops[ofDay.at(i)] = tops.at(i);
            bottom = std::max(bottom, tops.at(i) + blockHeight(metrics));
        }
    }
    for (qsizetype i = 0; i < plan.blocks.size(); ++i) {
        const WeekBlock &block = plan.blocks.at(i);
        auto *button = new BlockButton(block, this);
        button->setObjectName(arrayName(u"cmdWeekBlock"_s, int(i)));
        button->installEventFilter(this);
        connect(button, &QAbstractButton::clicked, this, [this, row = block.row] { emit rowChosen(row); });
        m_blocks.append(button);
        button->show();
    }
    // Tab goes through the blocks day by day, in time order, as the arrow keys do.
    for (qsizetype i = 1; i < m_blocks.size(); ++i)
        setTabOrder(m_blocks.at(i - 1), m_blocks.at(i));
    m_picturePart = bottom + metrics.height();
    updateGeometry();
    placeBlocks();
    update();
}

QSize WeekPicture::sizeHint() const
{
    const QFontMetrics metrics(font());
    return { axisWidth + 7 * minColumnWidth + 1, bodyTop() + std::max(m_picturePart, 200) + metrics.height() / 2 };
}

int WeekPicture::columnWidth() const
{
    return std::max(minColumnWidth, (width() - axisWidth - 1) / 7);
}

int WeekPicture::columnLeft(int day) const
{
    return axisWidth + day * columnWidth();
}

void WeekPicture::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeBlocks();
}

void WeekPicture::placeBlocks()
{
    const QFontMetrics metrics(font());
    const int top = bodyTop();
    for (qsizetype i = 0; i < m_blocks.size(); ++i) {
        const WeekBlock &block = m_plan.blocks.at(i);
        m_blocks.at(i)->setGeometry(columnLeft(block.day()) + 2, top + m_tops.at(i), columnWidth() - 4,
                                    blockHeight(metrics));
    }
}

int WeekPicture::bodyTop() const
{
    return m_withHeading ? headerHeight(QFontMetrics(font())) : 0;
}

void WeekPicture::setWithHeading(bool withHeading)
{
    m_withHeading = withHeading;
    updateGeometry();
    placeBlocks();
    update();
}

int WeekPicture::headingHeight() const
{
    return headerHeight(QFontMetrics(font()));
}

void WeekPicture::paintHeading(QPainter &painter) const
{
    const QFontMetrics metrics(font());
    const int title = titleHeight(metrics);
    const int bottom = headerHeight(metrics);
    painter.setPen(Qt::black);
    QFont bold = font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.drawText(QRect(0, 4, columnLeft(7), title), Qt::AlignLeft | Qt::AlignTop,
                     u"Schedule for the week of %1 to %2"_s.arg(scheduleDateText(m_plan.sunday),
                                                                scheduleDateText(m_plan.sunday.addDays(6))));
    painter.setFont(font());
    for (int day = 0; day < 7; ++day) {
        const QDate date = m_plan.sunday.addDays(day);
        const QRect column(columnLeft(day), title, columnWidth(), bottom - title);
        QString heading = QLocale::c().dayName(date.dayOfWeek()) + u'\n' + scheduleDateText(date);
        if (m_skipped.contains(date)) {
            painter.fillRect(column, QColor(0xee, 0xee, 0xee));
            const QString note = m_skipped.note(date);
            heading += u"\nno events"_s + (note.isEmpty() ? QString() : u": "_s + note);
        }
        const QRect headingBox = column.adjusted(3, 0, -3, 0);
        QStringList lines = heading.split(u'\n');
        for (QString &line : lines)
            line = metrics.elidedText(line, Qt::ElideRight, headingBox.width());
        painter.setPen(Qt::black);
        painter.drawText(headingBox, Qt::AlignHCenter | Qt::AlignTop, lines.join(u'\n'));
        painter.setPen(QColor(0x99, 0x99, 0x99));
        painter.drawLine(column.left(), column.top(), column.left(), bottom);
    }
    painter.drawLine(columnLeft(7), title, columnLeft(7), bottom);
}

void WeekPicture::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_withHeading)
        paintHeading(painter);
    painter.translate(0, bodyTop());
    const QFontMetrics metrics(font());
    const int bottom = m_picturePart;
    const int right = columnLeft(7);
    for (int day = 0; day < 7; ++day) {
        const QRect column(columnLeft(day), 0, columnWidth(), bottom);
        if (m_skipped.contains(m_plan.sunday.addDays(day)))
            painter.fillRect(column, QColor(0xee, 0xee, 0xee));
        painter.setPen(QColor(0x99, 0x99, 0x99));
        painter.drawLine(column.left(), 0, column.left(), bottom);
    }
    painter.drawLine(right, 0, right, bottom);
    for (int hour = 0; hour <= 24; ++hour) {
        const int y = int(hour * 60 * pixelsPerMinute);
        painter.setPen(QColor(0xdd, 0xdd, 0xdd));
        painter.drawLine(axisWidth, y, right, y);
        if (hour < 24) {
            painter.setPen(Qt::black);
            painter.drawText(QRect(0, y, axisWidth - 4, metrics.height()), Qt::AlignRight | Qt::AlignTop,
                             u"%1:00"_s.arg(hour, 2, 10, QLatin1Char('0')));
        }
    }
}

int WeekPicture::blockAfterKey(int index, int key) const
{
    const WeekBlock &from = m_plan.blocks.at(index);
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
        const int step = key == Qt::Key_Up ? -1 : 1;
        for (int i = index + step; i >= 0 && i < m_plan.blocks.size(); i += step) {
            if (m_plan.blocks.at(i).day() == from.day())
                return i;
        }
        return -1;
    }
    const int step = key == Qt::Key_Left ? -1 : 1;
    const int minute = from.moment.time().msecsSinceStartOfDay() / 1000;
    for (int day = from.day() + step; day >= 0 && day < 7; day += step) {
        int best = -1;
        for (int i = 0; i < m_plan.blocks.size(); ++i) {
            const WeekBlock &block = m_plan.blocks.at(i);
            if (block.day() != day)
                continue;
            const int distance = std::abs(block.moment.time().msecsSinceStartOfDay() / 1000 - minute);
            if (best < 0 || distance < std::abs(m_plan.blocks.at(best).moment.time().msecsSinceStartOfDay() / 1000
                                                - minute))
                best = i;
        }
        if (best >= 0)
            return best;
    }
    return -1;
}

bool WeekPicture::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int index = int(m_blocks.indexOf(static_cast<QAbstractButton *>(watched)));
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (index >= 0 && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            m_blocks.at(index)->click();
            return true;
        }
        if (index >= 0 && (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right)) {
            const int next = blockAfterKey(index, key);
            if (next >= 0) {
                m_blocks.at(next)->setFocus(Qt::OtherFocusReason);
                // The scroll area around the picture follows the focus.
                for (QWidget *up = parentWidget(); up; up = up->parentWidget()) {
                    if (auto *scroll = qobject_cast<QScrollArea *>(up)) {
                        scroll->ensureWidgetVisible(m_blocks.at(next));
                        break;
                    }
                }
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

WeekViewWindow::WeekViewWindow(const TextTableModel &schedule, TextTableModel &datesWithoutEvents, Prompts &prompts,
                               const Clock &clock, QWidget *parent)
    : QDialog(parent)
    , m_schedule(schedule)
    , m_dates(datesWithoutEvents)
    , m_prompts(prompts)
    , m_choosePath(fileDialogSavePath())
{
    setObjectName(u"frmWeekView"_s);
    setWindowTitle(u"Week View"_s);
    auto *layout = new QGridLayout(this);

    auto *previous = button(u"cmdPreviousWeek"_s, u"&Previous Week"_s);
    auto *next = button(u"cmdNextWeek"_s, u"&Next Week"_s);
    auto *thisWeek = button(u"cmdThisWeek"_s, u"&This Week"_s);
    m_week = named(new QDateEdit, u"dtpWeek"_s);
    m_week->setCalendarPopup(true);
    m_week->setDisplayFormat(u"MM/dd/yyyy"_s);
    auto *weekLabel = new QLabel(u"&Week of:"_s);
    weekLabel->setBuddy(m_week);
    auto *save = button(u"cmdSavePicture"_s, u"&Save Picture..."_s);
    auto *bar = new QHBoxLayout;
    bar->addWidget(previous);
    bar->addWidget(weekLabel);
    bar->addWidget(m_week);
    bar->addWidget(next);
    bar->addWidget(thisWeek);
    bar->addStretch();
    bar->addWidget(save);
    layout->addLayout(bar, 0, 0, 1, 2);

    m_picture = new WeekPicture;
    m_scroll = named(new QScrollArea, u"scrWeek"_s);
    m_scroll->setWidget(m_picture);
    m_scroll->setWidgetResizable(true);
    m_scroll->setFocusPolicy(Qt::NoFocus);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_heading = new WeekHeading(*m_picture);
    auto *pictureColumn = new QVBoxLayout;
    pictureColumn->setSpacing(0);
    pictureColumn->addWidget(m_heading);
    pictureColumn->addWidget(m_scroll, 1);
    layout->addLayout(pictureColumn, 1, 0);
    m_neverFires = named(new QLabel, u"lblNeverFires"_s);
    m_neverFires->setWordWrap(true);
    m_neverFires->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_neverFires->setAccessibleName(u"Rows that never fire"_s);
    layout->addWidget(m_neverFires, 2, 0);

    auto *datesFrame = named(new QGroupBox(u"Dates without events"_s), u"fraDatesWithoutEvents"_s);
    auto *datesLayout = new QGridLayout(datesFrame);
    m_dateList = named(new QTreeView, u"lvDatesWithoutEvents"_s);
    m_dateList->setModel(&m_dates);
    m_dateList->setAccessibleName(u"Dates without events"_s);
    m_dateList->setRootIsDecorated(false);
    m_dateList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_dateList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_dateList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_dateList->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    datesLayout->addWidget(m_dateList, 0, 0, 1, 2);
    m_newDate = named(new QDateEdit, u"dtpNewDate"_s);
    m_newDate->setCalendarPopup(true);
    m_newDate->setDisplayFormat(u"MM/dd/yyyy"_s);
    m_newDate->setDate(clock.now().date());
    auto *dateLabel = new QLabel(u"&Date:"_s);
    dateLabel->setBuddy(m_newDate);
    datesLayout->addWidget(dateLabel, 1, 0);
    datesLayout->addWidget(m_newDate, 1, 1);
    m_newNote = named(new QLineEdit, u"txtNewNote"_s);
    m_newNote->setPlaceholderText(u"optional"_s);
    auto *noteLabel = new QLabel(u"N&ote:"_s);
    noteLabel->setBuddy(m_newNote);
    datesLayout->addWidget(noteLabel, 2, 0);
    datesLayout->addWidget(m_newNote, 2, 1);
    m_add = button(u"cmdAddDate"_s, u"&Add Date"_s);
    m_remove = button(u"cmdRemoveDate"_s, u"&Remove Date"_s);
    datesLayout->addWidget(m_add, 3, 0);
    datesLayout->addWidget(m_remove, 3, 1);
    datesFrame->setMaximumWidth(300);
    layout->addWidget(datesFrame, 1, 1, 2, 1);
    auto *close = button(u"cmdCloseWeek"_s, u"&Close"_s);
    auto *closeRow = new QHBoxLayout;
    closeRow->addStretch();
    closeRow->addWidget(close);
    layout->addLayout(closeRow, 3, 0, 1, 2);
    layout->setColumnStretch(0, 1);
    layout->setRowStretch(1, 1);

    // Enter in the note adds the date; it presses no other button of the window.
    for (QPushButton *each : findChildren<QPushButton *>())
        each->setAutoDefault(false);
    connect(previous, &QPushButton::clicked, this, [this] { showWeekOf(m_plan.sunday.addDays(-7)); });
    connect(next, &QPushButton::clicked, this, [this] { showWeekOf(m_plan.sunday.addDays(7)); });
    connect(thisWeek, &QPushButton::clicked, this, [this, &clock] { showWeekOf(clock.now().date()); });
    connect(m_week, &QDateEdit::dateChanged, this, [this](QDate day) {
        if (weekSunday(day) != m_plan.sunday)
            showWeekOf(day);
    });
    connect(save, &QPushButton::clicked, this, &WeekViewWindow::savePicture);
    connect(m_add, &QPushButton::clicked, this, &WeekViewWindow::addDate);
    connect(m_newNote, &QLineEdit::returnPressed, this, &WeekViewWindow::addDate);
    connect(m_remove, &QPushButton::clicked, this, &WeekViewWindow::removeSelectedDates);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(m_picture, &WeekPicture::rowChosen, this, &WeekViewWindow::rowChosen);
    // The picture follows every change of the schedule and of the dates.
    for (const TextTableModel *table : { &m_schedule, static_cast<const TextTableModel *>(&m_dates) }) {
        connect(table, &QAbstractItemModel::rowsInserted, this, &WeekViewWindow::refresh);
        connect(table, &QAbstractItemModel::rowsRemoved, this, &WeekViewWindow::refresh);
        connect(table, &QAbstractItemModel::dataChanged, this, &WeekViewWindow::refresh);
        connect(table, &QAbstractItemModel::modelReset, this, &WeekViewWindow::refresh);
    }

    showWeekOf(clock.now().date());
    fitOnScreen(this, QSize(m_picture->sizeHint().width() + 340, 700));
}

void WeekViewWindow::showWeekOf(QDate day)
{
    m_plan.sunday = weekSunday(day);
    {
        const QSignalBlocker quiet(m_week);
        m_week->setDate(m_plan.sunday);
    }
    refresh();
    scrollToFirstBlock();
}

// The day's events in sight, not the small hours.
void WeekViewWindow::scrollToFirstBlock()
{
    if (m_picture->blocks().isEmpty())
        return;
    int first = m_picture->blocks().first()->y();
    for (const QAbstractButton *block : m_picture->blocks())
        first = std::min(first, block->y());
    m_scroll->verticalScrollBar()->setValue(first - m_picture->fontMetrics().height() * 3);
}

void WeekViewWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    scrollToFirstBlock();
}

void WeekViewWindow::refresh()
{
    const DatesWithoutEvents skipped = DatesWithoutEvents::fromRows(m_dates.allRows());
    m_plan = planWeek(m_schedule.allRows(), skipped, m_plan.sunday);
    m_picture->showPlan(m_plan, skipped);
    m_heading->update();
    QStringList never;
    for (int row : std::as_const(m_plan.neverFiring))
        never.append(neverFiresText(m_schedule.rowCells(row), row));
    m_neverFires->setText(never.join(u'\n'));
    m_neverFires->setVisible(!never.isEmpty());
}

void WeekViewWindow::setEditingEnabled(bool enabled)
{
    for (QWidget *editing : std::initializer_list<QWidget *> { m_newDate, m_newNote, m_add, m_remove })
        editing->setEnabled(enabled);
}

void WeekViewWindow::addDate()
{
    if (!m_add->isEnabled())
        return;
    const QDate day = m_newDate->date();
    if (DatesWithoutEvents::fromRows(m_dates.allRows()).contains(day)) {
        m_prompts.inform(scheduleDateText(day) + u" is already a date without events."_s);
        return;
    }
    // In date order; rows whose text names no date stay where they are.
    int place = m_dates.rowCount();
    for (int row = 0; row < m_dates.rowCount(); ++row) {
        const std::optional<QDate> listed = readScheduleDate(m_dates.cell(row, exceptionDateColumn));
        if (listed && *listed > day) {
            place = row;
            break;
        }
    }
    QList<QStringList> rows = m_dates.allRows();
    rows.insert(place, { scheduleDateText(day), m_newNote->text().trimmed() });
    m_dates.replaceRows(rows);
    m_newNote->clear();
    m_dateList->setCurrentIndex(m_dates.index(place, 0));
}

void WeekViewWindow::removeSelectedDates()
{
    QList<int> rows;
    for (const QModelIndex &selected : m_dateList->selectionModel()->selectedRows())
        rows.append(selected.row());
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    for (int row : rows)
        m_dates.removeRowAt(row);
}

void WeekViewWindow::savePicture()
{
    const QString path = m_choosePath(this, u"Save Picture"_s,
                                      u"week-%1.png"_s.arg(m_plan.sunday.toString(u"yyyy-MM-dd"_s)),
                                      u"PNG picture (*.png);;PDF document (*.pdf)"_s);
    if (path.isEmpty())
        return;
    // The picture on paper carries its own headings.
    m_picture->setWithHeading(true);
    const SaveResult saved = saveWidgetPicture(m_picture, path);
    m_picture->setWithHeading(false);
    if (!saved)
        m_prompts.inform(u"The picture could not be written to %1:\n%2"_s.arg(QDir::toNativeSeparators(path),
                                                                               saved.error),
                         PromptIcon::Exclamation, u"Error"_s);
}

SaveResult saveWidgetPicture(QWidget *widget, const QString &path)
{
    // The whole picture, also what the scroll area hides.
    const QSize size = widget->size().expandedTo(widget->sizeHint());
    const QSize shown = widget->size();
    widget->resize(size);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    bool drawn = false;
    if (path.endsWith(u".pdf"_s, Qt::CaseInsensitive)) {
        QPdfWriter pdf(&buffer);
        pdf.setPageOrientation(size.height() > size.width() ? QPageLayout::Portrait : QPageLayout::Landscape);
        pdf.setTitle(u"Vantiro week"_s);
        pdf.setResolution(96);
        QPainter painter;
        if (painter.begin(&pdf)) {
            const QRect page = painter.viewport();
            const double scale = std::min(double(page.width()) / size.width(), double(page.height()) / size.height());
            painter.scale(scale, scale);
            widget->render(&painter);
            drawn = painter.end();
        }
    } else {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::white);
        widget->render(&image);
        drawn = image.save(&buffer, "PNG");
    }
    widget->resize(shown);
    if (!drawn || bytes.isEmpty())
        return { false, u"The picture could not be drawn."_s };
    return saveFile(path, bytes);
}

} // namespace vantiro
