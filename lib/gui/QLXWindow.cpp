#include "QLXWindow.h"

#include <QEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace
{

// Presses the focused button when Enter reaches the window, that is when the
// button itself passed the key on (a button that is not the default one).
class TEnterPressesButton final : public QObject
{
public:
    explicit TEnterPressesButton(QWidget *window)
        : QObject(window)
        , m_window(window)
    {
        setObjectName(name());
        window->installEventFilter(this);
    }

    static QString name() { return QStringLiteral("qlxEnterPressesButton"); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_window || event->type() != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
            || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
            return false;
        auto *button = qobject_cast<QPushButton *>(m_window->focusWidget());
        if (!button || !button->hasFocus() || !button->isEnabled() || !button->isVisible())
            return false;
        button->click();
        return true;
    }

private:
    QWidget *m_window;
};

// Keeps a window's outer size while the window manager's frame comes in:
// the frame is known only some time after the window is shown, so it is
// looked at on every move and resize and, for a while, on a timer.
class TFrameKeeper final : public QObject
{
public:
    static TFrameKeeper *of(const QWidget *window)
    {
        // Named, since the class has no meta-object of its own to find it by.
        return static_cast<TFrameKeeper *>(window->findChild<QObject *>(name(), Qt::FindDirectChildrenOnly));
    }

    static TFrameKeeper *on(QWidget *window)
    {
        TFrameKeeper *keeper = of(window);
        return keeper ? keeper : new TFrameKeeper(window);
    }

    QMargins frame() const { return m_frame; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_window)
            return false;
        switch (event->type()) {
        case QEvent::Show:
            m_tries = 0;
            m_poll.start();
            check();
            break;
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::WindowActivate:
            check();
            break;
        case QEvent::Hide:
            m_poll.stop();
            break;
        default:
            break;
        }
        return false;
    }

private:
    static QString name() { return QStringLiteral("qlxFrameKeeper"); }
    static constexpr int PollInterval = 50;
    static constexpr int PollTries = 100; // about five seconds

    explicit TFrameKeeper(QWidget *window)
        : QObject(window)
        , m_window(window)
        , m_frame(NominalFrame())
    {
        setObjectName(name());
        m_poll.setInterval(PollInterval);
        connect(&m_poll, &QTimer::timeout, this, [this] {
            if (++m_tries >= PollTries)
                m_poll.stop();
            check();
        });
        window->installEventFilter(this);
    }

    void check()
    {
        const QWindow *handle = m_window->windowHandle();
        if (!handle || !m_window->isVisible())
            return;
        const QMargins drawn = handle->frameMargins();
        // No frame yet: the window manager has not framed the window (or
        // draws none), and the nominal frame stays the measure.
        if (drawn.isNull())
            return;
        m_poll.stop();
        if (drawn == m_frame)
            return;
        const QSize change(drawn.left() + drawn.right() - m_frame.left() - m_frame.right(),
            drawn.top() + drawn.bottom() - m_frame.top() - m_frame.bottom());
        m_frame = drawn;
        const bool fixed = m_window->minimumSize() == m_window->maximumSize();
        const QSize size = (m_window->size() - change).expandedTo(QSize(0, 0));
        if (fixed) {
            m_window->setFixedSize(size);
            return;
        }
        if (!m_window->minimumSize().isNull())
            m_window->setMinimumSize((m_window->minimumSize() - change).expandedTo(QSize(0, 0)));
        m_window->resize(size);
    }

    QWidget *m_window;
    QMargins m_frame;
    QTimer m_poll;
    int m_tries = 0;
};

QSize inside(const QWidget *window, QSize outer)
{
    return outer.shrunkBy(WindowFrame(window)).expandedTo(QSize(0, 0));
}

} // namespace

void EnterPressesFocusedButton(QWidget *Window)
{
    if (Window && !Window->findChild<QObject *>(TEnterPressesButton::name(), Qt::FindDirectChildrenOnly))
        new TEnterPressesButton(Window);
}

QMargins NominalFrame()
{
    return QMargins(3, 3 + 19, 3, 3);
}

QMargins WindowFrame(const QWidget *Window)
{
    const TFrameKeeper *keeper = TFrameKeeper::of(Window);
    return keeper ? keeper->frame() : NominalFrame();
}

QSize OuterSize(const QWidget *Window)
{
    return Window->size().grownBy(WindowFrame(Window));
}

void SetOuterSize(QWidget *Window, QSize Outer)
{
    TFrameKeeper::on(Window);
    Window->resize(inside(Window, Outer));
}

void SetFixedOuterSize(QWidget *Window, QSize Outer)
{
    TFrameKeeper::on(Window);
    Window->setFixedSize(inside(Window, Outer));
}

void SetMinimumOuterSize(QWidget *Window, QSize Outer)
{
    TFrameKeeper::on(Window);
    Window->setMinimumSize(inside(Window, Outer));
}
