#include "TfrmLogFile.h"

#include "DTM_Func.h"
#include "MSG_Func.h"
#include "QLXApplication.h"
#include "QLXError.h"
#include "QLXWindow.h"
#include "UQLXMemo.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>

namespace
{

constexpr int BottomHeight = 43;
constexpr int ButtonsWidth = 188;
constexpr int TextInset = 8;
constexpr int PrintLeft = 100;

QPushButton *makeButton(
    QWidget *parent, const char *name, const QString &caption, const QString &hint, const QRect &geometry)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setToolTip(hint);
    b->setGeometry(geometry);
    b->setAutoDefault(false);
    return b;
}

} // namespace

TfrmLogFile::TfrmLogFile(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("frmLogFile"));
    setWindowTitle(QStringLiteral("Logfile"));
    setFont(ArialFont(13));
    setSizeGripEnabled(false);

    pnlText = new QFrame(this);
    pnlText->setObjectName(QStringLiteral("pnlText"));
    imeText = new TQLXMemo(pnlText);
    imeText->setObjectName(QStringLiteral("imeText"));
    imeText->setReadOnly(true);
    imeText->setLineWrapMode(QPlainTextEdit::NoWrap);
    imeText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    imeText->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    imeText->setAccessibleName(QStringLiteral("Text"));

    pnlBottom = new QFrame(this);
    pnlBottom->setObjectName(QStringLiteral("pnlBottom"));
    pnlBottom->setFrameStyle(QFrame::WinPanel | QFrame::Raised);
    bbtPrint = makeButton(pnlBottom, "bbtPrint", QStringLiteral("&Print"), QStringLiteral("Print this file."),
        QRect(8, 10, 83, 25));
    bbtPrint->hide();
    bbtPrint->setEnabled(false);
    pnlButtons = new QFrame(pnlBottom);
    pnlButtons->setObjectName(QStringLiteral("pnlButtons"));
    bbtClear = makeButton(pnlButtons, "bbtClear", QStringLiteral("C&lear"),
        QStringLiteral("Clear the entire logfile."), QRect(8, 8, 83, 25));
    bbtClose = makeButton(pnlButtons, "bbtClose", QStringLiteral("&Close"),
        QStringLiteral("Close this window."), QRect(96, 8, 83, 25));
    bbtClose->setDefault(true);

    connect(bbtPrint, &QPushButton::clicked, this, &TfrmLogFile::bbtPrintClick);
    connect(bbtClear, &QPushButton::clicked, this, &TfrmLogFile::bbtClearClick);
    connect(bbtClose, &QPushButton::clicked, this, [this] { done(QDialog::Accepted); });

    // F1 is seen by the window whichever control has the focus.
    for (QWidget *w :
        { static_cast<QWidget *>(this), static_cast<QWidget *>(imeText), static_cast<QWidget *>(bbtPrint),
            static_cast<QWidget *>(bbtClear), static_cast<QWidget *>(bbtClose) })
        w->installEventFilter(this);

    // Enter on Print prints, on Clear clears; anywhere else it closes.
    EnterPressesFocusedButton(this);
    SetMinimumOuterSize(this, QSize(MinSize, MinSize));
    SetOuterSize(this, QSize(DesignWidth, DesignHeight));
    bbtClose->setFocus();
}

TfrmLogFile::~TfrmLogFile() = default;

void TfrmLogFile::setLines(const QStringList &Lines)
{
    m_lines = Lines;
    imeText->setPlainText(Lines.join(u'\n'));
}

void TfrmLogFile::reject()
{
    done(QDialog::Accepted);
}

void TfrmLogFile::resizeEvent(QResizeEvent *e)
{
    QDialog::resizeEvent(e);
    const int w = width();
    const int h = height();
    pnlText->setGeometry(0, 0, w, h - BottomHeight);
    imeText->setGeometry(
        TextInset, TextInset, pnlText->width() - 2 * TextInset, pnlText->height() - 2 * TextInset);
    pnlBottom->setGeometry(0, h - BottomHeight, w, BottomHeight);
    const int inner = pnlBottom->frameWidth();
    pnlButtons->setGeometry(w - inner - ButtonsWidth, inner, ButtonsWidth, BottomHeight - 2 * inner);
}

bool TfrmLogFile::eventFilter(QObject *watched, QEvent *e)
{
    if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(e)->key() == Qt::Key_F1 && HelpEvent) {
        // Once per key: the window sees it first, a control only when the
        // event reached the window itself.
        if (watched != this || focusWidget() == nullptr || focusWidget() == this)
            HelpEvent(this, windowTitle());
    }
    return QDialog::eventFilter(watched, e);
}

void TfrmLogFile::bbtClearClick()
{
    ShowingErrors([this] {
        if (MsgYesNo(QStringLiteral("The logfile will be cleared.\r\nDo you want to continue?"),
                QStringLiteral("Clear logfile"))
            != mrYes)
            return;
        bbtClear->setEnabled(false);
        done(ResultClear);
    });
}

void TfrmLogFile::bbtPrintClick()
{
    // A printer that is missing or refuses leaves the viewer open.
    ShowingErrors([this] {
        if (PrintEvent) {
            bool Continue = false;
            PrintEvent(this, Continue);
            if (!Continue)
                return;
        }
        std::unique_ptr<QPrinter> printer = PrinterSource ? PrinterSource() : DefaultPrinter();
        PrintTo(*printer, QDateTime::currentDateTime());
    });
}

std::unique_ptr<QPrinter> TfrmLogFile::DefaultPrinter()
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    // Without a default printer QPrinter quietly turns into a PDF writer.
    if (info.isNull())
        throw EQLXError(QStringLiteral("No default printer"));
    return std::make_unique<QPrinter>(info, QPrinter::HighResolution);
}

void TfrmLogFile::PrintTo(QPrinter &printer, const QDateTime &now) const
{
    QPainter painter;
    if (!painter.begin(&printer))
        throw EQLXError(QStringLiteral("Unable to print to %1").arg(printer.printerName()));
    // The text area's face, style and point size, at the printer's resolution;
    // a font sized in screen pixels is taken at its size in points.
    QFont font = imeText->font();
    if (font.pointSizeF() <= 0)
        font.setPointSizeF(font.pixelSize() * 72.0 / imeText->logicalDpiY());
    painter.setFont(QFont(font, &printer));
    const QFontMetrics fm = painter.fontMetrics();
    const int h = fm.height();
    const int ascent = fm.ascent();
    const int pageHeight = printer.height();
    auto draw = [&](int row, const QString &text) { painter.drawText(PrintLeft, row * h + ascent, text); };

    draw(1, QStringLiteral(" Print:  ") + FileName);
    draw(2, QStringLiteral(" Date:   ") + DateTimeToStrDMY(DateTimeFromQt(now)));
    int row = 3;
    bool pageFull = false;
    for (const QString &line : m_lines) {
        // The page is changed only when a line follows, so a document whose
        // last line fills a page does not end in an empty sheet.
        if (pageFull) {
            printer.newPage();
            row = 3;
            pageFull = false;
        }
        ++row;
        draw(row, line);
        pageFull = pageHeight - 6 * h <= row * h;
    }
    painter.end();
}
