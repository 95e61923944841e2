#include "MainStatus.h"

#include "MusicGrid.h"
#include "SongList.h"
#include "StatusBar.h"

#include <QTimer>

TMainStatus::TMainStatus(const Parts &parts, QObject *parent)
    : QObject(parent)
    , m_parts(parts)
{
    connect(m_parts.sgrMusic, &TMusicGrid::selectCell, this, [this](int, int row) { SelectCell(row); });
}

void TMainStatus::setApplicationHint(const QString &hint)
{
    m_applicationHint = hint;
    ShowHint();
}

void TMainStatus::SelectCell(int row)
{
    TMusicGrid *grid = m_parts.sgrMusic;
    if (row != m_lastSelectedRow) {
        m_lastSelectedRow = row;
        const QString artist = m_parts.songs->artistOf(row);
        grid->Hint = QStringLiteral("|") + artist + QStringLiteral(" - ")
            + m_parts.songs->Cells(TSongList::ColTitle, row);
        grid->setStatusTip(grid->Hint.mid(1));
        // With the mouse resting on the grid, its hint is the application's
        // hint: keep that one current too, or the status bar shows the old song.
        if (grid->underMouse())
            m_applicationHint = grid->statusTip();
    }
    ShowHint();
    m_parts.stbStatus->Panels[1]->setText(
        QStringLiteral("%1 / %2").arg(row).arg(m_parts.songs->RowCount() - 1));
}

void TMainStatus::ShowHint()
{
    const TMusicGrid *grid = m_parts.sgrMusic;
    const qsizetype bar = m_applicationHint.indexOf(QLatin1Char('|'));
    const QString hint = bar < 0 ? m_applicationHint : m_applicationHint.mid(bar + 1);
    if (!hint.isEmpty())
        m_parts.stbStatus->Panels[0]->setText(QLatin1Char(' ') + hint);
    else
        m_parts.stbStatus->Panels[0]->setText(
            QLatin1Char(' ') + grid->Hint.mid(grid->Hint.indexOf(QLatin1Char('|')) + 1));
    m_parts.stbStatus->Panels[1]->setText(
        QStringLiteral("%1 / %2").arg(grid->Row()).arg(m_parts.songs->RowCount() - 1));
}

bool TMainStatus::movesShown() const
{
    return !m_movesText.isEmpty() && m_parts.stbStatus->Panels[0]->text() == m_movesText;
}

void TMainStatus::showMoves(const QString &moved, bool shown)
{
    // Once the activation that ran the scan has selected its row (which
    // shows the selected song); the next hint replaces it.
    if (!moved.isEmpty()) {
        m_movesText = QLatin1Char(' ') + moved;
        QTimer::singleShot(0, this, [this] { m_parts.stbStatus->Panels[0]->setText(m_movesText); });
    } else if (!shown) {
        m_movesText.clear();
    }
}

void TMainStatus::rowsChanged()
{
    // Its hint is made anew from the cells as they are now.
    const int row = m_parts.sgrMusic->Row();
    if (row < 1 || row >= m_parts.songs->RowCount()) {
        ShowHint();
        return;
    }
    m_lastSelectedRow = -1;
    SelectCell(row);
}

void TMainStatus::showNote(const QString &note)
{
    if (!note.isEmpty())
        QTimer::singleShot(
            0, this, [this, note] { m_parts.stbStatus->Panels[0]->setText(QLatin1Char(' ') + note); });
}
