#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>

namespace vantiro {

// A view lays out the whole text of every cell it paints, so a cell of megabytes would stall the
// window and take gigabytes: a cell shows (and its tooltip tells) at most this many characters, the
// rest cut off with an ellipsis. The cell itself and its edit text stay whole.
inline constexpr qsizetype shownTextLimit = 500;
QString shownText(const QString &text);

struct TableColumn
{
    QString key;
    QString header;
};

// A table of text cells whose columns are addressed by key ("Group", "COM Settings"). It backs the
// group, port and pending-event tables and the schedule list. Rows count from 0 here; the window's
// selection fields count from 1.
class TextTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit TextTableModel(QList<TableColumn> columns, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    const QList<TableColumn> &columns() const { return m_columns; }
    // -1 for a key the table does not have.
    int columnIndex(QStringView key) const;

    // The empty text for a row or key that does not exist.
    QString cell(int row, QStringView key) const;
    // Ignored for a row or key that does not exist.
    void setCell(int row, QStringView key, const QString &text);

    QStringList rowCells(int row) const;
    const QList<QStringList> &allRows() const { return m_rows; }

    // Missing cells are empty, surplus cells are dropped. Returns the new row's number.
    int appendRow(QStringList cells);
    // False for a row that does not exist.
    bool removeRowAt(int row);
    void replaceRows(QList<QStringList> rows);
    void clear();

private:
    QStringList fitted(QStringList cells) const;

    QList<TableColumn> m_columns;
    QList<QStringList> m_rows;
};

} // namespace vantiro
