#include "MusicGrid.h"
#include "QLXApplication.h"

#include "PlayedList.h"
#include "SongList.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>

const QColor TMusicCellDelegate::Silver(192, 192, 192);
const QColor TMusicCellDelegate::Red(255, 0, 0);

TMusicGrid::TMusicGrid(TSongList *songs, const TPlayedList *played, QWidget *parent)
    : QTableView(parent)
    , m_songs(songs)
    , m_played(played)
{
    setModel(songs);
    setItemDelegate(new TMusicCellDelegate(this));
    setFont(FixedPitchFont(12));

    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setShowGrid(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setTabKeyNavigation(false);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);

    // Sizes count the one-pixel grid line that Qt draws inside each cell.
    QHeaderView *header = horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setSectionsMovable(false);
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setMinimumSectionSize(1);
    header->setFixedHeight(DefaultRowHeight + 1);
    for (int c = 0; c < 7; ++c)
        header->resizeSection(c, ColWidths[c] + 1);
    header->setStretchLastSection(false);

    QHeaderView *rows = verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumSectionSize(1);
    rows->setDefaultSectionSize(DefaultRowHeight + 1);
}

int TMusicGrid::Row() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() + 1 : 0;
}

void TMusicGrid::setRow(int row)
{
    if (row < 1 || row > model()->rowCount())
        return;
    // Every selection the program makes goes through selectCell, even when
    // the row is already the current one.
    const QModelIndex index = model()->index(row - 1, 0);
    m_selectCellSent = false;
    setCurrentIndex(index);
    scrollTo(index);
    if (!m_selectCellSent)
        Q_EMIT selectCell(0, row);
}

void TMusicGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    if (current.isValid() && current.row() != previous.row() && !m_songs->isResizing()) {
        m_selectCellSent = true;
        Q_EMIT selectCell(current.column(), current.row() + 1);
    }
}

QModelIndex TMusicGrid::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers)
{
    // Whole rows are selected, so Home and End go to the first and last song.
    const int rows = model()->rowCount();
    if (rows > 0 && cursorAction == MoveHome)
        return model()->index(0, currentIndex().isValid() ? currentIndex().column() : 0);
    if (rows > 0 && cursorAction == MoveEnd)
        return model()->index(rows - 1, currentIndex().isValid() ? currentIndex().column() : 0);
    return QTableView::moveCursor(cursorAction, modifiers);
}

void TMusicGrid::mousePressEvent(QMouseEvent *event)
{
    // The right button acts on the selected row and does not move it.
    if (event->button() != Qt::RightButton)
        QTableView::mousePressEvent(event);
    Q_EMIT mouseDown(event->button());
}

void TMusicGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    QTableView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid())
        Q_EMIT doubleClick();
}

TMusicCellDelegate::TMusicCellDelegate(const TMusicGrid *grid)
    : QStyledItemDelegate(const_cast<TMusicGrid *>(grid))
    , m_grid(grid)
{
}

bool TMusicGrid::isPlayedRow(int row) const
{
    return m_playedRow ? m_playedRow(row) : m_played->contains(songs()->Cells(TSongList::ColTitle, row));
}

void TMusicCellDelegate::paint(
    QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const TSongList *songs = m_grid->songs();
    const int row = index.row() + 1;
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette &palette = option.palette;
    QColor text = palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    if (m_grid->isPlayedRow(row))
        text = Silver;
    if (songs->Cells(TSongList::ColSize, row) == QLatin1String("Lock"))
        text = Red;

    painter->save();
    painter->fillRect(option.rect, palette.color(selected ? QPalette::Highlight : QPalette::Base));
    painter->setClipRect(option.rect);
    painter->setFont(option.font);
    painter->setPen(text);
    const QRect textRect = option.rect.adjusted(2, 2, 0, 0);
    painter->drawText(
        textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, songs->Cells(index.column(), row));
    painter->restore();
}
