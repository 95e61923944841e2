#include "UQLXMemo.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QTextBlock>

#include <limits>

namespace
{

// A dialog unit: a quarter of the average character width of the font.
qreal dialogUnit(const QFontMetrics &fm)
{
    return fm.averageCharWidth() / 4.0;
}

constexpr int DefaultTabDialogUnits = 32;

} // namespace

TQLXMemo::TQLXMemo(QWidget *AOwner)
    : QPlainTextEdit(AOwner)
{
    applyTabStops();
}

void TQLXMemo::setTabWidth(int Value)
{
    if (Value < 0)
        Value = 0;
    if (Value == m_tabWidth)
        return;
    m_tabWidth = Value;
    applyTabStops();
}

void TQLXMemo::applyTabStops()
{
    const int units = m_tabWidth != 0 ? m_tabWidth : DefaultTabDialogUnits;
    setTabStopDistance(units * dialogUnit(QFontMetrics(font())));
}

int TQLXMemo::TextLength() const
{
    // characterCount() holds one separator per line plus a final one.
    const qint64 chars = qint64(document()->characterCount()) - 1;
    const qint64 breaks = document()->blockCount() - 1;
    return int(qMin<qint64>(chars + breaks, std::numeric_limits<int>::max()));
}

void TQLXMemo::Update()
{
    repaint();
    UpdatePosition();
}

void TQLXMemo::UpdatePosition()
{
    const QTextCursor caret = textCursor();
    const int selStart = caret.selectionStart();
    m_row = document()->findBlock(selStart).blockNumber();
    const int lineStart = caret.block().position();
    // A selection that runs downward leaves the caret on a later line than
    // its start; the column then stays what it was.
    if (lineStart <= selStart)
        m_col = selStart - lineStart;
    if (OnPosChanged)
        OnPosChanged(this, m_row + 1, m_col + 1);
}

void TQLXMemo::focusInEvent(QFocusEvent *e)
{
    QPlainTextEdit::focusInEvent(e);
    UpdatePosition();
}

void TQLXMemo::mouseReleaseEvent(QMouseEvent *e)
{
    QPlainTextEdit::mouseReleaseEvent(e);
    if (e->button() == Qt::LeftButton)
        UpdatePosition();
}

void TQLXMemo::keyReleaseEvent(QKeyEvent *e)
{
    QPlainTextEdit::keyReleaseEvent(e);
    // A held key repeats press and release; only the real release counts.
    if (!e->isAutoRepeat())
        UpdatePosition();
}

void TQLXMemo::changeEvent(QEvent *e)
{
    QPlainTextEdit::changeEvent(e);
    if (e->type() == QEvent::FontChange)
        applyTabStops();
}
