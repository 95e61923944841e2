#pragma once
// TQLXMemo: a multi-line text control that reports the caret's line and
// column after every user action that can move it, has a settable tab width
// and reports its text length.

#include <QPlainTextEdit>
#include <functional>

// Sender's caret is now in line ARow, column ACol, both counted from 1.
using TPositionNotifyEvent = std::function<void(QObject *Sender, int ARow, int ACol)>;

class TQLXMemo : public QPlainTextEdit
{
    Q_OBJECT
    Q_PROPERTY(bool CaseSensitive READ CaseSensitive WRITE setCaseSensitive)
    Q_PROPERTY(int TabWidth READ TabWidth WRITE setTabWidth)
    Q_PROPERTY(int TextLength READ TextLength WRITE setTextLength STORED false)
public:
    explicit TQLXMemo(QWidget *AOwner = nullptr);

    // Kept for the memo's users; nothing in the memo depends on it.
    bool CaseSensitive() const { return m_caseSensitive; }
    void setCaseSensitive(bool Value) { m_caseSensitive = Value; }

    // Distance between tab stops in dialog units (a quarter of the font's
    // average character width). A negative value is taken as 0; 0 restores
    // the default stops, every 32 dialog units (8 average characters).
    int TabWidth() const { return m_tabWidth; }
    void setTabWidth(int Value);

    // Characters of the whole text, each line break counted as two (carriage
    // return and line feed). Writing it changes nothing.
    int TextLength() const;
    void setTextLength(int) { }

    TPositionNotifyEvent OnPosChanged;

    // Repaints at once, then reports the caret position.
    void Update();
    void Repaint() { Update(); }

    // The caret position as last reported, 0-based.
    int CurrentRow() const { return m_row; }
    int CurrentCol() const { return m_col; }

protected:
    void focusInEvent(QFocusEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void keyReleaseEvent(QKeyEvent *e) override;
    void changeEvent(QEvent *e) override;

private:
    void UpdatePosition();
    void applyTabStops();

    int m_row = 0;
    int m_col = 0;
    int m_tabWidth = 0;
    bool m_caseSensitive = false;
};
