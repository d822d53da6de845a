#include "common/controls.h"

#include <QComboBox>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>

#include <algorithm>

namespace vantiro::controls {

QString arrayName(const QString &name, int index)
{
    return name + u'_' + QString::number(index);
}

QPushButton *button(const QString &name, const QString &caption)
{
    return named(new QPushButton(caption), name);
}

QComboBox *comboBox(const QString &name, const QStringList &items, bool editable)
{
    auto *box = named(new QComboBox, name);
    box->setEditable(editable);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItems(items);
    return box;
}

QTableView *grid(const QString &name, QAbstractItemModel *model)
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

ScrollPane::ScrollPane(QWidget *contents, QWidget *parent)
    : QScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    // The controls inside take the focus; the pane scrolls to whichever has it.
    setFocusPolicy(Qt::NoFocus);
    setWidget(contents);
}

QSize ScrollPane::sizeHint() const
{
    // Also room for the vertical scroll bar: where the height runs short, the contents keep their width
    // and need no sideways scrolling.
    const int frame = 2 * frameWidth();
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    return widget()->sizeHint().expandedTo(widget()->minimumSizeHint()) + QSize(frame + bar, frame);
}

QSize ScrollPane::minimumSizeHint() const
{
    // Room for both scroll bars and a little of what they move.
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    return { 4 * bar, 4 * bar };
}

namespace {

// The scroll bar value that shows [start, start + length) of what the bar scrolls, moved from `value` as
// little as it takes; the start wins where the whole does not fit.
int scrolledTo(int value, int start, int length, int shownLength)
{
    if (start + length > value + shownLength)
        value = start + length - shownLength;
    return std::min(value, start);
}

} // namespace

void ScrollPane::showWhole(const QWidget *child)
{
    if (!widget() || !widget()->isAncestorOf(child))
        return;
    const QRect inside(child->mapTo(widget(), QPoint(0, 0)), child->size());
    const QSize shown = viewport()->size();
    horizontalScrollBar()->setValue(
        scrolledTo(horizontalScrollBar()->value(), inside.x(), inside.width(), shown.width()));
    verticalScrollBar()->setValue(
        scrolledTo(verticalScrollBar()->value(), inside.y(), inside.height(), shown.height()));
}

namespace {

// The frame the desktop puts around a window: as measured on the window or its opener once shown, else
// the style's title bar and borders.
QSize frameAllowance(const QWidget *window)
{
    const QWidget *opener = window->parentWidget() ? window->parentWidget()->window() : nullptr;
    for (const QWidget *shown : { window, opener }) {
        if (!shown || !shown->isVisible())
            continue;
        const QSize frame = shown->frameGeometry().size() - shown->size();
        if (frame.width() > 0 || frame.height() > 0)
            return frame;
    }
    const QStyle *style = window->style();
    const int border = style->pixelMetric(QStyle::PM_DefaultFrameWidth);
    return { 2 * border, style->pixelMetric(QStyle::PM_TitleBarHeight) + 2 * border };
}

} // namespace

bool fitOnScreen(QWidget *window, QSize preferred)
{
    const QWidget *opener = window->parentWidget() ? window->parentWidget()->window() : window;
    const QScreen *screen = opener->screen();
    if (!screen)
        return true;
    const QRect available = screen->availableGeometry();
    const QSize frame = frameAllowance(window);
    const QSize room = available.size() - frame;
    window->resize(preferred.boundedTo(room).expandedTo(window->minimumSize()));
    // A window's position is that of its frame.
    const QSize outer = window->size() + frame;
    window->move(available.left() + (available.width() - outer.width()) / 2,
                 available.top() + (available.height() - outer.height()) / 2);
    return preferred.width() <= room.width() && preferred.height() <= room.height();
}

} // namespace vantiro::controls
