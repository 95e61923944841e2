#pragma once
// The program's message boxes: a small modal window built in code with a
// standard icon, the word-wrapped message and a centred row of one to four
// buttons. MsgDialog returns the result of the button pressed.

#include <QDialog>
#include <QString>
#include <QtGlobal>

#include <initializer_list>

class QPushButton;
class QWidget;

enum TMsgKind { mkWarning, mkStop, mkInfo, mkQuestion };

// Left to right in this order.
enum TMsgButton { mbYes, mbNo, mbOK, mbCancel };

// A set of buttons, one bit per button, bit 0 = mbYes.
class TMsgButtons
{
public:
    constexpr TMsgButtons() = default;
    constexpr TMsgButtons(std::initializer_list<TMsgButton> buttons)
    {
        for (TMsgButton b : buttons)
            m_bits |= 1u << b;
    }
    constexpr bool contains(TMsgButton b) const { return (m_bits & (1u << b)) != 0; }
    constexpr unsigned bits() const { return m_bits; }

private:
    unsigned m_bits = 0;
};

// Dialog results of the buttons; a window closed by its close box gives 2.
enum TMsgResult : quint16 { mrOK = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };

class TMsgWindow final : public QDialog
{
    Q_OBJECT
public:
    // Sizes at 96 pixels per inch. The outer size counts the nominal dialog
    // frame (NominalFrame); the window manager draws its own frame, so the
    // client area is what we lay out.
    static constexpr int DefaultWidth = 360;
    static constexpr int DefaultHeight = 165;
    static constexpr int ButtonWidth = 89;
    static constexpr int ButtonHeight = 28;
    static constexpr int ButtonTop = 100;
    static constexpr int ButtonGap = 8;
    static constexpr QPoint IconPos { 10, 20 };

    explicit TMsgWindow(QWidget *parent = nullptr);
    ~TMsgWindow() override;

    // The outer size: client size plus the nominal frame.
    int outerWidth() const;
    int outerHeight() const;

    void setKind(TMsgKind Kind);
    TMsgKind kind() const { return m_kind; }
    // The button that takes the focus when it is shown.
    void setDefaultButton(TMsgButton Button) { m_defaultButton = Button; }
    TMsgButton defaultButton() const { return m_defaultButton; }

    // The message as given; CR LF pairs break it into lines, "&" marks a
    // mnemonic ("&&" shows one "&"). Text beyond the label's box is cut off.
    void setMessage(const QString &Msg);
    QString message() const;
    QWidget *messageLabel() const { return m_label; }

    // Creates the buttons of the set, focuses the default one when it is
    // among them, widens the window when the row does not fit, centres the
    // row. Called once per window.
    void createButtons(TMsgButtons Buttons);
    // The shown button, or nullptr when it is not in the set.
    QPushButton *button(TMsgButton Button) const { return m_buttons[Button]; }
    // The button Esc presses (Cancel, else No, else OK), or nullptr.
    QPushButton *cancelButton() const;
    // The first of buttons that is shown (Enter without a focused button
    // presses the first of Yes and OK), or nullptr.
    QPushButton *firstShown(std::initializer_list<int> buttons) const;

    // Scales the window, its controls and its font by M / D, rounding to
    // the nearest pixel; the icon keeps its place and size.
    void ChangeScale(int M, int D);

    // The close box and the system's close shortcut answer 2.
    void reject() override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // True when the key was one of the window's own and has been handled.
    bool handleKey(QKeyEvent *event);
    void moveFocus(int step);
    QPushButton *focusedButton() const;

    TMsgKind m_kind = mkWarning;
    TMsgButton m_defaultButton = mbOK;
    QPixmap m_icon;
    QWidget *m_label;
    QPushButton *m_buttons[4] = {};
};

// Shows a modal message window and returns the result of the button pressed
// (1 OK, 2 Cancel, 6 Yes, 7 No), or 2 when it is closed by its close box. An
// empty Title shows the application's title. The mouse cursor is the arrow
// while the window is up and comes back as it was afterwards, also when an
// error escapes.
quint16 MsgDialog(
    const QString &Msg, const QString &Title, TMsgKind Kind, TMsgButtons Buttons, TMsgButton Default);
// Text that a message shows as it is: every "&" doubled, so that a path or
// a file name ("Rock & Roll-Tune.mp3") keeps its "&" instead of underlining
// the next character. For the parts of a message that are not our own text.
QString MsgLiteral(const QString &Text);

// A question with Yes and No, No focused: 6 or 7 (2 by the close box).
quint16 MsgYesNo(const QString &Msg, const QString &Title);
// An information message with an OK button.
quint16 MsgInfo(const QString &Msg, const QString &Title);
// A warning with an OK button.
quint16 MsgWarning(const QString &Msg, const QString &Title);
