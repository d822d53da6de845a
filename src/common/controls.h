#pragma once

#include <QString>
#include <QStringList>

class QComboBox;
class QPushButton;
class QTableView;
class QAbstractItemModel;
class QObject;

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

} // namespace vantiro::controls
