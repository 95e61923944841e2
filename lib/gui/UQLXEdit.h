#pragma once
// TQLXEdit: a single-line edit for data-entry forms. Enter moves the focus to
// the next field and Up/Down to the previous/next one, so a form of edits can
// be filled in without the mouse or the Tab key.

#include <QLineEdit>

class TQLXCustomEdit : public QLineEdit
{
    Q_OBJECT
    Q_PROPERTY(bool EnterAsTab READ EnterAsTab WRITE setEnterAsTab)
    Q_PROPERTY(bool UpDownKeys READ UpDownKeys WRITE setUpDownKeys)
public:
    // An edit with both features on.
    explicit TQLXCustomEdit(QWidget *AOwner = nullptr);

    // Enter (also Shift+Enter, not Ctrl+ or Alt+Enter) moves the focus to the
    // next control, unless a visible, enabled default button of the window
    // takes the key first. Off: Enter is left to the standard handling.
    bool EnterAsTab() const { return m_enterAsTab; }
    void setEnterAsTab(bool Value) { m_enterAsTab = Value; }
    // Up and Down, whatever modifier keys are held, move the focus to the
    // previous and next control instead of reaching the edit.
    bool UpDownKeys() const { return m_upDownKeys; }
    void setUpDownKeys(bool Value) { m_upDownKeys = Value; }

    // Posts a request to move the focus of Window from its focused control to
    // the next (or previous) control in tab order that takes the Tab key,
    // wrapping around at the ends. It is carried out when the event loop is
    // next served, after the current key event has finished.
    static void PostFocusMove(QWidget *Window, bool Next);

protected:
    void keyPressEvent(QKeyEvent *e) override;

private:
    bool defaultButtonTakesEnter() const;

    bool m_enterAsTab = true;
    bool m_upDownKeys = true;
};

// Adds nothing; the class forms use.
class TQLXEdit : public TQLXCustomEdit
{
    Q_OBJECT
public:
    using TQLXCustomEdit::TQLXCustomEdit;
};
