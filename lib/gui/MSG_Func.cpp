#include "MSG_Func.h"

#include "Mnemonics.h"
#include "QLXApplication.h"
#include "QLXWindow.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include <memory>

namespace
{

struct ButtonInfo {
    const char *caption;
    TMsgResult result;
};

constexpr ButtonInfo kButtons[4] = {
    { "&Yes", mrYes },
    { "&No", mrNo },
    { "&OK", mrOK },
    { "&Cancel", mrCancel },
};

// Rounds a * m / d to the nearest integer, halves away from zero.
int mulDiv(int a, int m, int d)
{
    const qint64 p = qint64(a) * m;
    return int(p >= 0 ? (p + d / 2) / d : -((-p + d / 2) / d));
}

QRect scaled(const QRect &r, int m, int d)
{
    return QRect(mulDiv(r.x(), m, d), mulDiv(r.y(), m, d), mulDiv(r.width(), m, d), mulDiv(r.height(), m, d));
}

// A static text: word-wrapped from the top left, "&" underlining the next
// character, and whatever does not fit in the box cut off. It takes no focus
// and has no shortcut of its own, so it never competes with the buttons.
class TMsgLabel final : public QWidget
{
public:
    explicit TMsgLabel(QWidget *parent)
        : QWidget(parent)
    {
        setFocusPolicy(Qt::NoFocus);
        setObjectName(QStringLiteral("lblMessage"));
    }

    QString text() const { return m_text; }
    void setText(const QString &text)
    {
        if (text == m_text)
            return;
        m_text = text;
        // Line breaks may come as CR LF or a lone CR; the painter wants LF.
        m_drawn = text;
        m_drawn.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        m_drawn.replace(u'\r', u'\n');
        setAccessibleName(WithoutMnemonics(m_drawn));
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setClipRect(rect());
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(rect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextShowMnemonic, m_drawn);
    }

private:
    QString m_text;
    QString m_drawn;
};

QStyle::StandardPixmap iconOf(TMsgKind kind)
{
    switch (kind) {
    case mkWarning:
        return QStyle::SP_MessageBoxWarning;
    case mkStop:
        return QStyle::SP_MessageBoxCritical;
    case mkInfo:
        return QStyle::SP_MessageBoxInformation;
    case mkQuestion:
        return QStyle::SP_MessageBoxQuestion;
    }
    return QStyle::SP_MessageBoxWarning;
}

// The arrow while a message window is up, whatever the program showed
// before; the previous cursor comes back however the call ends.
class ArrowCursor
{
public:
    ArrowCursor() { QApplication::setOverrideCursor(Qt::ArrowCursor); }
    ~ArrowCursor() { QApplication::restoreOverrideCursor(); }
    ArrowCursor(const ArrowCursor &) = delete;
    ArrowCursor &operator=(const ArrowCursor &) = delete;
};

} // namespace

TMsgWindow::TMsgWindow(QWidget *parent)
    : QDialog(parent,
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("MsgWindow"));
    setModal(true);
    setSizeGripEnabled(false);
    setFixedSize(QSize(DefaultWidth, DefaultHeight).shrunkBy(NominalFrame()));

    setFont(ArialFont(13));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    setPalette(pal);
    setAutoFillBackground(true);

    m_label = new TMsgLabel(this);
    m_label->setGeometry(70, 20, DefaultWidth - 90, DefaultHeight - 100);
    installEventFilter(this);
    setKind(mkWarning);
}

TMsgWindow::~TMsgWindow() = default;

int TMsgWindow::outerWidth() const
{
    return size().grownBy(NominalFrame()).width();
}

int TMsgWindow::outerHeight() const
{
    return size().grownBy(NominalFrame()).height();
}

void TMsgWindow::setKind(TMsgKind Kind)
{
    m_kind = Kind;
    m_icon = style()->standardIcon(iconOf(Kind), nullptr, this).pixmap(QSize(32, 32));
    update();
}

void TMsgWindow::setMessage(const QString &Msg)
{
    static_cast<TMsgLabel *>(m_label)->setText(Msg);
}

QString TMsgWindow::message() const
{
    return static_cast<TMsgLabel *>(m_label)->text();
}

void TMsgWindow::createButtons(TMsgButtons Buttons)
{
    int shown = 0;
    for (int b = mbYes; b <= mbCancel; ++b) {
        if (!Buttons.contains(TMsgButton(b)))
            continue;
        auto *button = new QPushButton(QString::fromLatin1(kButtons[b].caption), this);
        button->setObjectName(
            QStringLiteral("btn") + WithoutMnemonics(QString::fromLatin1(kButtons[b].caption)));
        button->setGeometry(0, ButtonTop, ButtonWidth, ButtonHeight);
        // Reachable by click, mnemonic and the arrow keys, never by Tab.
        button->setFocusPolicy(Qt::ClickFocus);
        button->installEventFilter(this);
        const TMsgResult result = kButtons[b].result;
        connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
        m_buttons[b] = button;
        ++shown;
    }
    if (m_buttons[m_defaultButton])
        m_buttons[m_defaultButton]->setFocus();

    const int total = shown * (ButtonWidth + ButtonGap);
    if (total > outerWidth())
        setFixedWidth(total + 16 - NominalFrame().left() - NominalFrame().right());
    int x = (width() - total) / 2 + 4;
    for (QPushButton *button : m_buttons) {
        if (!button)
            continue;
        button->move(x, button->y());
        x += button->width() + ButtonGap;
    }
}

QPushButton *TMsgWindow::firstShown(std::initializer_list<int> buttons) const
{
    for (const int b : buttons)
        if (m_buttons[b])
            return m_buttons[b];
    return nullptr;
}

QPushButton *TMsgWindow::cancelButton() const
{
    return firstShown({ mbCancel, mbNo, mbOK });
}

void TMsgWindow::ChangeScale(int M, int D)
{
    if (M == D || D == 0)
        return;
    setFixedSize(mulDiv(width(), M, D), mulDiv(height(), M, D));
    for (QWidget *child : findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        child->setGeometry(scaled(child->geometry(), M, D));
    QFont f = font();
    f.setPixelSize(mulDiv(f.pixelSize(), M, D));
    setFont(f);
}

void TMsgWindow::reject()
{
    done(mrCancel);
}

void TMsgWindow::paintEvent(QPaintEvent *event)
{
    QDialog::paintEvent(event);
    QPainter p(this);
    p.drawPixmap(IconPos, m_icon);
}

void TMsgWindow::keyPressEvent(QKeyEvent *event)
{
    if (!handleKey(event))
        QDialog::keyPressEvent(event);
}

bool TMsgWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && (watched == this || qobject_cast<QPushButton *>(watched)))
        return handleKey(static_cast<QKeyEvent *>(event));
    return QDialog::eventFilter(watched, event);
}

QPushButton *TMsgWindow::focusedButton() const
{
    for (QPushButton *button : m_buttons)
        if (button && button->hasFocus())
            return button;
    return nullptr;
}

void TMsgWindow::moveFocus(int step)
{
    QList<QPushButton *> shown;
    for (QPushButton *button : m_buttons)
        if (button)
            shown.append(button);
    if (shown.isEmpty())
        return;
    const qsizetype at = shown.indexOf(focusedButton());
    // From no focus, the first step lands on the first or last button; the
    // row wraps around at both ends, as a dialog's group of buttons does.
    qsizetype next = at < 0 ? (step > 0 ? 0 : shown.size() - 1) : (at + step + shown.size()) % shown.size();
    shown[next]->setFocus(Qt::OtherFocusReason);
}

bool TMsgWindow::handleKey(QKeyEvent *event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        if (mods != Qt::NoModifier)
            return false;
        QPushButton *target = focusedButton();
        if (!target)
            target = firstShown({ mbYes, mbOK });
        if (target)
            target->click();
        return true;
    }
    case Qt::Key_Escape:
        if (mods != Qt::NoModifier)
            return false;
        if (QPushButton *target = cancelButton())
            target->click();
        return true; // never the dialog's own Esc, which would answer 0
    case Qt::Key_Right:
    case Qt::Key_Down:
        moveFocus(+1);
        return true;
    case Qt::Key_Left:
    case Qt::Key_Up:
        moveFocus(-1);
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return true; // no button is a tab stop
    default:
        return false;
    }
}

quint16 MsgDialog(
    const QString &Msg, const QString &Title, TMsgKind Kind, TMsgButtons Buttons, TMsgButton Default)
{
    ArrowCursor arrow;
    // Owned here, so it is gone before the call returns, however it ends.
    auto window = std::make_unique<TMsgWindow>();
    window->setKind(Kind);
    window->setDefaultButton(Default);
    window->setWindowTitle(Title.isEmpty() ? TQLXApplication::Title() : Title);
    window->setMessage(Msg);
    window->createButtons(Buttons);

    QScreen *screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        // Qt already maps device pixels to logical ones; what remains of the
        // screen's pixels per inch beyond 96 is ours to scale by.
        window->ChangeScale(qRound(screen->logicalDotsPerInch()), 96);
        const QRect area = screen->availableGeometry();
        window->move(area.center() - QPoint(window->outerWidth() / 2, window->outerHeight() / 2));
    }
    const int result = window->exec();
    return quint16(result);
}

QString MsgLiteral(const QString &Text)
{
    QString literal = Text;
    return literal.replace(u'&', QStringLiteral("&&"));
}

quint16 MsgYesNo(const QString &Msg, const QString &Title)
{
    return MsgDialog(Msg, Title, mkQuestion, { mbYes, mbNo }, mbNo);
}

quint16 MsgInfo(const QString &Msg, const QString &Title)
{
    return MsgDialog(Msg, Title, mkInfo, { mbOK }, mbOK);
}

quint16 MsgWarning(const QString &Msg, const QString &Title)
{
    return MsgDialog(Msg, Title, mkWarning, { mbOK }, mbOK);
}
