#pragma once

#include <QAbstractItemModel>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

namespace vantiro::test {

// The control of a window by its objectName; a missing one ends the test run with its name, as every
// later step would only fail less clearly.
template<typename T> T *control(const QObject *window, const QString &name)
{
    auto *found = window->findChild<T *>(name);
    if (!found)
        qFatal("no control named %s", qPrintable(name));
    return found;
}

// The texts of a table's cells, row by row.
inline QList<QStringList> rowsOf(const QAbstractItemModel *model)
{
    QList<QStringList> rows;
    for (int row = 0; row < model->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < model->columnCount(); ++column)
            cells << model->index(row, column).data().toString();
        rows << cells;
    }
    return rows;
}

} // namespace vantiro::test
