#include "ScanControl.h"

#include "FolderWatch.h"
#include "MpdSource.h"
#include "MprisSource.h"
#include "QLXApplication.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTimer>

namespace
{
Q_LOGGING_CATEGORY(lcIndex, "discora.start", QtInfoMsg)
}

TScanControl::TScanControl(TCatalogue &catalogue, QTimer *timer, View view, QObject *parent)
    : QObject(parent)
    , m_catalogue(catalogue)
    , m_timer(timer)
    , m_view(std::move(view))
    , m_watch(new TFolderWatch([this] { RefreshList(false); }, [this] { return isScanning(); }, this))
    , m_mpris(new TMprisSource(this))
    , m_mpd(new TMpdSource(this))
{
    // What the players report goes into one list; a change asks for a light
    // scan as a song opened in the folder does.
    const auto reported = [this] {
        TCatalogue::ReportedPlays plays { m_mpris->heldPaths(), m_mpd->heldTails(),
            m_mpris->documentFolders() };
        for (QByteArray &path : m_mpd->heldPaths())
            plays.paths.push_back(std::move(path));
        m_catalogue.setReportedPlaying(std::move(plays));
        m_watch->sourceChanged();
    };
    connect(m_mpris, &TMprisSource::changed, this, reported);
    connect(m_mpd, &TMpdSource::changed, this, reported);
    // A song renamed takes its song information along at once; the full
    // scan that shows the new name follows.
    m_watch->setRenameHandlers(
        [this](const std::vector<SongMoves::Rename> &renames) { m_catalogue.followRenames(renames); },
        [this] { RefreshList(true); });
    // Songs renamed while the program was not running are found behind the
    // full scan; when their information moved, another one shows it.
    m_catalogue.setIndexDone([this](bool rescan) {
        QMetaObject::invokeMethod(
            this, [this, rescan] { indexDone(rescan); }, Qt::QueuedConnection);
    });
    // Until the first activation the watch rests; then it follows the timer:
    // live while the main window holds the program's focus.
    m_watch->setPaused(true);
}

TScanControl::~TScanControl()
{
    if (m_prober.joinable())
        m_prober.join();
    m_catalogue.waitForIndex();
    m_catalogue.setIndexDone({});
}

void TScanControl::RefreshList(bool full)
{
    if (isScanning()) {
        m_fullScanPending = m_fullScanPending || full;
        return;
    }
    if (full)
        runFull();
    else
        startLight();
}

bool TScanControl::windowActivated(bool first)
{
    const bool counts = first || !m_lostToOtherProgram;
    m_lostToOtherProgram = false;
    return counts;
}

bool TScanControl::windowDeactivated(bool toOwnWindow)
{
    if (!toOwnWindow)
        m_lostToOtherProgram = true;
    return toOwnWindow;
}

void TScanControl::activated(bool first)
{
    // Live before the scan, so that a song opened while it runs is looked
    // at again right after it.
    m_watch->setPaused(false);
    RefreshList(first);
    m_timer->start();
    if (first) {
        m_mpris->start();
        m_mpd->start();
    }
}

void TScanControl::deactivated()
{
    RefreshList(false);
    m_timer->stop();
    m_watch->setPaused(true);
}

void TScanControl::afterScan(std::function<void()> then, bool startOne)
{
    m_afterScan.push_back(std::move(then));
    if (startOne && !isScanning())
        RefreshList(false);
}

void TScanControl::runFull()
{
    qCDebug(lcIndex, "full scan");
    QStringList errors;
    {
        // Cleared however the scan ends, or no scan would ever run again.
        struct ScanFlag {
            bool &flag;
            explicit ScanFlag(bool &f)
                : flag(f)
            {
                flag = true;
            }
            ~ScanFlag() { flag = false; }
        } scanning(m_scanning);
        TBusyCursor busy;
        // A full scan waits for the index of the one before, handling
        // events: it reports what that moved, and its rows show the moved
        // files.
        TCatalogue::Hooks hooks { m_view.yield, m_view.playing, m_view.locked,
            [] { QCoreApplication::processEvents(); } };
        // Renames made while the watch watched the folder all the time since
        // the last full scan are its to follow; the index then only tries
        // again what failed. (Left to both, the index would race the watch
        // through a burst of renames.)
        const bool watched = m_watchedSince && m_watch->isWatching() && m_watch->gaps() == m_gapsSince
            && m_watch->folder() == m_catalogue.musicFolder();
        m_catalogue.setRenamesFollowed(watched);
        errors = m_catalogue.RefreshList(TCatalogue::ScanMode::Full, hooks);
        m_watchedSince = m_watch->isWatching() && m_watch->folder() == m_catalogue.musicFolder();
        m_gapsSince = m_watch->gaps();
        m_indexing = !m_catalogue.indexPath().isEmpty();
        ++m_fullScans;
    }
    scanEnded(true, errors);
}

void TScanControl::startLight()
{
    qCDebug(lcIndex, "light scan");
    m_light = m_catalogue.prepareLight();
    TCatalogue::LightScan *scan = m_light.get();
    m_prober = std::thread([this, scan] {
        scan->probe();
        QMetaObject::invokeMethod(this, &TScanControl::lightProbed, Qt::QueuedConnection);
    });
}

void TScanControl::lightProbed()
{
    m_prober.join();
    const std::unique_ptr<TCatalogue::LightScan> scan = std::move(m_light);
    // All that is left is putting a few cells: the list takes them at once.
    TCatalogue::Hooks hooks { nullptr, m_view.playing, m_view.locked };
    const QStringList errors = m_catalogue.applyLight(*scan, hooks);
    scanEnded(false, errors);
}

void TScanControl::scanEnded(bool full, const QStringList &errors)
{
    ++m_scans;
    std::vector<std::function<void()>> waiting;
    waiting.swap(m_afterScan);
    if (m_view.ended)
        m_view.ended(full, errors);
    for (const std::function<void()> &then : waiting)
        then();
    if (m_fullScanPending) {
        m_fullScanPending = false;
        RefreshList(true);
    }
    m_watch->scanEnded();
    // Songs held through the Documents portal: the portal says whose files
    // they are, and the scan after its answer looks again.
    for (const QByteArray &id : m_catalogue.documentsToResolve())
        m_mpris->resolveDocument(id);
    if (!isScanning()) {
        const int due = m_catalogue.heldSongs().confirmDueMs();
        if (due >= 0)
            m_watch->confirmIn(due);
    }
}

void TScanControl::indexDone(bool rescan)
{
    // The news of an index that a full scan has waited for since, and
    // reported, comes late: the index of that scan is the one that counts.
    if (m_catalogue.indexBusy())
        return;
    if (m_indexing)
        qCDebug(lcIndex, "index of the songs matched");
    if (!rescan) {
        m_indexing = false;
        if (m_fullScanPending && !isScanning()) {
            m_fullScanPending = false;
            RefreshList(true);
        }
        return;
    }
    // While the watch follows a burst of renames, its own full scans report
    // these moves too: the one that shows them waits a moment, and is not
    // made when another full scan has run meanwhile.
    const int fullScans = m_fullScans;
    QTimer::singleShot(RescanDelay, this, [this, fullScans] {
        if (m_catalogue.indexBusy())
            return; // a newer index decides
        m_indexing = false;
        if (m_fullScans == fullScans || m_fullScanPending) {
            m_fullScanPending = false;
            RefreshList(true);
        }
    });
}
