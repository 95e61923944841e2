#include "UQLXDlgs.h"

#include "MSG_Func.h"
#include "QLXApplication.h"
#include "QLXSysInfo.h"
#include "QLXWindow.h"

#include <QApplication>
#include <QDate>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStyle>
#include <QToolButton>

#include <cmath>

namespace
{

constexpr int ButtonWidth = 80;
constexpr int ButtonHeight = 25;
constexpr int ImageSize = 32;

// Half to the even neighbour: 28.5 gives 28, 47.5 gives 48.
int roundEven(double v)
{
    return int(std::nearbyint(v));
}

// A panel with an outer and an inner bevel, as the desktop's raised and
// lowered edges: shadow along the top and left of a lowered cut, light
// along its bottom and right; a raised cut the other way round.
class TBevelPanel final : public QWidget
{
public:
    TBevelPanel(QWidget *parent, TBevelCut inner, TBevelCut outer, int width)
        : QWidget(parent)
        , m_inner(inner)
        , m_outer(outer)
        , m_width(qMax(0, width))
    {
        setAutoFillBackground(true);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        QRect r = rect();
        if (m_outer != bvNone)
            drawCut(p, r, m_outer);
        if (m_inner != bvNone)
            drawCut(p, r, m_inner);
    }

private:
    void drawCut(QPainter &p, QRect &r, TBevelCut cut)
    {
        const QColor dark = palette().color(QPalette::Active, QPalette::Dark);
        const QColor light = palette().color(QPalette::Active, QPalette::Light);
        const QColor face = palette().color(QPalette::Active, QPalette::Window);
        const QColor topLeft = cut == bvLowered ? dark : cut == bvRaised ? light : face;
        const QColor bottomRight = cut == bvLowered ? light : cut == bvRaised ? dark : face;
        for (int i = 0; i < m_width && r.width() > 1 && r.height() > 1; ++i) {
            p.fillRect(QRect(r.left(), r.top(), r.width(), 1), topLeft);
            p.fillRect(QRect(r.left(), r.top(), 1, r.height()), topLeft);
            p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
            p.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
            r.adjust(1, 1, -1, -1);
        }
    }

    TBevelCut m_inner, m_outer;
    int m_width;
};

// The version line: a double click shows the version information.
class TVersionLabel final : public QLabel
{
public:
    TVersionLabel(QWidget *parent, TAboutDialog *dialog)
        : QLabel(parent)
        , m_dialog(dialog)
    {
    }

protected:
    void mouseDoubleClickEvent(QMouseEvent *) override { m_dialog->ShowVersionInformation(); }

private:
    TAboutDialog *m_dialog;
};

} // namespace

// The about window sees every key first and hands it to the dialog.
// Escape does nothing; Enter closes it.
class TAboutWindow final : public QDialog
{
public:
    explicit TAboutWindow(TAboutDialog *dialog)
        : QDialog(nullptr,
            Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint)
        , m_dialog(dialog)
    {
        setFocusPolicy(Qt::StrongFocus);
    }

protected:
    void keyPressEvent(QKeyEvent *e) override
    {
        e->accept();
        m_dialog->KeyDown(e->key(), e->modifiers());
    }

private:
    TAboutDialog *m_dialog;
};

TAboutDialog::TAboutDialog(QObject *AOwner)
    : TQLXComponent(AOwner)
    , m_author(QStringLiteral("auteur: "))
    , m_caption(QStringLiteral("Programma Informatie"))
    , m_color(QApplication::palette().color(QPalette::Active, QPalette::Window))
    , m_copyright(DefaultCopyright(QDate::currentDate().year()))
    , m_font(ArialFont(13))
    , m_hiddenColor(QApplication::palette().color(QPalette::Active, QPalette::WindowText))
    , m_progName(TQLXApplication::Title())
    , m_version(QStringLiteral("versie: "))
{
    ComponentVersion = QStringLiteral("3.5.00");
    ComponentDate = QStringLiteral("10-01-2000");
}

TAboutDialog::~TAboutDialog() = default;

QString TAboutDialog::DefaultCopyright(int year)
{
    return QStringLiteral("copyright: (c) %1 QLX").arg(year);
}

int TAboutDialog::LineUnit(const QFont &font)
{
    // A font given in pixels counts in points at 96 pixels per inch, rounded
    // as the desktop does (13 pixels is 10 points).
    const double points = font.pixelSize() > 0 ? std::floor(font.pixelSize() * 72.0 / 96.0 + 0.5)
                                               : std::max(font.pointSizeF(), 0.0);
    return roundEven(points * 1.9);
}

void TAboutDialog::setCopyright(const QString &Value)
{
    m_copyright = Value.isEmpty() ? DefaultCopyright(QDate::currentDate().year()) : Value;
}

void TAboutDialog::setDlgStyle(TDlgStyle Value)
{
    m_dlgStyle = Value;
    if (Value == dsLine) {
        m_bevelInner = bvNone;
        m_bevelOuter = bvNone;
    } else {
        m_bevelInner = bvRaised;
        m_bevelOuter = bvLowered;
    }
}

void TAboutDialog::setHiddenKey(const QString &Value)
{
    m_hiddenKey = Value.left(MaxHiddenKey).toUpper();
    m_matchPos = 1;
}

void TAboutDialog::setIcon(const QIcon &Value)
{
    m_icon = Value;
    m_appIcon = Value.isNull();
}

void TAboutDialog::Execute()
{
    const int U = LineUnit(m_font);
    TAboutWindow window(this);
    auto *panel = new TBevelPanel(&window, m_bevelInner, m_bevelOuter, m_bevelWidth);
    panel->setObjectName(QStringLiteral("pnlInfo"));
    panel->move(8, 8);

    auto *ok = new QToolButton(&window);
    ok->setObjectName(QStringLiteral("bbtOK"));
    ok->setText(QStringLiteral("OK"));
    ok->setFocusPolicy(Qt::NoFocus);
    ok->setToolButtonStyle(Qt::ToolButtonTextOnly);
    connect(ok, &QToolButton::clicked, &window, &QDialog::accept);

    QFrame *line = nullptr;
    if (m_dlgStyle == dsLine) {
        line = new QFrame(panel);
        line->setObjectName(QStringLiteral("bvlLine"));
        line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    }
    auto *image = new QLabel(panel);
    image->setObjectName(QStringLiteral("imgIcon"));
    image->setGeometry(8, 16, ImageSize, ImageSize);

    int height = U * 6 + 100;
    const int width = roundEven(height * 1.8);
    const int buttonLeft = (width - ButtonWidth) / 2;
    int buttonTop = height - 2 * ButtonHeight - 8;
    int panelTop = 8;
    const int panelWidth = width - 24;
    int panelHeight = buttonTop - 16;
    window.setFont(m_font);

    const QIcon picture = m_appIcon ? QApplication::windowIcon() : m_icon;
    if (!picture.isNull())
        image->setPixmap(picture.pixmap(ImageSize, ImageSize));
    const int X = picture.isNull() ? 16 : ImageSize + 24;

    const int tops[4] = { 16, roundEven(U * 1.5) + 16, roundEven(U * 2.5) + 16, roundEven(U * 5.0) + 16 };
    const QString names[4] = { QStringLiteral("lblName"), QStringLiteral("lblVersion"),
        QStringLiteral("lblAuthor"), QStringLiteral("lblCopyright") };
    const QString name = m_progName.trimmed().isEmpty() ? TQLXApplication::Title() : m_progName;
    const QString texts[4] = { name, m_version, m_author, m_copyright };
    for (int i = 0; i < 4; ++i) {
        QLabel *label = i == 1 ? new TVersionLabel(panel, this) : new QLabel(panel);
        label->setObjectName(names[i]);
        label->setTextFormat(Qt::PlainText);
        label->setText(texts[i]);
        label->setAlignment(m_alignment | (i == 2 ? Qt::AlignTop : Qt::AlignVCenter));
        label->setGeometry(X, tops[i], panelWidth - X - 32, i == 2 ? roundEven(U * 2.4) : U);
        label->setWordWrap(i == 2);
        if (i == 0 && m_nameBold) {
            QFont bold = m_font;
            bold.setBold(true);
            label->setFont(bold);
        }
    }

    if (m_dlgStyle == dsLine) {
        height -= 4;
        buttonTop -= 4;
        panelTop -= 8;
        panelHeight += 4;
    }
    panel->setGeometry(8, panelTop, panelWidth, panelHeight);
    if (line)
        line->setGeometry(0, panelHeight - 2, panelWidth, 2);
    ok->setGeometry(buttonLeft, buttonTop, ButtonWidth, ButtonHeight);

    if (!m_hiddenKey.isEmpty() && !m_hiddenText.isEmpty()) {
        auto *box = new QPlainTextEdit(panel);
        box->setObjectName(QStringLiteral("memHidden"));
        box->setReadOnly(true);
        box->setFrameStyle(QFrame::NoFrame);
        box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        box->setFocusPolicy(Qt::NoFocus);
        QPalette pal = box->palette();
        pal.setColor(QPalette::Base, m_color);
        pal.setColor(QPalette::Text, m_hiddenColor);
        box->setPalette(pal);
        box->setGeometry(X, 8, panelWidth - X - 8, panelHeight - 16);
        box->setPlainText(m_hiddenText.join(QLatin1Char('\n')));
        box->hide();
        m_hiddenBox = box;
    }

    window.setWindowTitle(m_caption);
    QPalette pal = window.palette();
    pal.setColor(QPalette::Window, m_color);
    window.setPalette(pal);
    // width and height are the outer size: the title bar takes its room out
    // of the height the layout above was reckoned with.
    SetFixedOuterSize(&window, QSize(width, height));
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        window.move(screen->availableGeometry().center() - QPoint(width / 2, height / 2));

    m_window = &window;
    window.exec();
    m_window = nullptr;
    m_hiddenBox = nullptr;
}

void TAboutDialog::KeyDown(int Key, Qt::KeyboardModifiers Shift)
{
    if (Key == Qt::Key_F1 && OnHelp) {
        OnHelp(this, m_window ? m_window->windowTitle() : m_caption);
        return;
    }
    if (Key == Qt::Key_Return || Key == Qt::Key_Enter) {
        if (m_window)
            m_window->accept();
        return;
    }
    const Qt::KeyboardModifiers held
        = Shift & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (!m_hiddenKey.isEmpty() && held == Qt::AltModifier) {
        // Letters and digits only: a key beyond Latin-1 (Alt itself, F1,
        // arrows) never matches.
        const QChar typed = Key > 0 && Key < 0x100 ? QChar(Key).toUpper() : QChar();
        if (!typed.isNull() && typed == m_hiddenKey.at(m_matchPos - 1)) {
            ++m_matchPos;
            if (m_matchPos > m_hiddenKey.size()) {
                m_matchPos = 1;
                DoHiddenKey();
            }
        } else {
            m_matchPos = 1;
        }
        return;
    }
    m_matchPos = 1;
}

void TAboutDialog::DoHiddenKey()
{
    if (OnHiddenKey)
        OnHiddenKey(this);
    else if (!m_hiddenText.isEmpty() && m_hiddenBox)
        m_hiddenBox->show();
}

void TAboutDialog::ShowVersionInformation()
{
    const QString text = TQLXSysInfo().VersionInformation();
    MsgInfo(text, QStringLiteral("Version information"));
}
