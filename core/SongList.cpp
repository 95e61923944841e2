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
        for (size_t r = size_t(songs); r < m_rows.size(); ++r)
            setArtist(m_rows[r], QString());
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

void TSongList::setArtist(Row &row, const QString &text)
{
    if (text.isEmpty()) {
        if (row.artist != 0) {
            m_artistSlots[row.artist] = QString();
            m_freeArtistSlots.push_back(row.artist);
            row.artist = 0;
        }
        return;
    }
    if (row.artist == 0) {
        if (m_freeArtistSlots.empty()) {
            row.artist = quint32(m_artistSlots.size());
            m_artistSlots.emplace_back();
        } else {
            row.artist = m_freeArtistSlots.back();
            m_freeArtistSlots.pop_back();
        }
    }
    m_artistSlots[row.artist] = text;
}

const QString &TSongList::cellOf(const Row &row, int col) const
{
    if (col == ColArtist)
        return m_artistSlots[row.artist];
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
        setArtist(r, text);
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

void TSongList::moveRows(const std::vector<int> &from)
{
    std::vector<Row> rows;
    rows.reserve(m_rows.size());
    for (const int r : from)
        rows.push_back(std::move(m_rows[size_t(r)]));
    m_rows = std::move(rows);
}

QString TSongList::artistOf(int row) const
{
    for (int r = std::min(row, RowCount() - 1); r >= 1; --r) {
        if (const quint32 slot = m_rows[size_t(r - 1)].artist)
            return m_artistSlots[slot];
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
