#include "UQLXEdit.h"

#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

namespace
{

bool takesTabFocus(const QWidget *w, const QWidget *window)
{
    return w->window() == window && (w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && !w->focusProxy()
        && w->isEnabled() && w->isVisibleTo(window);
}

void moveFocus(QWidget *window, bool next)
{
    QWidget *start = window->focusWidget();
    if (!start)
        start = window;
    // The focus chain is a ring through every widget of the window, so
    // walking it once wraps around from the last control to the first.
    QWidget *w = start;
    do {
        w = next ? w->nextInFocusChain() : w->previousInFocusChain();
        if (takesTabFocus(w, window)) {
            w->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return;
        }
    } while (w != start);
}

} // namespace

TQLXCustomEdit::TQLXCustomEdit(QWidget *AOwner)
    : QLineEdit(AOwner)
{
}

void TQLXCustomEdit::PostFocusMove(QWidget *Window, bool Next)
{
    if (!Window)
        return;
    QPointer<QWidget> target(Window);
    QTimer::singleShot(0, Window, [target, Next] {
        if (target)
            moveFocus(target, Next);
    });
}

bool TQLXCustomEdit::defaultButtonTakesEnter() const
{
    // A dialog hands Enter to its default button once the focused control has
    // passed it on; that button takes precedence over the move.
    const auto buttons = window()->findChildren<QPushButton *>();
    for (const QPushButton *b : buttons) {
        if (b->isDefault() && b->window() == window() && b->isVisible() && b->isEnabled())
            return true;
    }
    return false;
}

void TQLXCustomEdit::keyPressEvent(QKeyEvent *e)
{
    const int key = e->key();
    if (m_upDownKeys && (key == Qt::Key_Up || key == Qt::Key_Down)) {
        PostFocusMove(window(), key == Qt::Key_Down);
        e->accept();
        return;
    }
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    // Ctrl+Enter is a line feed, not a carriage return, and Alt+Enter is a
    // system key: neither is a move.
    const bool plainEnter = enter && !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (m_enterAsTab && plainEnter && !defaultButtonTakesEnter()) {
        PostFocusMove(window(), true);
        e->accept();
        return;
    }
    QLineEdit::keyPressEvent(e);
}
