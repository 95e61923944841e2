#pragma once
// Notices the moment any program opens or closes a song of the music folder
// (inotify) and says so (touched()), and hears of songs renamed within it
// (renamed()). When it had to watch anew (the kernel's queue overflowed, the
// folder moved away and came back) it says touched() too: the files may be
// in another state than the list shows. Deciding what to scan, and when, is
// the scan control's. Where the folder cannot be watched the watch stays
// quiet and the refresh timer alone keeps the list current; only the debug
// log says so.

#include <QByteArray>
#include <QObject>
#include <QTimer>

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
    // Attempts to watch again while the folder is missing, and while the
    // system refuses a watch (limits reached, a file system without inotify).
    static constexpr int MissingRetry = 1000;
    static constexpr int RefusedRetry = 60000;

    // Songs renamed within the folder (a song's name to a song's name), old
    // and new raw name, in the order they happened.
    using Renames = std::vector<std::pair<QByteArray, QByteArray>>;

    explicit TFolderWatch(QObject *parent = nullptr);
    ~TFolderWatch() override;

    // Watches folder (raw file-name bytes; empty means the current folder)
    // from now on, dropping the watch of any earlier folder.
    void setFolder(const QByteArray &folder);
    const QByteArray &folder() const { return m_folder; }
    // Which opens count: of ".mp3" files (a folder library), or of every
    // kind of song a tree library lists.
    void setAllSongKinds(bool all) { m_allKinds = all; }
    // True while the kernel reports on the folder.
    bool isWatching()
    {
        settle();
        return m_wd >= 0;
    }
    // How many times the watch lost events (the kernel's queue overflowed,
    // the folder moved away) and was set up again: renames then may have
    // gone unseen.
    int gaps() const { return m_gaps; }

Q_SIGNALS:
    // A song was opened or closed, or the folder may have changed unseen.
    void touched();
    // Songs were renamed (touched() follows).
    void renamed(const TFolderWatch::Renames &renames);

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
    bool isSong(const char *name) const;
    // Pairs a moved-away name with its new one (same cookie).
    void noteMove(const inotify_event &event, Renames &renames);

    // Songs moved away from a name, by cookie, until their new name comes
    // (within the next read at the latest), and the read that saw each.
    std::map<uint32_t, std::pair<QByteArray, int>> m_movedFrom;
    int m_reads = 0;
    QByteArray m_folder;
    int m_fd = -1;
    int m_wd = -1;
    std::future<Added> m_adding;
    QSocketNotifier *m_notifier = nullptr;
    QTimer m_retry;
    bool m_hasFolder = false;
    bool m_allKinds = false;
    int m_gaps = 0;
};
