#pragma once

#include <QScrollArea>
#include <QString>
#include <QStringList>

class QComboBox;
class QPushButton;
class QTableView;
class QAbstractItemModel;
class QObject;
class QWidget;

// Small builders for the controls every window uses, so that names and behaviour stay alike.
namespace vantiro::controls {

template<typename Widget> Widget *named(Widget *widget, const QString &name)
{
    widget->setObjectName(name);
    return widget;
}

// "cmdCOMSend_6": an element of a control array.
QString arrayName(const QString &name, int index);

QPushButton *button(const QString &name, const QString &caption);

// Typed text is used as it stands and never becomes an entry (the ALL commands send to every entry
// of the COM list).
QComboBox *comboBox(const QString &name, const QStringList &items, bool editable);

// A read-only table with whole-row selection, one row at a time.
QTableView *grid(const QString &name, QAbstractItemModel *model);

// A frameless scrolling area around the region of a window that may not fit the screen. It asks for the
// whole size of its contents, so a window that has the room shows them without scroll bars, and it lets
// the window shrink to the screen, scrolling where the room runs out.
class ScrollPane : public QScrollArea
{
public:
    explicit ScrollPane(QWidget *contents, QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // Scrolls as little as it takes to show the child whole, or as much of it as fits from its top.
    void showWhole(const QWidget *child);
};

// Gives a top-level window its preferred size, or the free area of its screen less the window frame
// where that is smaller, and centres it on that screen. Returns false when the preferred size did not
// fit.
bool fitOnScreen(QWidget *window, QSize preferred);

} // namespace vantiro::controls
