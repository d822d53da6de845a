#include "common/text_table_model.h"

namespace vantiro {

QString shownText(const QString &text)
{
    if (text.size() <= shownTextLimit)
        return text;
    qsizetype cut = shownTextLimit - 1;
    if (text.at(cut - 1).isHighSurrogate())
        --cut; // never half a character
    return text.first(cut) + u'\u2026';
}

TextTableModel::TextTableModel(QList<TableColumn> columns, QObject *parent)
    : QAbstractTableModel(parent)
    , m_columns(std::move(columns))
{ }

int TextTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int TextTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant TextTableModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const QString &text = m_rows.at(index.row()).at(index.column());
    if (role == Qt::EditRole)
        return text;
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return shownText(text);
    return {};
}

QVariant TextTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    if (section < 0 || section >= m_columns.size())
        return {};
    return m_columns.at(section).header;
}

int TextTableModel::columnIndex(QStringView key) const
{
    for (qsizetype i = 0; i < m_columns.size(); ++i) {
        if (m_columns.at(i).key == key)
            return int(i);
    }
    return -1;
}

QString TextTableModel::cell(int row, QStringView key) const
{
    const int column = columnIndex(key);
    if (row < 0 || row >= m_rows.size() || column < 0)
        return {};
    return m_rows.at(row).at(column);
}

void TextTableModel::setCell(int row, QStringView key, const QString &text)
{
    const int column = columnIndex(key);
    if (row < 0 || row >= m_rows.size() || column < 0)
        return;
    m_rows[row][column] = text;
    const QModelIndex changed = index(row, column);
    emit dataChanged(changed, changed);
}

QStringList TextTableModel::rowCells(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row) : QStringList {};
}

int TextTableModel::appendRow(QStringList cells)
{
    const int row = int(m_rows.size());
    beginInsertRows({}, row, row);
    m_rows.append(fitted(std::move(cells)));
    endInsertRows();
    return row;
}

bool TextTableModel::removeRowAt(int row)
{
    if (row < 0 || row >= m_rows.size())
        return false;
    beginRemoveRows({}, row, row);
    m_rows.removeAt(row);
    endRemoveRows();
    return true;
}

void TextTableModel::replaceRows(QList<QStringList> rows)
{
    beginResetModel();
    m_rows.clear();
    m_rows.reserve(rows.size());
    for (QStringList &cells : rows)
        m_rows.append(fitted(std::move(cells)));
    endResetModel();
}

void TextTableModel::clear()
{
    replaceRows({});
}

QStringList TextTableModel::fitted(QStringList cells) const
{
    cells.resize(m_columns.size());
    return cells;
}

} // namespace vantiro
