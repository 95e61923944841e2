#include "SongList.h"

TSongList::TSongList(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void TSongList::setRowCount(int count)
{
    const int songs = std::max(count, 1) - 1;
    const int old = int(m_rows.size());
    m_resizing = true;
    if (songs > old) {
        beginInsertRows({}, old, songs - 1);
        m_rows.resize(size_t(songs));
        endInsertRows();
    } else if (songs < old) {
        beginRemoveRows({}, songs, old - 1);
        m_rows.resize(size_t(songs));
        m_rows.shrink_to_fit();
        endRemoveRows();
    }
    m_resizing = false;
}

TSongList::Row &TSongList::rowRef(int row)
{
    return row == 0 ? m_header : m_rows[size_t(row - 1)];
}

const QString &TSongList::Cells(int col, int row) const
{
    static const QString empty;
    if (col < 0 || col >= ColCount || row < 0 || row >= RowCount())
        return empty;
    return row == 0 ? m_header[size_t(col)] : m_rows[size_t(row - 1)][size_t(col)];
}

void TSongList::setCell(int col, int row, const QString &text)
{
    if (col < 0 || col >= ColCount || row < 0 || row >= RowCount())
        return;
    rowRef(row)[size_t(col)] = text;
}

void TSongList::setCellNow(int col, int row, const QString &text)
{
    setCell(col, row, text);
    if (row == 0)
        Q_EMIT headerDataChanged(Qt::Horizontal, col, col);
    else if (row < RowCount())
        Q_EMIT dataChanged(index(row - 1, col), index(row - 1, col), { Qt::DisplayRole });
}

void TSongList::rowsChanged(int firstRow, int lastRow)
{
    firstRow = std::max(firstRow, 1);
    lastRow = std::min(lastRow, RowCount() - 1);
    if (firstRow <= lastRow)
        Q_EMIT dataChanged(index(firstRow - 1, 0), index(lastRow - 1, ColCount - 1), { Qt::DisplayRole });
}

QString TSongList::artistOf(int row) const
{
    for (int r = std::min(row, RowCount() - 1); r >= 1; --r) {
        const QString &artist = m_rows[size_t(r - 1)][ColArtist];
        if (!artist.isEmpty())
            return artist;
    }
    return QString();
}

int TSongList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int TSongList::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColCount;
}

QVariant TSongList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_rows.size()) || index.column() >= ColCount)
        return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
        return m_rows[size_t(index.row())][size_t(index.column())];
    return {};
}

QVariant TSongList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColCount)
        return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
        return m_header[size_t(section)];
    return {};
}

Qt::ItemFlags TSongList::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}
