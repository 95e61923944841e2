#include "UDSCMain.h"

#include "FIL_Func.h"
#include "FQLXLogF.h"
#include "FolderWatch.h"
#include "MainCommands.h"
#include "MainSearch.h"
#include "MovesLog.h"
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
#include <QFileDialog>
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

#include <cerrno>
#include <cstring>
#include <dirent.h>

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
    createScanControl();
    m_search = new TMainSearch({ edtFind, bbtFind, cbxArtist, sgrMusic, &m_songs,
                                   [this](QObject *Sender) { Clicked(Sender); }, spbPlay },
        this);
    m_commands = new TMainCommands({ edtFind, sgrMusic, &m_catalogue, m_scan, [this] { ShowHint(); } }, this);
    m_movesLog = new TMovesLog(this);
    connect(stbStatus, &TStatusBar::panelDoubleClicked, this, [this](int panel) {
        if (panel == 0)
            ShowingErrors([this] { m_movesLog->show(); });
    });
    FormCreate();
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
    m_scan = new TScanControl(m_catalogue, tmrRefresh, std::move(view), this);
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
    m_catalogue.setFolders(m_settings.Directory, m_settings.INI_Directory);
    // Beside the settings: which song is which, for renames made while the
    // program is not running, and the log of song information moved.
    m_catalogue.setIndexPath(QFile::encodeName(WithExtension(m_settingsPath, QStringLiteral(".IDX"))));
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
    m_scan->folderWatch()->setFolder(m_catalogue.musicFolder());
    showErrors(errors);
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
        if (m_scan->windowActivated(FirstActivation))
            FormActivate();
        break;
    case QEvent::WindowDeactivate:
        if (m_scan->windowDeactivated(
                QApplication::activeWindow() != nullptr && QApplication::activeWindow() != this))
            FormDeactivate();
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

void TfrmMain::scanEnded(bool full, const QStringList &scanErrors)
{
    QStringList errors = scanErrors;
    // Still showing what the scan before moved (a burst of renames takes a
    // few scans): the text goes on counting.
    const bool movesShown = !m_movesText.isEmpty() && stbStatus->Panels[0]->text() == m_movesText;
    if (full) {
        static_cast<QStringListModel *>(cbxArtist->model())->setStringList(m_catalogue.artistList());
        bxlTime->setCaption(m_catalogue.timeCaption());
        bxlSize->setCaption(m_catalogue.sizeCaption());
        ShowHint(); // the number of songs in the status bar
        // A log that cannot be written says so once, until it can again.
        const QString moved = m_movesLog->record(m_catalogue.takeMoves(), movesShown, errors);
        // Once the activation that ran the scan has selected its row
        // (which shows the selected song); the next hint replaces it.
        if (!moved.isEmpty()) {
            m_movesText = QLatin1Char(' ') + moved;
            QTimer::singleShot(0, this, [this] { stbStatus->Panels[0]->setText(m_movesText); });
        } else if (!movesShown) {
            m_movesText.clear();
        }
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
        ShowAbout();
    if (Sender == spbPlay || Sender == sgrMusic)
        m_commands->Play();
    if (Sender == spbDetails)
        ShowDetails();
    if (Sender == spbStats)
        ShowStatistics();
    if (Sender == spbFolder)
        ChooseFolder();
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

void TfrmMain::ChooseFolder()
{
    const QString start = QFile::decodeName(m_catalogue.musicFolder());
    const QString chosen
        = QFileDialog::getExistingDirectory(this, QStringLiteral("Choose the music folder"), start);
    if (chosen.isEmpty())
        return;
    QByteArray folder = QFile::encodeName(chosen);
    while (folder.size() > 1 && folder.endsWith('/'))
        folder.chop(1);
    setMusicFolder(folder);
}

void TfrmMain::setMusicFolder(const QByteArray &folder)
{
    DIR *listing = ::opendir(folder.constData());
    if (!listing)
        throw EQLXError(QStringLiteral("Unable to read %1: %2")
                            .arg(QFile::decodeName(folder), QString::fromLocal8Bit(std::strerror(errno))));
    ::closedir(listing);
    TProgramSettings changed = m_settings;
    if (changed.INI_Directory == changed.Directory)
        changed.INI_Directory = folder;
    changed.Directory = folder;
    changed.writeFolders(m_settingsPath);
    m_settings = changed;
    m_catalogue.setFolders(m_settings.Directory, m_settings.INI_Directory);
    m_catalogue.playedList() = TPlayedList();
    m_scan->folderWatch()->setFolder(m_catalogue.musicFolder());
    RefreshList(true);
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
