#pragma once
// The song list: the grid's cells and nothing else. Seven text columns, one
// row per listed file. Cells() and setCell() number rows as the program
// does (row 0 is the header, song i is row i + 1); the Qt model's 0-based
// rows are an internal detail of this class.

#include <QAbstractTableModel>
#include <QHash>
#include <QString>
#include <array>
#include <deque>
#include <vector>

class TSongList final : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int ColCount = 7;
    enum Column { ColArtist, ColTitle, ColTime, ColSize, ColYear, ColCount_, ColLyrics };

    explicit TSongList(QObject *parent = nullptr);

    // Program numbering: RowCount() includes the header row.
    int RowCount() const { return int(m_rows.size()) + 1; }
    // Sets the number of rows, header included (at least 1). Rows that stay
    // keep their cells, so an unchanged count leaves selection and scroll
    // position alone.
    void setRowCount(int count);
    // True while setRowCount() adds or removes rows: a view's current row
    // that moves then was not moved by the user.
    bool isResizing() const { return m_resizing; }
    const QString &Cells(int col, int row) const;
    // Changes a cell without telling the view; call rowsChanged() for the
    // rows written, or setCellNow() for a single cell that must show at once.
    void setCell(int col, int row, const QString &text);
    void setCellNow(int col, int row, const QString &text);
    void rowsChanged(int firstRow, int lastRow);
    // Puts the song rows in another order, every cell along: the k-th song
    // row (0-based) takes the cells of the song row that was from[k]. The
    // view is not told; call rowsChanged().
    void moveRows(const std::vector<int> &from);

    // The artist of a song row: the nearest non-empty artist cell at or
    // above it among the song rows, or "" when there is none.
    QString artistOf(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    // The rows are most of what the program keeps for a large folder, so a
    // row holds one string, its title, which differs from row to row. The
    // artist shows on the first row of a run of songs by one artist and is
    // empty on the others: a row holds the number of its artist cell's slot
    // (0: empty), and only the cells that are not empty take one. The other
    // five columns repeat a few hundred texts ("  3.4", " 1998", "    0")
    // over thousands of rows: each such text is kept once, in a pool, and a
    // row holds its number there (0: the empty text).
    static constexpr int FirstPooled = ColTime;
    struct Row {
        QString title;
        quint32 artist = 0;
        std::array<quint32, ColCount - FirstPooled> pooled {};
    };
    quint32 pooled(const QString &text);
    void setArtist(Row &row, const QString &text);
    const QString &cellOf(const Row &row, int col) const;

    std::array<QString, ColCount> m_header;
    std::vector<Row> m_rows;
    // Deques: references stay valid as they grow.
    std::deque<QString> m_pool { QString() };
    QHash<QString, quint32> m_poolIndex;
    // A slot belongs to one row; an artist cell emptied, or its row removed,
    // gives it back for the next artist cell that needs one.
    std::deque<QString> m_artistSlots { QString() };
    std::vector<quint32> m_freeArtistSlots;
    bool m_resizing = false;
};
