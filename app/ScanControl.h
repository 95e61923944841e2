#pragma once
// Runs the scans of the music folder for the main window, one at a time, and
// decides when: on the window's activation and deactivation, on the refresh
// timer, when the folder watch notices a song opened, closed or renamed, and
// when a source of plays reports a change. A full scan runs on the window's
// thread (it shows its first rows early and handles pending events once); a
// light scan probes the files on another thread, so the window never waits
// for a busy disk, and then puts what it found into the list. A full scan
// asked for while a scan runs follows it; a light scan asked for then is
// dropped, the running one does its work.
//
// Every timing rule is here: what the watch and the sources notice waits a
// moment for the rest of its burst, scans they ask for start at most once a
// minimum interval, one asked for while a scan runs is queued behind it, a
// song seen held open for the first time gets the scan that confirms it,
// and a rename (or a tree library's songs coming and going) is shown by a
// full scan. It owns the music folder, the folder watch and the sources of
// plays.

#include "Catalogue.h"

#include <QElapsedTimer>
#include <QObject>

#include <functional>
#include <memory>
#include <thread>
#include <vector>

class QTimer;
class TFolderWatch;
class TMpdSource;
class TMprisSource;
class TPlaySources;

class TScanControl final : public QObject
{
    Q_OBJECT
public:
    // What the window does around a scan.
    struct View {
        // A full scan has its first rows in: repaint and handle events.
        std::function<void()> yield;
        // A song is playing: "Artist - Title" of the last one found.
        std::function<void(const QString &artistTitle)> playing;
        // A cell became "Lock" and should show at once.
        std::function<void(int row)> locked;
        // A scan has ended, with the failures it met.
        std::function<void(bool full, const QStringList &errors)> ended;
        // Tags are read behind the scans: done of total (total 0: no more).
        std::function<void(int done, int total)> progress;
    };

    // How long the scans the watch and the sources ask for wait.
    struct Timing {
        // For the rest of a burst of events.
        int settle = 50;
        // The shortest time between the starts of two such scans.
        int minInterval = 1000;
        // How long the full scan that shows what the index moved waits for
        // one asked for anyway.
        int rescanDelay = 300;
    };

    // timer is the window's refresh timer: it runs while the window holds the
    // program's focus, and each tick asks for a light scan.
    TScanControl(TCatalogue &catalogue, QTimer *timer, View view, QObject *parent = nullptr);
    // Waits for a probe still running.
    ~TScanControl() override;

    void setTiming(const Timing &timing) { m_timing = timing; }
    const Timing &timing() const { return m_timing; }
    // The music and information folders (raw file-name bytes): the catalogue
    // lists them and the watch watches the music folder from now on.
    void setFolders(const QByteArray &musicFolder, const QByteArray &infoFolder,
        TLibraryKind library = TLibraryKind::Folder);

    void RefreshList(bool full);

    // The main window became active (true: the first time) or inactive.
    // Only the focus moving between the program's own windows counts:
    // coming back from another program is no activation, and going to
    // another program (toOwnWindow false) no deactivation. Each returns
    // whether it counted.
    bool windowActivated(bool first);
    bool windowDeactivated(bool toOwnWindow);
    // What a counted activation does: the watch goes live, a full (first)
    // or light scan runs, the timer starts; a deactivation scans once more,
    // then the timer stops and the watch rests.
    void activated(bool first);
    void deactivated();
    // Runs then once the scan running now, or else the next one, has ended
    // (a light scan is asked for when none runs, unless startOne is false).
    void afterScan(std::function<void()> then, bool startOne = true);
    // While paused, what the watch and the sources notice asks for nothing
    // (a rename is still followed at once, and shown once live again).
    void setPaused(bool paused);
    bool isPaused() const { return m_paused; }
    // How many scans the watch and the sources have started.
    int scansRequested() const { return m_requested; }
    // True when the last scan saw a song held open that is not confirmed as
    // playing yet: the scan that decides is on its way.
    bool confirmationDue() const { return m_catalogue.heldSongs().confirmDueMs() >= 0; }

    // True when no scan runs and none is asked for (nor the one that
    // confirms a song seen held, nor the index's): what the list shows
    // stands until something new happens.
    bool isQuiet() const;
    // True from the start of a scan until its results are in the list.
    bool isScanning() const { return m_scanning || m_light != nullptr; }
    // True after a full scan until the index of the songs is matched and
    // written (and the full scan that shows what it moved, if any, has
    // started).
    bool isIndexing() const { return m_indexing; }
    // How many scans ran (a request dropped while one runs is not one).
    int scans() const { return m_scans; }
    TFolderWatch *folderWatch() const { return m_watch; }
    // Every source of plays, started at the first activation; among them
    // the players on the session bus and the Music Player Daemon.
    TPlaySources *sources() const { return m_sources; }
    TMprisSource *mpris() const { return m_mpris; }
    TMpdSource *mpd() const { return m_mpd; }

private:
    // What the watch and the sources notice: a scan after the settle time,
    // and the minimum interval since the last one they asked for.
    void request();
    void fire();
    void renamed(const std::vector<std::pair<QByteArray, QByteArray>> &renames);
    void runFull();
    void startLight();
    void lightProbed();
    void scanEnded(bool full, const QStringList &errors);
    void indexDone(bool rescan);
    void showTagProgress();
    // While the tags of more songs are read than folders are watched, their
    // opens are not watched: changing every folder's watch costs less than
    // the two events each song would bring. Watched again once they are
    // read, with a scan for the plays begun meanwhile.
    void quietOpens(int songs);
    void watchOpensAgain();
    // The tags read behind the scans are in: the rows take them.
    void showTags();
    // And in the cache: a full scan shows them if the rows do not.
    void tagsCached();

    TCatalogue &m_catalogue;
    QTimer *m_timer;
    View m_view;
    TFolderWatch *m_watch;
    TPlaySources *m_sources;
    TMprisSource *m_mpris;
    TMpdSource *m_mpd;
    std::unique_ptr<TCatalogue::LightScan> m_light; // probing now
    std::thread m_prober;
    std::vector<std::function<void()>> m_afterScan;
    Timing m_timing;
    QTimer *m_debounce;
    QTimer *m_confirm;
    QTimer *m_tagProgress;
    QElapsedTimer m_lastRequested;
    bool m_paused = true;
    bool m_queued = false; // a requested scan waits for the running one
    // Songs were renamed (or a tree's songs came and went) since the last
    // full scan.
    bool m_fullWanted = false;
    int m_requested = 0;
    bool m_scanning = false; // a full scan runs
    bool m_fullScanPending = false;
    // Tags read behind the scans wait for the scan or index running to end;
    // the rows show them; a full scan is to show them from the cache.
    bool m_tagsWaiting = false;
    bool m_tagsShown = false;
    bool m_tagsFromCache = false;
    bool m_tagsCachedWaiting = false; // in the cache while the rows wait to take them
    bool m_opensQuiet = false;
    bool m_indexing = false; // the index of the last full scan is being matched
    int m_fullScans = 0;
    // The watch has watched the music folder since the last full scan
    // listed it, without losing events.
    bool m_watchedSince = false;
    int m_gapsSince = 0;
    bool m_lostToOtherProgram = false;
    int m_scans = 0;
};
