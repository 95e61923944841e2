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

quint32 TSongList::pooled(const QString &text)
{
    if (text.isEmpty())
        return 0;
    const auto found = m_poolIndex.constFind(text);
    if (found != m_poolIndex.constEnd())
        return found.value();
    const auto number = quint32(m_pool.size());
    m_pool.push_back(text);
    m_poolIndex.insert(text, number);
    return number;
}

const QString &TSongList::cellOf(const Row &row, int col) const
{
    if (col == ColArtist)
        return row.artist;
    if (col == ColTitle)
        return row.title;
    return m_pool[row.pooled[size_t(col - FirstPooled)]];
}

const QString &TSongList::Cells(int col, int row) const
{
    static const QString empty;
    if (col < 0 || col >= ColCount || row < 0 || row >= RowCount())
        return empty;
    return row == 0 ? m_header[size_t(col)] : cellOf(m_rows[size_t(row - 1)], col);
}

void TSongList::setCell(int col, int row, const QString &text)
{
    if (col < 0 || col >= ColCount || row < 0 || row >= RowCount())
        return;
    if (row == 0) {
        m_header[size_t(col)] = text;
        return;
    }
    Row &r = m_rows[size_t(row - 1)];
    if (col == ColArtist)
        r.artist = text;
    else if (col == ColTitle)
        r.title = text;
    else
        r.pooled[size_t(col - FirstPooled)] = pooled(text);
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
        const QString &artist = m_rows[size_t(r - 1)].artist;
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
        return cellOf(m_rows[size_t(index.row())], index.column());
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
