#pragma once
// The song grid: the song list shown as a table with a fixed header row,
// whole-row selection and no editing. Played rows are drawn in silver and
// the playing row (size cell "Lock") in red; red wins.

#include <QStyledItemDelegate>
#include <QTableView>

class TSongList;
#include <functional>

class TPlayedList;

class TMusicGrid final : public QTableView
{
    Q_OBJECT
public:
    static constexpr int ColWidths[7] = { 172, 240, 57, 50, 50, 50, 17 };
    static constexpr int DefaultRowHeight = 17;

    TMusicGrid(TSongList *songs, const TPlayedList *played, QWidget *parent);

    // The selected row, program numbering (1 = first song), 0 when none.
    int Row() const;
    // Selects row (program numbering) and scrolls it into view.
    void setRow(int row);
    TSongList *songs() const { return m_songs; }
    const TPlayedList *played() const { return m_played; }
    // Whether the song in row was seen playing; unset: its title is in the
    // played list.
    void setPlayedRow(std::function<bool(int row)> playedRow) { m_playedRow = std::move(playedRow); }
    bool isPlayedRow(int row) const;

    // The grid's hint: "|" + artist + " - " + title of the selected song.
    QString Hint;

Q_SIGNALS:
    // The selection is moving to row (program numbering).
    void selectCell(int col, int row);
    void mouseDown(Qt::MouseButton button);
    void doubleClick();

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    TSongList *m_songs;
    const TPlayedList *m_played;
    std::function<bool(int)> m_playedRow;
    bool m_selectCellSent = false;
};

// Draws one cell: background, then the text 2 pixels right and down from
// the cell's corner, clipped, in the colour of the row's mark.
class TMusicCellDelegate final : public QStyledItemDelegate
{
    Q_OBJECT
public:
    TMusicCellDelegate(const TMusicGrid *grid);
    void paint(
        QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    static const QColor Silver;
    static const QColor Red;

private:
    const TMusicGrid *m_grid;
};
