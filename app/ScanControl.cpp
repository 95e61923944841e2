#include "ScanControl.h"

#include "DocumentPortal.h"
#include "FolderWatch.h"
#include "MpdSource.h"
#include "MprisSource.h"
#include "ProcSweep.h"
#include "QLXApplication.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTimer>

namespace
{
// Off unless asked for: what the start-up benchmarks time (every full scan
// begun and done, a light scan begun, the index matched, the tags read
// behind the window, shown and in the cache).
Q_LOGGING_CATEGORY(lcIndex, "discora.start", QtInfoMsg)
} // namespace

TScanControl::TScanControl(TCatalogue &catalogue, QTimer *timer, View view, QObject *parent)
    : QObject(parent)
    , m_catalogue(catalogue)
    , m_timer(timer)
    , m_view(std::move(view))
    , m_watch(new TFolderWatch(this))
    , m_sources(new TPlaySources(this))
    , m_debounce(new QTimer(this))
    , m_confirm(new QTimer(this))
    , m_tagProgress(new QTimer(this))
{
    m_debounce->setSingleShot(true);
    connect(m_debounce, &QTimer::timeout, this, &TScanControl::fire);
    m_confirm->setSingleShot(true);
    connect(m_confirm, &QTimer::timeout, this, &TScanControl::fire);
    connect(m_tagProgress, &QTimer::timeout, this, &TScanControl::showTagProgress);
    connect(m_watch, &TFolderWatch::touched, this, &TScanControl::request);
    connect(m_watch, &TFolderWatch::renamed, this, &TScanControl::renamed);
    // Songs of a tree library came, went or moved below the top: only a new
    // listing shows them, as it shows renames.
    connect(m_watch, &TFolderWatch::treeChanged, this, [this] { m_fullWanted = true; });
    // The sources of plays: a new kind of player is one more line here.
    m_sources->add(new TProcSweep);
    m_mpris = m_sources->add(new TMprisSource);
    m_mpd = m_sources->add(new TMpdSource);
    m_sources->add(new TDocumentPortal);
    // Each scan takes what they hold as it starts; a change asks for a light
    // scan as a song opened in the folder does.
    m_catalogue.setPlaySources([this] { return m_sources->input(); });
    connect(m_sources, &TPlaySources::changed, this, &TScanControl::request);
    // Songs renamed while the program was not running are found behind the
    // full scan; when their information moved, another one shows it.
    m_catalogue.setIndexDone([this](bool rescan) {
        QMetaObject::invokeMethod(
            this, [this, rescan] { indexDone(rescan); }, Qt::QueuedConnection);
    });
    // Tags a full scan left to a thread of their own: its rows take them as
    // soon as they are read. (Logged on the reading thread: the start-up
    // benchmark times the reading and their showing apart.) Once they are in
    // the cache, a full scan shows them where the rows could not.
    m_catalogue.setTagsRead([this] {
        qCDebug(lcIndex, "tags read");
        QMetaObject::invokeMethod(
            this,
            [this] {
                // The rows first: the scan for plays begun meanwhile follows.
                showTags();
                watchOpensAgain();
            },
            Qt::QueuedConnection);
    });
    m_catalogue.setTagsBegin([this](int songs) { quietOpens(songs); });
    m_catalogue.setTagsDone([this] {
        qCDebug(lcIndex, "tags cached");
        QMetaObject::invokeMethod(
            this, [this] { tagsCached(); }, Qt::QueuedConnection);
    });
    // Until the first activation what the watch notices waits; then it
    // follows the timer: live while the main window holds the program's
    // focus.
}

TScanControl::~TScanControl()
{
    if (m_prober.joinable())
        m_prober.join();
    m_catalogue.waitForIndex();
    m_catalogue.setIndexDone({});
    m_catalogue.setPlaySources({});
    m_catalogue.setTagsDone({});
    m_catalogue.setTagsRead({});
    m_catalogue.setTagsBegin({});
}

void TScanControl::setFolders(
    const QByteArray &musicFolder, const QByteArray &infoFolder, TLibraryKind library)
{
    m_catalogue.setFolders(musicFolder, infoFolder, library);
    m_watch->setTree(library == TLibraryKind::Tree);
    m_watch->setFolder(m_catalogue.musicFolder());
}

void TScanControl::setPaused(bool paused)
{
    m_paused = paused;
    if (paused) {
        // Whoever un-pauses scans anyway; nothing waits for that.
        m_debounce->stop();
        m_confirm->stop();
        m_queued = false;
    } else if (m_fullWanted) {
        // Songs were renamed meanwhile: a light scan cannot show that.
        request();
    }
}

void TScanControl::renamed(const std::vector<std::pair<QByteArray, QByteArray>> &renames)
{
    // A song renamed takes its song information along at once, paused or
    // not; the full scan that shows the new name follows.
    m_catalogue.followRenames(renames);
    m_fullWanted = true;
}

bool TScanControl::isQuiet() const
{
    return !isScanning() && !m_indexing && !m_queued && !m_fullScanPending && !m_debounce->isActive()
        && !m_confirm->isActive();
}

void TScanControl::request()
{
    if (m_paused || m_debounce->isActive())
        return;
    qint64 wait = m_timing.settle;
    if (m_lastRequested.isValid())
        wait = std::max<qint64>(wait, m_timing.minInterval - m_lastRequested.elapsed());
    m_debounce->start(int(wait));
}

void TScanControl::fire()
{
    if (m_paused)
        return;
    if (isScanning()) {
        m_queued = true; // scanEnded() asks again
        return;
    }
    // This scan does the work of any other request waiting.
    m_debounce->stop();
    m_confirm->stop();
    m_lastRequested.start();
    ++m_requested;
    // A full scan also does what a light one does.
    const bool full = m_fullWanted;
    m_fullWanted = false;
    RefreshList(full);
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
    setPaused(false);
    RefreshList(first);
    m_timer->start();
    if (first)
        m_sources->start();
}

void TScanControl::deactivated()
{
    RefreshList(false);
    m_timer->stop();
    setPaused(true);
}

void TScanControl::afterScan(std::function<void()> then, bool startOne)
{
    m_afterScan.push_back(std::move(then));
    if (startOne && !isScanning())
        RefreshList(false);
}

void TScanControl::showTags()
{
    // After the scan that runs now, or the index of the last one.
    if (isScanning() || m_catalogue.indexBusy()) {
        m_tagsWaiting = true;
        return;
    }
    m_tagsWaiting = false;
    // (When the folder was listed again since, the full scan after they
    // are in the cache shows them.)
    std::optional<QStringList> errors = m_catalogue.showReadTags();
    if (!errors) {
        // In the cache already, and no full scan on its way to show them.
        if (m_tagsCachedWaiting) {
            m_tagsCachedWaiting = false;
            m_tagsFromCache = true;
            RefreshList(true);
        }
        return;
    }
    // (Once they are in the cache as well, nothing more is to come.)
    m_tagsShown = !m_tagsCachedWaiting;
    m_tagsCachedWaiting = false;
    qCDebug(lcIndex, "tags shown");
    // As after a full scan: the index of the songs in their new order.
    m_indexing = m_catalogue.keepsIndex();
    ++m_fullScans;
    scanEnded(true, *errors);
}

void TScanControl::tagsCached()
{
    // The rows took them, and no full scan has put names in their place
    // since.
    if (m_tagsShown) {
        m_tagsShown = false;
        return;
    }
    // The rows take them once the scan or index running now is over (a
    // full scan only where they cannot).
    if (m_tagsWaiting) {
        m_tagsCachedWaiting = true;
        return;
    }
    m_tagsFromCache = true;
    RefreshList(true);
}

void TScanControl::runFull()
{
    qCDebug(lcIndex, "full scan");
    // Tags still being read: this scan shows names in their place. Tags in
    // the cache: this scan shows them.
    int read = 0;
    int total = 0;
    if (m_catalogue.tagProgress(read, total))
        m_tagsShown = false;
    const bool showsTags = m_tagsFromCache || m_tagsCachedWaiting;
    m_tagsFromCache = false;
    m_tagsCachedWaiting = false;
    if (showsTags)
        m_tagsWaiting = false;
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
        // (A tree's folders left unwatched, when the system had no more
        // watches to give, leave their renames to the index.)
        const bool watched = m_watchedSince && m_watch->watchesEveryFolder() && m_watch->gaps() == m_gapsSince
            && m_watch->folder() == m_catalogue.musicFolder();
        m_catalogue.setRenamesFollowed(watched);
        errors = m_catalogue.RefreshList(TCatalogue::ScanMode::Full, hooks);
        m_watchedSince = m_watch->watchesEveryFolder() && m_watch->folder() == m_catalogue.musicFolder();
        m_gapsSince = m_watch->gaps();
        m_indexing = m_catalogue.keepsIndex();
        ++m_fullScans;
    }
    qCDebug(lcIndex, "full scan done");
    if (showsTags)
        qCDebug(lcIndex, "tags shown");
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
    TCatalogue::Hooks hooks { nullptr, m_view.playing, m_view.locked, nullptr };
    const QStringList errors = m_catalogue.applyLight(*scan, hooks);
    scanEnded(false, errors);
}

void TScanControl::showTagProgress()
{
    int done = 0;
    int total = 0;
    const bool reading = m_catalogue.tagProgress(done, total);
    if (!reading) {
        m_tagProgress->stop();
        watchOpensAgain();
    }
    if (m_view.progress)
        m_view.progress(reading ? done : 0, reading ? total : 0);
}

void TScanControl::quietOpens(int songs)
{
    if (m_opensQuiet || songs <= m_watch->folderCount())
        return;
    m_opensQuiet = true;
    m_watch->watchOpens(false);
}

void TScanControl::watchOpensAgain()
{
    if (!m_opensQuiet)
        return;
    m_opensQuiet = false;
    m_watch->watchOpens(true);
    // A player that opened a song meanwhile holds it still.
    request();
}

void TScanControl::scanEnded(bool full, const QStringList &errors)
{
    ++m_scans;
    // A full scan may have sent tags to be read behind it.
    // (Not reading, the bar is hidden and the timer stops at once.)
    if (full && !m_tagProgress->isActive()) {
        m_tagProgress->start(250);
        showTagProgress();
    }
    std::vector<std::function<void()>> waiting;
    waiting.swap(m_afterScan);
    if (m_view.ended)
        m_view.ended(full, errors);
    for (const std::function<void()> &then : waiting)
        then();
    if (m_fullScanPending) {
        m_fullScanPending = false;
        RefreshList(true);
    } else if (m_tagsWaiting && !isScanning() && !m_catalogue.indexBusy()) {
        showTags();
    }
    if (m_queued) {
        m_queued = false;
        request();
    }
    // Songs held through the Documents portal: the portal says whose files
    // they are, and the scan after its answer looks again.
    m_sources->unplaced(m_catalogue.unplacedDocuments());
    if (!isScanning()) {
        const int due = m_catalogue.heldSongs().confirmDueMs();
        // Replaces an earlier such request; paused, whoever un-pauses scans.
        if (due >= 0 && !m_paused)
            m_confirm->start(due);
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
        } else if (m_tagsWaiting && !isScanning()) {
            showTags();
        }
        return;
    }
    // While the watch follows a burst of renames, its own full scans report
    // these moves too: the one that shows them waits a moment, and is not
    // made when another full scan has run meanwhile.
    const int fullScans = m_fullScans;
    QTimer::singleShot(m_timing.rescanDelay, this, [this, fullScans] {
        if (m_catalogue.indexBusy())
            return; // a newer index decides
        m_indexing = false;
        if (m_fullScans == fullScans || m_fullScanPending) {
            m_fullScanPending = false;
            RefreshList(true);
        }
    });
}
