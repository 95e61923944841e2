// Building the main window's controls: their places, captions, hints and
// order, as the window shows them.

#include "UDSCMain.h"

#include "FQLXLogF.h"
#include "FillCommand.h"
#include "MusicGrid.h"
#include "QLXApplication.h"
#include "QLXWindow.h"
#include "ScanControl.h"
#include "StatusBar.h"
#include "UQLXDlgs.h"
#include "UQLXStd.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QStringListModel>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

QToolButton *TfrmMain::createToolButton(
    const QString &name, const QString &caption, const QString &hint, int left, int iconKind)
{
    auto *button = new QToolButton(tlbButtons);
    button->setObjectName(name);
    button->setText(caption);
    button->setToolTip(hint);
    button->setStatusTip(hint);
    button->setAccessibleDescription(hint);
    button->setIcon(style()->standardIcon(QStyle::StandardPixmap(iconKind)));
    button->setIconSize(QSize(16, 16));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFont(ArialFont(11));
    button->setGeometry(left, 2, 88, 24);
    connect(button, &QToolButton::clicked, this, [this, button] { Clicked(button); });
    return button;
}

void TfrmMain::createControls()
{
    setFixedSize(ClientWidth, ClientHeight);
    setFont(ArialFont(13));
    setWindowTitle(QStringLiteral("Discora 1.0"));

    pnlSpaceBar = new QWidget(this);
    pnlSpaceBar->setObjectName(QStringLiteral("pnlSpaceBar"));
    pnlSpaceBar->setGeometry(0, 0, ClientWidth, 4);

    tlbButtons = new QFrame(this);
    tlbButtons->setObjectName(QStringLiteral("tlbButtons"));
    tlbButtons->setGeometry(0, 4, ClientWidth, 31);
    auto *edge = new QFrame(tlbButtons);
    edge->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    edge->setGeometry(0, 29, ClientWidth, 2);
    spbExit = createToolButton(QStringLiteral("spbExit"), QStringLiteral("&Exit"), QStringLiteral("Exit."), 9,
        QStyle::SP_DialogCloseButton);
    spbRefresh = createToolButton(QStringLiteral("spbRefresh"), QStringLiteral("&Refresh"),
        QStringLiteral("Refresh list and totals."), 97, QStyle::SP_BrowserReload);
    spbAbout = createToolButton(QStringLiteral("spbAbout"), QStringLiteral("&About..."),
        QStringLiteral("Program information."), 185, QStyle::SP_MessageBoxInformation);
    spbPlay = createToolButton(QStringLiteral("spbPlay"), QStringLiteral("&Play"),
        QStringLiteral("Play selected item."), 273, QStyle::SP_MediaPlay);
    spbDetails = createToolButton(QStringLiteral("spbDetails"), QStringLiteral("&Details..."),
        QStringLiteral("Show details of selected item."), 361, QStyle::SP_FileDialogDetailedView);
    spbStats = createToolButton(QStringLiteral("spbStats"), QStringLiteral("&Statistics"),
        QStringLiteral("Show statistics of all files."), 449, QStyle::SP_FileDialogInfoView);
    spbFolder = createToolButton(QStringLiteral("spbFolder"), QStringLiteral("F&older..."),
        QStringLiteral("Choose the music folder."), 537, QStyle::SP_DirOpenIcon);

    sgrMusic = new TMusicGrid(&m_songs, &m_catalogue.playedList(), this);
    sgrMusic->setPlayedRow([this](int row) { return m_catalogue.isPlayed(row); });
    sgrMusic->setObjectName(QStringLiteral("sgrMusic"));
    sgrMusic->setAccessibleName(QStringLiteral("Songs"));
    sgrMusic->setGeometry(8, 40, 664, 292);
    connect(sgrMusic, &TMusicGrid::mouseDown, this,
        [this](Qt::MouseButton button) { ShowingErrors([&] { MusicMouseDown(button); }); });
    connect(sgrMusic, &TMusicGrid::doubleClick, this, [this] { Clicked(sgrMusic); });

    edtFind = new QLineEdit(this);
    edtFind->setObjectName(QStringLiteral("edtFind"));
    edtFind->setGeometry(8, 336, 268, 24);
    const QString findHint = QStringLiteral("Enter the Artist or Title you want to search.");
    edtFind->setToolTip(findHint);
    edtFind->setStatusTip(findHint);
    edtFind->setAccessibleName(QStringLiteral("Find"));
    edtFind->setAccessibleDescription(findHint);

    bbtFind = new QPushButton(QStringLiteral("&Find first"), this);
    bbtFind->setObjectName(QStringLiteral("bbtFind"));
    bbtFind->setGeometry(280, 337, 81, 24);
    bbtFind->setToolTip(QStringLiteral("Find the selected Artist or Title."));
    bbtFind->setStatusTip(bbtFind->toolTip());
    bbtFind->setAccessibleDescription(bbtFind->toolTip());
    bbtFind->setEnabled(false);
    connect(bbtFind, &QPushButton::clicked, this, [this] { Clicked(bbtFind); });

    const QColor navy(0, 0, 128);
    bxlTime = new TBoxLabel(this);
    bxlTime->setObjectName(QStringLiteral("bxlTime"));
    bxlTime->setGeometry(422, 336, 60, 24);
    bxlTime->setAlignment(Qt::AlignRight);
    bxlSize = new TBoxLabel(this);
    bxlSize->setObjectName(QStringLiteral("bxlSize"));
    bxlSize->setGeometry(482, 336, 102, 24);
    bxlSize->setAlignment(Qt::AlignHCenter);
    for (TBoxLabel *label : { bxlTime, bxlSize }) {
        label->setFont(ArialFont(13));
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, navy);
        label->setPalette(palette);
    }

    cbxArtist = new QComboBox(this);
    cbxArtist->setObjectName(QStringLiteral("cbxArtist"));
    cbxArtist->setGeometry(8, 362, 269, 24);
    cbxArtist->setEditable(false);
    // A list model takes the artists of a large folder at once; item by item
    // (addItems) they cost more than the rest of the scan's bookkeeping.
    cbxArtist->setModel(new QStringListModel(cbxArtist));
    cbxArtist->setToolTip(QStringLiteral("Select the Artist you want to find."));
    cbxArtist->setStatusTip(cbxArtist->toolTip());
    cbxArtist->setAccessibleName(QStringLiteral("Artist"));
    cbxArtist->setAccessibleDescription(cbxArtist->toolTip());

    bbtCurrent = new QPushButton(QStringLiteral("&Current"), this);
    bbtCurrent->setObjectName(QStringLiteral("bbtCurrent"));
    bbtCurrent->setGeometry(281, 363, 80, 24);
    bbtCurrent->setToolTip(QStringLiteral("Show the currently playing record."));
    bbtCurrent->setStatusTip(bbtCurrent->toolTip());
    bbtCurrent->setAccessibleDescription(bbtCurrent->toolTip());
    connect(bbtCurrent, &QPushButton::clicked, this, [this] { Clicked(bbtCurrent); });

    stbStatus = new TStatusBar(this);
    stbStatus->setObjectName(QStringLiteral("stbStatus"));
    stbStatus->setGeometry(0, 393, ClientWidth, 23);

    tmrRefresh = new QTimer(this);
    tmrRefresh->setObjectName(QStringLiteral("tmrRefresh"));
    tmrRefresh->setInterval(60000);
    // Every minute a light scan.
    connect(tmrRefresh, &QTimer::timeout, this, [this] { RefreshList(false); });

    // Named as the details dialog's viewer: both keep one position and size.
    iloViewer = new TQLXLogFile(this);
    iloViewer->setObjectName(QStringLiteral("iloViewer"));
    iloViewer->setFont(FixedPitchFont(11));
    iloViewer->setCaption(QStringLiteral("Statistics"));
    iloViewer->ShowClearBtn = false;
    iloViewer->setLogReverse(false);
    iloViewer->setMaxRecords(32768);

    // Tooltips stay visible for five seconds.
    for (QWidget *child : findChildren<QWidget *>())
        if (!child->toolTip().isEmpty())
            child->setToolTipDuration(5000);

    QWidget::setTabOrder(sgrMusic, edtFind);
    QWidget::setTabOrder(edtFind, bbtFind);
    QWidget::setTabOrder(bbtFind, cbxArtist);
    QWidget::setTabOrder(cbxArtist, bbtCurrent);
    // Enter on "Find first" or "Current" presses it, as Space does.
    EnterPressesFocusedButton(this);
    edtFind->setFocus();
}

void TfrmMain::createAboutDialog()
{
    adlInfo = new TAboutDialog(this);
    adlInfo->setObjectName(QStringLiteral("adlInfo"));
    adlInfo->setProgName(ProgName);
    adlInfo->setCaption(QStringLiteral("Program information"));
    adlInfo->setDlgStyle(dsPanel);
    adlInfo->setAppIcon(true);
    adlInfo->setNameBold(true);
    adlInfo->setAlignment(Qt::AlignLeft);
    adlInfo->setBevelInner(bvRaised);
    adlInfo->setBevelOuter(bvLowered);
    adlInfo->setBevelWidth(1);
    adlInfo->setFont(ArialFont(13));
    adlInfo->setAuthor(QStringLiteral("author: the Discora developers"));
    adlInfo->setCopyright(QStringLiteral("copyright: (c) 2001-2026 Discora"));
}

void TfrmMain::createScanControl()
{
    TScanControl::View view;
    view.yield = [this] {
        if (FirstActivation)
            sgrMusic->setRow(1);
        repaint();
        QCoreApplication::processEvents();
    };
    view.playing = [this](const QString &artistTitle) {
        const QString caption = AppTitle + QStringLiteral("  ") + artistTitle;
        TQLXApplication::setTitle(caption);
        setWindowTitle(caption);
    };
    view.locked = [this](int row) { m_songs.rowsChanged(row, row); };
    view.ended = [this](bool full, const QStringList &errors) { scanEnded(full, errors); };
    view.progress = [this](int done, int total) { stbStatus->showProgress(done, total); };
    m_scan = new TScanControl(m_catalogue, tmrRefresh, std::move(view), this);
}

void TfrmMain::createFillCommand()
{
    // No control of its own: a key, and the status bar's context menu.
    m_fill = new TFillCommand({ this, &m_catalogue, m_scan, m_movesLog }, this);
    addAction(m_fill->action());
    stbStatus->addAction(m_fill->action());
    stbStatus->setContextMenuPolicy(Qt::ActionsContextMenu);
}
