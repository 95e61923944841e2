#include "UDSCMain.h"

#include "FIL_Func.h"
#include "FQLXLogF.h"
#include "FolderWatch.h"
#include "MainCommands.h"
#include "MainSearch.h"
#include "MusicGrid.h"
#include "ProgramFiles.h"
#include "QLXApplication.h"
#include "QLXError.h"
#include "QLXWindow.h"
#include "ScanControl.h"
#include "StatisticsReport.h"
#include "StatusBar.h"
#include "UDSCSett.h"
#include "UQLXDlgs.h"
#include "UQLXStd.h"

#include <QAbstractEventDispatcher>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>
#include <QStatusTipEvent>
#include <QStringListModel>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

#ifdef __GLIBC__
#include <malloc.h>
#endif

const QString TfrmMain::ProgName = QStringLiteral("Discora");

// Off unless asked for: QT_LOGGING_RULES="discora.start.debug=true" logs
// when the program is first idle after its first full scan (the start-up
// benchmark waits for that line).
Q_LOGGING_CATEGORY(lcStart, "discora.start", QtInfoMsg)

TfrmMain::TfrmMain(const QString &settingsPath, QWidget *parent)
    : QWidget(parent,
        Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , m_settingsPath(settingsPath)
    , m_catalogue(m_songs)
{
    setObjectName(QStringLiteral("frmMain"));
    createControls();
    createAboutDialog();
    m_search = new TMainSearch(*this);
    m_commands = new TMainCommands(*this);
    FormCreate();
}

TfrmMain::~TfrmMain()
{
    // Before the catalogue and the list it works on go: a light scan's
    // probe may still be running.
    delete m_scan;
}

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
    connect(button, &QToolButton::clicked, this, [this, button] { ButtonsClick(button); });
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

    sgrMusic = new TMusicGrid(&m_songs, &m_catalogue.playedList(), this);
    sgrMusic->setObjectName(QStringLiteral("sgrMusic"));
    sgrMusic->setAccessibleName(QStringLiteral("Songs"));
    sgrMusic->setGeometry(8, 40, 664, 292);
    connect(sgrMusic, &TMusicGrid::selectCell, this, &TfrmMain::MusicSelectCell);
    connect(sgrMusic, &TMusicGrid::mouseDown, this, &TfrmMain::MusicMouseDown);
    connect(sgrMusic, &TMusicGrid::doubleClick, this, [this] { ButtonsClick(sgrMusic); });

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
    connect(bbtFind, &QPushButton::clicked, this, [this] { ButtonsClick(bbtFind); });

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
    connect(bbtCurrent, &QPushButton::clicked, this, [this] { ButtonsClick(bbtCurrent); });

    stbStatus = new TStatusBar(this);
    stbStatus->setObjectName(QStringLiteral("stbStatus"));
    stbStatus->setGeometry(0, 393, ClientWidth, 23);

    tmrRefresh = new QTimer(this);
    tmrRefresh->setObjectName(QStringLiteral("tmrRefresh"));
    tmrRefresh->setInterval(60000);
    connect(tmrRefresh, &QTimer::timeout, this, &TfrmMain::RefreshTimer);

    // Named as the details dialog's viewer: both keep one position and size.
    iloViewer = new TQLXLogFile(this);
    iloViewer->setObjectName(QStringLiteral("iloViewer"));
    iloViewer->setFont(FixedPitchFont(11));
    iloViewer->setCaption(QStringLiteral("Statistics"));
    iloViewer->ShowClearBtn = false;
    iloViewer->setLogReverse(false);
    iloViewer->setMaxRecords(32768);

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
    m_scan = new TScanControl(m_catalogue, std::move(view), this);
    // Paused until the first activation; then it follows the timer: live
    // while the main window holds the program's focus.
    m_scan->folderWatch()->setPaused(true);

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

void TfrmMain::FormCreate()
{
    TBusyCursor busy;
    AppTitle = adlInfo->ProgName() + QStringLiteral(" 1.5");
    adlInfo->setVersion(QStringLiteral("version: 1.5  (14-01-2001)"));
    TQLXApplication::setTitle(AppTitle);
    setWindowTitle(AppTitle);

    const QString programPath = QCoreApplication::applicationFilePath();
    if (m_settingsPath.isEmpty())
        m_settingsPath = ProgramFilePath(programPath, QStringLiteral(".INI"));
    QStringList errors;
    m_settings.read(m_settingsPath, QFileInfo(programPath).absolutePath(), errors);
    move(m_settings.Left, m_settings.Top);
    iloViewer->INIFile = m_settingsPath;
    m_catalogue.setFolders(m_settings.Directory, m_settings.INI_Directory);

    ResetFind();
    const QString header[7] = { QStringLiteral("Artist"), QStringLiteral("Title"), QStringLiteral(" Time"),
        QStringLiteral(" Size"), QStringLiteral(" Year"), QStringLiteral("Count"), QStringLiteral("?") };
    for (int c = 0; c < TSongList::ColCount; ++c)
        m_songs.setCellNow(c, 0, header[c]);
    m_songs.setRowCount(20);
    sgrMusic->setRow(19);
    FirstActivation = true;
    tmrRefresh->start();
    m_scan->folderWatch()->setFolder(m_catalogue.musicFolder());
    showErrors(errors);
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

void TfrmMain::ShowAbout()
{
    adlInfo->Execute();
}

void TfrmMain::ResetFind()
{
    m_search->ResetFind();
}

void TfrmMain::FindNext()
{
    m_search->FindNext();
}

void TfrmMain::PlayFile(const QByteArray &FileName)
{
    m_commands->PlayFile(FileName);
}

void TfrmMain::ShowCurrent()
{
    m_commands->ShowCurrent();
}

void TfrmMain::FormActivate()
{
    ++m_activations;
    const bool first = FirstActivation;
    // Live before the scan, so that a song opened while it runs is looked
    // at again right after it.
    m_scan->folderWatch()->setPaused(false);
    RefreshList(FirstActivation);
    FirstActivation = false;
    tmrRefresh->start();
    if (m_songs.RowCount() > 1)
        sgrMusic->setRow(1);
    if (first && lcStart().isDebugEnabled())
        connect(
            QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
            [this] { qCDebug(lcStart, "idle after the first full scan: %d songs", m_songs.RowCount() - 1); },
            Qt::SingleShotConnection);
}

void TfrmMain::FormDeactivate()
{
    ++m_deactivations;
    RefreshList(false);
    tmrRefresh->stop();
    m_scan->folderWatch()->setPaused(true);
}

void TfrmMain::RefreshTimer()
{
    RefreshList(false);
}

void TfrmMain::FormClose()
{
    m_settings.Top = y();
    m_settings.Left = x();
    m_settings.write(m_settingsPath);
}

bool TfrmMain::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::WindowActivate:
        // Coming back from another program is not an activation: only the
        // focus moving between our own windows is.
        if (FirstActivation || !m_lostToOtherProgram)
            FormActivate();
        m_lostToOtherProgram = false;
        break;
    case QEvent::WindowDeactivate:
        if (QApplication::activeWindow() != nullptr && QApplication::activeWindow() != this)
            FormDeactivate();
        else
            m_lostToOtherProgram = true;
        break;
    case QEvent::StatusTip:
        m_applicationHint = static_cast<QStatusTipEvent *>(event)->tip();
        ShowHint();
        return true;
    default:
        break;
    }
    return QWidget::event(event);
}

void TfrmMain::closeEvent(QCloseEvent *event)
{
    if (m_scan->isScanning()) {
        // A close handled while a scan yields, or while a light scan's probe
        // runs, waits for the scan to end.
        m_closeRequested = true;
        event->ignore();
        return;
    }
    try {
        FormClose();
    } catch (const EQLXError &e) {
        TQLXApplication::ShowExceptionNow(e.message());
    }
    event->accept();
}

void TfrmMain::RefreshList(bool full)
{
    m_scan->RefreshList(full);
}

bool TfrmMain::isScanning() const
{
    return m_scan->isScanning();
}

int TfrmMain::scans() const
{
    return m_scan->scans();
}

TFolderWatch *TfrmMain::folderWatch() const
{
    return m_scan->folderWatch();
}

void TfrmMain::scanEnded(bool full, const QStringList &errors)
{
    if (full) {
        static_cast<QStringListModel *>(cbxArtist->model())->setStringList(m_catalogue.artistList());
        bxlTime->setCaption(m_catalogue.timeCaption());
        bxlSize->setCaption(m_catalogue.sizeCaption());
        ShowHint(); // the number of songs in the status bar
#ifdef __GLIBC__
        // A full scan of a large folder frees as much as it keeps (sort
        // keys, what its reader threads read); hand it back now rather
        // than hold it for the rest of the run.
        ::malloc_trim(0);
#endif
    }
    showErrors(errors);
    if (m_closeRequested)
        QTimer::singleShot(0, this, &QWidget::close);
}

void TfrmMain::showErrors(const QStringList &errors)
{
    // One box for all failures of a scan, so a folder of broken files does
    // not bury the user in boxes.
    constexpr int MaxShown = 10;
    QStringList lines;
    for (int i = 0; i < errors.size() && i < MaxShown; ++i)
        lines.append(TQLXApplication::ErrorText(errors[i]));
    if (errors.size() > MaxShown)
        lines.append(QStringLiteral("(%1 more)").arg(errors.size() - MaxShown));
    if (!lines.isEmpty())
        TQLXApplication::ShowException(lines.join(QLatin1Char('\n')));
}

void TfrmMain::ButtonsClick(QObject *Sender)
{
    // Independent comparisons in a fixed order: each match runs its command.
    if (Sender == bbtFind)
        FindNext();
    if (Sender == bbtCurrent)
        ShowCurrent();
    if (Sender == spbExit)
        close();
    if (Sender == spbRefresh)
        RefreshList(true);
    if (Sender == spbAbout)
        ShowAbout();
    if (Sender == spbPlay || Sender == sgrMusic)
        m_commands->Play();
    if (Sender == spbDetails)
        ShowDetails();
    if (Sender == spbStats)
        ShowStatistics();
}

void TfrmMain::ShowDetails()
{
    sgrMusic->setFocus();
    const int row = sgrMusic->Row();
    // An empty list has no song to show.
    if (row < 1 || row >= m_songs.RowCount() || m_catalogue.BuildSelectedFile(row).isEmpty())
        return;
    if (TfrmSettings::ShowDetails(m_catalogue.SelectedPath(row), m_catalogue.infoFolder(), y() + 86, x() + 16,
            m_settingsPath, this))
        RefreshList(false);
}

void TfrmMain::ShowStatistics()
{
    // Beside the settings file, which lies beside the program or in the
    // user's configuration folder (ProgramFilePath): its name with ".TXT". A report that cannot be written
    // reaches the error box and nothing is shown.
    const QString report = StatisticsReport::PathFor(m_settingsPath);
    StatisticsReport::Write(report, m_songs);
    iloViewer->setViewFile(report);
    iloViewer->Execute();
}

void TfrmMain::MusicSelectCell(int /*col*/, int row)
{
    if (row != LastSelectedRow) {
        LastSelectedRow = row;
        const QString artist = m_songs.artistOf(row);
        sgrMusic->Hint
            = QStringLiteral("|") + artist + QStringLiteral(" - ") + m_songs.Cells(TSongList::ColTitle, row);
        sgrMusic->setStatusTip(sgrMusic->Hint.mid(1));
        // With the mouse resting on the grid, its hint is the application's
        // hint: keep that one current too, or the status bar shows the old song.
        if (sgrMusic->underMouse())
            m_applicationHint = sgrMusic->statusTip();
    }
    ShowHint();
    stbStatus->Panels[1]->setText(QStringLiteral("%1 / %2").arg(row).arg(m_songs.RowCount() - 1));
}

void TfrmMain::MusicMouseDown(Qt::MouseButton button)
{
    if (button == Qt::LeftButton)
        MusicSelectCell(0, sgrMusic->Row());
    else if (button == Qt::RightButton)
        ButtonsClick(spbDetails);
}

void TfrmMain::ShowHint()
{
    const qsizetype bar = m_applicationHint.indexOf(QLatin1Char('|'));
    const QString hint = bar < 0 ? m_applicationHint : m_applicationHint.mid(bar + 1);
    if (!hint.isEmpty())
        stbStatus->Panels[0]->setText(QLatin1Char(' ') + hint);
    else
        stbStatus->Panels[0]->setText(
            QLatin1Char(' ') + sgrMusic->Hint.mid(sgrMusic->Hint.indexOf(QLatin1Char('|')) + 1));
    stbStatus->Panels[1]->setText(QStringLiteral("%1 / %2").arg(sgrMusic->Row()).arg(m_songs.RowCount() - 1));
}
