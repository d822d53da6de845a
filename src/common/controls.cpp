#include "common/controls.h"

#include <QComboBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>

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

} // namespace vantiro::controls
