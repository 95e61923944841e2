#include "UQLXStd.h"

#include "Mnemonics.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QGuiApplication>
#include <QKeySequence>
#include <QPainter>
#include <QShortcutEvent>

#include <initializer_list>

namespace
{

// Blank space between the label's edge and its text on every side.
constexpr int kInset = 2;
// Extra space on the aligned side when SpacePrefix is on.
constexpr int kSpacePrefix = 4;
// Longest part of the caption that is drawn or measured.
constexpr qsizetype kMaxDrawnChars = 255;

int floorHalf(int n)
{
    return n >= 0 ? n / 2 : -((-n + 1) / 2);
}

// Draws the horizontal and vertical segments through Points in Colour, one
// pixel wide, leaving out the very last point, as the desktop's polylines do:
// the frame's corner pixels depend on that.
void polyline(QPainter &p, const QColor &Colour, std::initializer_list<QPoint> Points)
{
    auto it = Points.begin();
    QPoint from = *it;
    for (++it; it != Points.end(); ++it) {
        const QPoint to = *it;
        Q_ASSERT(from.x() == to.x() || from.y() == to.y());
        // Every pixel from "from" up to, but not including, "to".
        if (from.y() == to.y() && from.x() < to.x())
            p.fillRect(QRect(from.x(), from.y(), to.x() - from.x(), 1), Colour);
        else if (from.y() == to.y() && from.x() > to.x())
            p.fillRect(QRect(to.x() + 1, from.y(), from.x() - to.x(), 1), Colour);
        else if (from.y() < to.y())
            p.fillRect(QRect(from.x(), from.y(), 1, to.y() - from.y()), Colour);
        else if (from.y() > to.y())
            p.fillRect(QRect(from.x(), to.y() + 1, 1, from.y() - to.y()), Colour);
        from = to;
    }
}

// C1 along the left and top edges of (L, T, R, B), C2 along the right and bottom.
void boxOutline(QPainter &p, int L, int T, int R, int B, const QColor &C1, const QColor &C2)
{
    polyline(p, C1, { QPoint(L, B), QPoint(L, T), QPoint(R, T) });
    polyline(p, C2, { QPoint(R, T), QPoint(R, B), QPoint(L, B) });
}

// Screen readers read the label as static text named by its caption.
class TBoxLabelAccessible final : public QAccessibleWidget
{
public:
    explicit TBoxLabelAccessible(TBoxLabel *w)
        : QAccessibleWidget(w, QAccessible::StaticText)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name)
            return QAccessibleWidget::text(t);
        QString name = widget()->accessibleName();
        if (name.isEmpty()) {
            const auto *label = static_cast<const TBoxLabel *>(widget());
            name = label->ShowAccelChar() ? WithoutMnemonics(label->Caption()) : label->Caption();
        }
        return name;
    }
};

QAccessibleInterface *boxLabelAccessibleFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String(TBoxLabel::staticMetaObject.className()))
        if (auto *label = qobject_cast<TBoxLabel *>(object))
            return new TBoxLabelAccessible(label);
    return nullptr;
}

} // namespace

TBoxLabel::TBoxLabel(QWidget *AOwner)
    : QWidget(AOwner)
{
    static const bool accessibleRegistered = [] {
        QAccessible::installFactory(boxLabelAccessibleFactory);
        return true;
    }();
    Q_UNUSED(accessibleRegistered);

    setFocusPolicy(Qt::NoFocus);
    // The label paints every pixel itself unless it is transparent.
    setAttribute(Qt::WA_OpaquePaintEvent, true);
    setGeometry(-1, -1, 100, 17);
}

TBoxLabel::~TBoxLabel() = default;

void TBoxLabel::setCaption(const QString &Value)
{
    if (Value == m_caption)
        return;
    m_caption = Value;
    update();
    AdjustBounds();
    updateGeometry();
    updateShortcut();
    QAccessibleEvent ev(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&ev);
}

void TBoxLabel::setAlignment(Qt::Alignment Value)
{
    if (Value & Qt::AlignRight)
        Value = Qt::AlignRight;
    else if (Value & Qt::AlignHCenter)
        Value = Qt::AlignHCenter;
    else
        Value = Qt::AlignLeft;
    if (Value == m_alignment)
        return;
    m_alignment = Value;
    update();
    updateGeometry();
}

void TBoxLabel::setAutoSize(bool Value)
{
    if (Value == m_autoSize)
        return;
    m_autoSize = Value;
    AdjustBounds();
}

void TBoxLabel::setBorderShape(TBoxLabelShape Value)
{
    if (Value == m_borderShape)
        return;
    m_borderShape = Value;
    if (Value == blNoShape)
        m_borderStyle = blNoStyle;
    else if (m_borderStyle == blNoStyle)
        m_borderStyle = blLowered;
    update();
}

void TBoxLabel::setBorderStyle(TBoxLabelStyle Value)
{
    if (Value == m_borderStyle)
        return;
    m_borderStyle = Value;
    if (Value == blNoStyle)
        m_borderShape = blNoShape;
    else if (m_borderShape == blNoShape)
        m_borderShape = blBox;
    update();
}

void TBoxLabel::setCenterVertical(bool Value)
{
    if (Value == m_centerVertical)
        return;
    m_centerVertical = Value;
    update();
}

void TBoxLabel::setFocusControl(QWidget *Value)
{
    if (Value == m_focusControl)
        return;
    disconnect(m_focusControlDestroyed);
    if (m_focusControl)
        m_focusControl->removeEventFilter(this);
    m_focusControl = Value;
    if (Value) {
        // Its enabled and visible state decide whether the accelerator is ours.
        Value->installEventFilter(this);
        m_focusControlDestroyed = connect(Value, &QObject::destroyed, this, [this] {
            m_focusControl = nullptr;
            updateShortcut();
        });
    }
    updateShortcut();
}

void TBoxLabel::setShowAccelChar(bool Value)
{
    if (Value == m_showAccelChar)
        return;
    m_showAccelChar = Value;
    update();
    updateGeometry();
    updateShortcut();
    // The name read aloud drops or keeps the "&".
    QAccessibleEvent ev(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&ev);
}

void TBoxLabel::setSpacePrefix(bool Value)
{
    if (Value == m_spacePrefix)
        return;
    m_spacePrefix = Value;
    update();
    updateGeometry();
}

void TBoxLabel::setTransparent(bool Value)
{
    if (Value == m_transparent)
        return;
    m_transparent = Value;
    setAttribute(Qt::WA_OpaquePaintEvent, !Value);
    update();
}

void TBoxLabel::setWordWrap(bool Value)
{
    if (Value == m_wordWrap)
        return;
    m_wordWrap = Value;
    AdjustBounds();
    updateGeometry();
}

void TBoxLabel::DoDrawText(QRect &Rect, int Flags, QPainter *Painter) const
{
    QString text = m_caption.left(kMaxDrawnChars);
    // An empty label still measures one line high.
    if (!Painter && (text.isEmpty() || (m_showAccelChar && text == u"&")))
        text = QStringLiteral(" ");
    if (m_showAccelChar)
        Flags |= Qt::TextShowMnemonic;

    const QFontMetrics fm(font());
    const int lineHeight
        = fm.boundingRect(QRect(), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("W")).height();

    // Edges as offsets: right and bottom are one past the last pixel.
    int left = Rect.left() + kInset;
    int top = Rect.top() + kInset;
    int right = Rect.left() + Rect.width() - kInset;
    int bottom = Rect.top() + Rect.height() - kInset;
    if (m_centerVertical) {
        // One line high, centred; a label lower than a line shows the middle
        // of the line, and further lines of a wrapped text are clipped.
        top = floorHalf(top + bottom - lineHeight);
        bottom = top + lineHeight;
    }
    if (m_spacePrefix) {
        if (m_alignment == Qt::AlignLeft)
            left += kSpacePrefix;
        else if (m_alignment == Qt::AlignRight)
            right -= kSpacePrefix;
    }

    if (!Painter) {
        const QRect extent = fm.boundingRect(QRect(left, top, qMax(0, right - left), qMax(0, bottom - top)),
            Flags | Qt::AlignLeft | Qt::AlignTop, text);
        Rect = QRect(left, top, extent.width(), extent.height());
        return;
    }

    Rect = QRect(left, top, right - left, bottom - top);
    if (Rect.isEmpty())
        return;
    const QColor colour = isEnabled() ? palette().color(QPalette::Active, foregroundRole())
                                      : QGuiApplication::palette().color(QPalette::Disabled, QPalette::Text);
    Painter->save();
    Painter->setClipRect(Rect, Qt::IntersectClip);
    Painter->setFont(font());
    Painter->setPen(colour);
    Painter->drawText(Rect, Flags | Qt::AlignTop, text);
    Painter->restore();
}

QSize TBoxLabel::textBoundsSize() const
{
    QRect r = rect();
    DoDrawText(r, Qt::TextExpandTabs | (m_wordWrap ? Qt::TextWordWrap : 0), nullptr);
    const int prefix = m_spacePrefix && m_alignment != Qt::AlignHCenter ? kSpacePrefix : 0;
    // The insets on both sides, so that the painted text fits the rectangle
    // it was measured in and is neither wrapped nor cut.
    return QSize(r.width() + 2 * kInset + prefix, r.height() + 2 * kInset);
}

QSize TBoxLabel::sizeHint() const
{
    return textBoundsSize();
}

void TBoxLabel::AdjustBounds()
{
    if (!m_autoSize)
        return;
    const QSize size = textBoundsSize();
    int x = this->x();
    if (m_alignment == Qt::AlignRight)
        x += width() - size.width();
    setGeometry(x, y(), size.width(), size.height());
}

void TBoxLabel::updateShortcut()
{
    if (m_shortcutId != 0) {
        releaseShortcut(m_shortcutId);
        m_shortcutId = 0;
    }
    // Without a focus control the key is left to whoever else wants it.
    if (!m_showAccelChar || !m_focusControl)
        return;
    const QKeySequence key = QKeySequence::mnemonic(m_caption);
    if (key.isEmpty())
        return;
    m_shortcutId = grabShortcut(key, Qt::WindowShortcut);
    setShortcutEnabled(m_shortcutId, focusControlCanTakeFocus());
}

bool TBoxLabel::focusControlCanTakeFocus() const
{
    const QWidget *target = m_focusControl;
    return target && target->isVisible() && target->isEnabled() && target->focusPolicy() != Qt::NoFocus;
}

bool TBoxLabel::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == m_focusControl && m_shortcutId != 0) {
        switch (e->type()) {
        case QEvent::EnabledChange:
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::ShowToParent:
        case QEvent::HideToParent:
            setShortcutEnabled(m_shortcutId, focusControlCanTakeFocus());
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, e);
}

bool TBoxLabel::event(QEvent *e)
{
    // The shortcut is held only while there is a control able to take the
    // focus, and Qt does not deliver it to a hidden or disabled label: in all
    // other cases the key reaches the other controls. A focus policy changed
    // to NoFocus sends no event, hence the check here.
    if (e->type() == QEvent::Shortcut && m_shortcutId != 0
        && static_cast<QShortcutEvent *>(e)->shortcutId() == m_shortcutId) {
        if (focusControlCanTakeFocus())
            m_focusControl->setFocus(Qt::ShortcutFocusReason);
        return true;
    }
    return QWidget::event(e);
}

void TBoxLabel::changeEvent(QEvent *e)
{
    QWidget::changeEvent(e);
    if (e->type() == QEvent::FontChange)
        AdjustBounds();
}

void TBoxLabel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    if (!m_transparent)
        p.fillRect(rect(), palette().color(QPalette::Active, backgroundRole()));

    QRect textRect = rect();
    DoDrawText(textRect, Qt::TextExpandTabs | Qt::TextWordWrap | int(m_alignment), &p);

    // The frame comes after the text, so the text never covers it.
    const QColor shadow = palette().color(QPalette::Active, QPalette::Dark);
    const QColor highlight = palette().color(QPalette::Active, QPalette::Light);
    const QColor c1 = m_borderStyle == blLowered ? shadow : highlight;
    const QColor c2 = m_borderStyle == blLowered ? highlight : shadow;
    const int w = width();
    const int h = height();
    switch (m_borderShape) {
    case blNoShape:
        break;
    case blBox:
        boxOutline(p, 0, 0, w - 1, h - 1, c1, c2);
        break;
    case blFrame:
        // Etched: a C1 rectangle over a C2 one offset by a pixel.
        boxOutline(p, 1, 1, w - 1, h - 1, c2, c2);
        boxOutline(p, 0, 0, w - 2, h - 2, c1, c1);
        break;
    case blTopLine:
        polyline(p, c1, { QPoint(0, 0), QPoint(w, 0) });
        polyline(p, c2, { QPoint(0, 1), QPoint(w, 1) });
        break;
    case blBottomLine:
        polyline(p, c1, { QPoint(0, h - 2), QPoint(w, h - 2) });
        polyline(p, c2, { QPoint(0, h - 1), QPoint(w, h - 1) });
        break;
    case blLeftLine:
        polyline(p, c1, { QPoint(0, 0), QPoint(0, h) });
        polyline(p, c2, { QPoint(1, 0), QPoint(1, h) });
        break;
    case blRightLine:
        polyline(p, c1, { QPoint(w - 2, 0), QPoint(w - 2, h) });
        polyline(p, c2, { QPoint(w - 1, 0), QPoint(w - 1, h) });
        break;
    }
}
