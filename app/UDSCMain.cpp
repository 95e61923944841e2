#include "UDSCMain.h"

#include "FIL_Func.h"
#include "FQLXLogF.h"
#include "FolderChoice.h"
#include "FolderWatch.h"
#include "MainCommands.h"
#include "MainSearch.h"
#include "MainStatus.h"
#include "MovesLog.h"
#include "MusicGrid.h"
#include "ProgramFiles.h"
#include "QLXApplication.h"
#include "QLXError.h"
#include "ScanControl.h"
#include "ScanResults.h"
#include "StatisticsReport.h"
#include "StatusBar.h"
#include "UDSCSett.h"
#include "UQLXDlgs.h"

#include <QAbstractEventDispatcher>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolButton>

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
    m_status = new TMainStatus({ stbStatus, sgrMusic, &m_songs }, this);
    createAboutDialog();
    createScanControl();
    m_search = new TMainSearch({ edtFind, bbtFind, cbxArtist, sgrMusic, &m_songs,
                                   [this](QObject *Sender) { Clicked(Sender); }, spbPlay },
        this);
    m_commands = new TMainCommands(
        { edtFind, sgrMusic, &m_catalogue, m_scan, [this] { m_status->ShowHint(); } }, this);
    m_folderChoice = new TFolderChoice({ this, &m_settingsPath, &m_settings, &m_catalogue, m_scan }, this);
    m_movesLog = new TMovesLog(this);
    createFillCommand();
    m_scanResults
        = new TScanResults({ cbxArtist, bxlTime, bxlSize, &m_catalogue, m_status, m_movesLog }, this);
    connect(stbStatus, &TStatusBar::panelDoubleClicked, this, [this](int panel) {
        if (panel == 0)
            ShowingErrors([this] { m_movesLog->show(); });
    });
    FormCreate();
}

TfrmMain::~TfrmMain()
{
    // Before the catalogue and the list it works on go: a light scan's
    // probe may still be running.
    delete m_scan;
}

void TfrmMain::FormCreate()
{
    TBusyCursor busy;
    AppTitle = adlInfo->ProgName() + QStringLiteral(" " DISCORA_VERSION);
    adlInfo->setVersion(QStringLiteral("version: " DISCORA_VERSION "  (14-01-2001)"));
    TQLXApplication::setTitle(AppTitle);
    setWindowTitle(AppTitle);

    const QString programPath = QCoreApplication::applicationFilePath();
    if (m_settingsPath.isEmpty())
        m_settingsPath = ProgramFilePath(programPath, QStringLiteral(".INI"));
    QStringList errors;
    m_settings.read(m_settingsPath, QFileInfo(programPath).absolutePath(), errors,
        TProgramSettings::MusicDefault(programPath));
    move(m_settings.Left, m_settings.Top);
    iloViewer->INIFile = m_settingsPath;
    m_scan->setFolders(m_settings.Directory, m_settings.INI_Directory, m_settings.Library);
    // Beside the settings: which song is which, for renames made while the
    // program is not running, and the log of song information moved.
    m_catalogue.setIndexPath(QFile::encodeName(WithExtension(m_settingsPath, QStringLiteral(".IDX"))));
    m_catalogue.setTagCachePath(QFile::encodeName(WithExtension(m_settingsPath, QStringLiteral(".TAG"))));
    m_catalogue.setValuesCachePath(QFile::encodeName(WithExtension(m_settingsPath, QStringLiteral(".VAL"))));
    m_movesLog->setSettingsPath(m_settingsPath);

    ResetFind();
    const QString header[7] = { QStringLiteral("Artist"), QStringLiteral("Title"), QStringLiteral(" Time"),
        QStringLiteral(" Size"), QStringLiteral(" Year"), QStringLiteral("Count"), QStringLiteral("?") };
    for (int c = 0; c < TSongList::ColCount; ++c)
        m_songs.setCellNow(c, 0, header[c]);
    m_songs.setRowCount(20);
    sgrMusic->setRow(19);
    FirstActivation = true;
    tmrRefresh->start();
    TScanResults::showErrors(errors);
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
    m_scan->activated(FirstActivation);
    FirstActivation = false;
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
    m_scan->deactivated();
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
        if (m_scan->windowActivated(FirstActivation))
            FormActivate();
        break;
    case QEvent::WindowDeactivate:
        if (m_scan->windowDeactivated(
                QApplication::activeWindow() != nullptr && QApplication::activeWindow() != this))
            FormDeactivate();
        break;
    case QEvent::StatusTip:
        m_status->setApplicationHint(static_cast<QStatusTipEvent *>(event)->tip());
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

bool TfrmMain::isSettled() const
{
    return !m_scan->isScanning() && !m_scan->isIndexing();
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
    m_scanResults->scanEnded(full, errors);
    if (m_closeRequested)
        QTimer::singleShot(0, this, &QWidget::close);
}

void TfrmMain::Clicked(QObject *Sender)
{
    // Called from signals: what the command throws is shown here, not let
    // out through the signal.
    ShowingErrors([&] { ButtonsClick(Sender); });
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
        adlInfo->Execute(); // filled in with the window
    if (Sender == spbPlay || Sender == sgrMusic)
        m_commands->Play();
    if (Sender == spbDetails)
        ShowDetails();
    if (Sender == spbStats)
        ShowStatistics();
    if (Sender == spbFolder)
        m_folderChoice->Choose();
}

void TfrmMain::ShowDetails()
{
    sgrMusic->setFocus();
    const int row = sgrMusic->Row();
    // An empty list has no song to show.
    if (row < 1 || row >= m_songs.RowCount() || m_catalogue.BuildSelectedFile(row).isEmpty())
        return;
    if (TfrmSettings::ShowDetails(m_catalogue.SelectedPath(row), m_catalogue.infoFolder(), y() + 86, x() + 16,
            m_settingsPath, this, m_catalogue.nestedInfoPath(row)))
        RefreshList(false);
}

void TfrmMain::ShowStatistics()
{
    // Beside the settings file, which lies beside the program or in the
    // user's configuration folder (ProgramFilePath): its name with ".TXT".
    // A report that cannot be written reaches the error box and nothing is
    // shown.
    const QString report = StatisticsReport::PathFor(m_settingsPath);
    StatisticsReport::Write(report, m_songs);
    iloViewer->setViewFile(report);
    iloViewer->Execute();
}

void TfrmMain::setMusicFolder(const QByteArray &folder)
{
    m_folderChoice->setMusicFolder(folder);
}

void TfrmMain::MusicMouseDown(Qt::MouseButton button)
{
    if (button == Qt::LeftButton)
        m_status->SelectCell(sgrMusic->Row());
    else if (button == Qt::RightButton)
        ButtonsClick(spbDetails);
}
