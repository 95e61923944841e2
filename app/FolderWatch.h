#pragma once
// Notices the moment any program opens or closes a song of the music folder
// (inotify) and asks for a light scan: at most one a second, never while a
// scan runs (one is queued behind it instead). It also asks for the scan
// that confirms a song seen held open for the first time. Where the folder cannot be
// watched the watch stays quiet and the refresh timer alone keeps the list
// current; only the debug log says so.

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <future>
#include <map>
#include <utility>
#include <vector>

class QSocketNotifier;
struct inotify_event;

class TFolderWatch final : public QObject
{
    Q_OBJECT
public:
    // Shortest time between the starts of two scans the watch asks for.
    static constexpr int MinInterval = 1000;
    // How long a first event waits for the rest of its burst.
    static constexpr int Settle = 50;
    // Attempts to watch again while the folder is missing, and while the
    // system refuses a watch (limits reached, a file system without inotify).
    static constexpr int MissingRetry = 1000;
    static constexpr int RefusedRetry = 60000;

    // scan runs a light scan; busy tells whether a scan is running now.
    TFolderWatch(std::function<void()> scan, std::function<bool()> busy, QObject *parent = nullptr);

    // Songs renamed within the folder (an ".mp3" name to an ".mp3" name),
    // old and new raw name, in the order they happened.
    using Renamed = std::function<void(const std::vector<std::pair<QByteArray, QByteArray>> &)>;
    // renamed hears of every such rename at once, paused or not; a full scan
    // (fullScan) then follows, as any scan the watch asks for, since only a
    // full scan shows a list with other names. Unset: renames go unnoticed.
    void setRenameHandlers(Renamed renamed, std::function<void()> fullScan);
    ~TFolderWatch() override;

    // Watches folder (raw file-name bytes; empty means the current folder)
    // from now on, dropping the watch of any earlier folder.
    void setFolder(const QByteArray &folder);
    const QByteArray &folder() const { return m_folder; }
    // While paused, events are read and dropped and nothing is asked for.
    void setPaused(bool paused);
    bool isPaused() const { return m_paused; }
    // Called when any scan ends: a request that waited for it runs now.
    void scanEnded();
    // Another source of plays (a player on the session bus) reports a
    // change: a light scan follows as for an event of the folder.
    void sourceChanged() { request(); }
    // Asks for a light scan in ms milliseconds, events or not, unless paused
    // by then: a song first seen held open at the last scan counts as playing
    // only if the next one a while later still finds it so. Replaces an
    // earlier such request.
    void confirmIn(int ms);
    // True while the kernel reports on the folder.
    bool isWatching()
    {
        settle();
        return m_wd >= 0;
    }
    // How many scans the watch has started.
    int scansStarted() const { return m_started; }
    // How many times the watch lost events (the kernel's queue overflowed,
    // the folder moved away) and was set up again: renames then may have
    // gone unseen.
    int gaps() const { return m_gaps; }

private:
    // The watch of a folder of many files takes the kernel a while to set
    // up (it marks every file): that runs on another thread, and settle()
    // takes its outcome, waiting for it if need be.
    struct Added {
        int wd;
        int error;
    };
    void arm();
    void settle();
    void disarm();
    void rearm();
    void readEvents();
    // Pairs a moved-away name with its new one (same cookie).
    void noteMove(const inotify_event &event, std::vector<std::pair<QByteArray, QByteArray>> &renames);
    void request();
    void fire();

    std::function<void()> m_scan;
    Renamed m_renamed;
    std::function<void()> m_fullScan;
    // Songs moved away from a name, by cookie, until their new name comes
    // (within the next read at the latest), and the read that saw each.
    std::map<uint32_t, std::pair<QByteArray, int>> m_movedFrom;
    int m_reads = 0;
    bool m_fullWanted = false;
    std::function<bool()> m_busy;
    QByteArray m_folder;
    int m_fd = -1;
    int m_wd = -1;
    std::future<Added> m_adding;
    QSocketNotifier *m_notifier = nullptr;
    QTimer m_debounce;
    QTimer m_confirm;
    QTimer m_retry;
    QElapsedTimer m_lastScan;
    bool m_hasFolder = false;
    bool m_paused = false;
    bool m_queued = false;
    int m_started = 0;
    int m_gaps = 0;
};
