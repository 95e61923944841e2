#pragma once
// Notices the moment any program opens or closes a song of the music folder
// (inotify) and says so (touched()), and hears of songs renamed within it
// (renamed()). In a tree library it watches every folder below the music
// folder too, as the tree listing finds them and as they come and go, and
// says when songs came, went or moved where only a new listing of the tree
// shows it (treeChanged()). When it had to watch anew (the kernel's queue
// overflowed, the folder moved away and came back) it says touched() too:
// the files may be in another state than the list shows. Deciding what to
// scan, and when, is the scan control's. Where a folder cannot be watched
// the watch stays quiet about it and the refresh timer alone keeps the list
// current; only the debug log says so.

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

struct inotify_event;

class TFolderWatch final : public QObject
{
    Q_OBJECT
public:
    // Attempts to watch again while the folder is missing, and while the
    // system refuses a watch (limits reached, a file system without inotify).
    static constexpr int MissingRetry = 1000;
    static constexpr int RefusedRetry = 60000;
    // The most bytes of events held for the window's thread while it is
    // busy (some 250,000 events); more count as events lost.
    static constexpr size_t MostHeld = 8 << 20;

    // Songs renamed within the folder (a song's name to a song's name), old
    // and new raw name (in a tree library, the path below the folder), in
    // the order they happened. A tree's folder moved within the tree comes
    // as its old and new path, each ending in "/".
    using Renames = std::vector<std::pair<QByteArray, QByteArray>>;

    explicit TFolderWatch(QObject *parent = nullptr);
    ~TFolderWatch() override;

    // Watches folder (raw file-name bytes; empty means the current folder)
    // from now on, dropping the watch of any earlier folder.
    void setFolder(const QByteArray &folder);
    const QByteArray &folder() const { return m_folder; }
    // false: a folder library, the ".mp3" files of the folder itself. true:
    // a tree library, every kind of song it lists, in the folder and every
    // folder below it. Takes effect at the next setFolder().
    void setTree(bool tree) { m_tree = tree; }
    // True while the kernel reports on the folder (the folders below it are
    // added after it, on another thread).
    bool isWatching()
    {
        settle();
        return m_wd >= 0;
    }
    // True while every folder it should watch is watched: the folder, and
    // in a tree library every folder below it (none left over when the
    // system ran out of watches, no walk still adding them), so that every
    // rename in the tree is reported.
    bool watchesEveryFolder()
    {
        settle();
        return m_wd >= 0 && !m_walking.valid() && !m_outOfWatches;
    }
    // How many times the watch lost events (the kernel's queue overflowed,
    // the folder moved away) and was set up again: renames then may have
    // gone unseen.
    int gaps() const { return m_gaps; }
    // How many folders are watched.
    int folderCount() const { return int(m_folders.size()); }
    // false: the songs' opens and closes are not watched for a while, and
    // touched() says nothing of them. The program's own reading of many
    // songs' tags would bring two events a song, more than the kernel
    // queues: its reader then takes them for nothing, and the overflow has
    // the whole tree watched anew. Whoever watches opens again asks for a
    // scan: a player that opened a song meanwhile still holds it.
    void watchOpens(bool watch);

Q_SIGNALS:
    // A song was opened or closed, or the folder may have changed unseen.
    void touched();
    // Songs were renamed (touched() follows).
    void renamed(const TFolderWatch::Renames &renames);
    // A tree library's songs came, went or were renamed in a way only a new
    // listing shows: in a folder below the top, from one folder to another,
    // with a folder made, moved or removed (touched() follows).
    void treeChanged();

private:
    // The watch of a folder of many files takes the kernel a while to set
    // up (it marks every file): that runs on another thread, and settle()
    // takes its outcome, waiting for it if need be.
    struct Added {
        int wd;
        int error;
        uint32_t mask; // asked of it
    };
    // The folders below it, in a tree library: added by walking them on
    // another thread, one walk at a time. Events wait in the kernel's queue
    // until a walk is done, so that every folder they name is known.
    struct Walked {
        std::vector<std::pair<int, QByteArray>> folders; // watch, path below the folder
        bool songs = false; // songs lie in the folders walked
        bool full = false; // the system had no more watches to give
        bool found = false; // folders that came later: their songs are new
        uint32_t mask = 0; // asked of each
    };
    // What one read of events saw.
    struct Read {
        bool wanted = false;
        bool changed = false; // a tree's listing is out of date
        Renames renames;
    };
    void arm();
    // The events asked of each folder: a tree's or a folder library's, with
    // or without opens.
    uint32_t mask() const;
    // Asks them of every folder watched.
    void remask();
    void settle();
    void disarm();
    void rearm();
    void walkLater(QByteArray path);
    void startWalk();
    void walked();
    void takeWalk();
    // The drainer's loop, and whether it keeps an event for readEvents().
    void drain();
    bool acts(const inotify_event &event, const char *name) const;
    void stopDrain();
    void readEvents();
    bool isSong(const char *name) const;
    // A folder below the top made, moved or removed (tree library).
    void folderEvent(const inotify_event &event, const QByteArray &parent, Read &read);
    // Pairs a moved-away name with its new one (same cookie).
    void noteMove(const inotify_event &event, const QByteArray &folder, Read &read);
    // Stops watching the folders at path and below it.
    void forget(const QByteArray &path);

    // Songs moved away from a name (their path below the folder), by
    // cookie, until their new name comes (within the next read at the
    // latest), and the read that saw each.
    std::map<uint32_t, std::pair<QByteArray, int>> m_movedFrom;
    // The same for folders, within one read.
    std::map<uint32_t, QByteArray> m_foldersMovedFrom;
    int m_reads = 0;
    QByteArray m_folder;
    int m_fd = -1;
    int m_wd = -1;
    // Every folder watched, the folder itself ("") included, by watch.
    std::unordered_map<int, QByteArray> m_folders;
    std::future<Added> m_adding;
    std::future<Walked> m_walking;
    std::shared_ptr<std::atomic_bool> m_stopWalk;
    // The mask the walk running asks of the folders it adds, as set last,
    // and whether it is past asking it.
    struct WalkMask {
        std::mutex lock;
        uint32_t mask = 0;
        bool done = false;
    };
    std::shared_ptr<WalkMask> m_walkMask;
    // Folders that came while a walk ran, to walk next.
    std::vector<QByteArray> m_toWalk;
    // The kernel's queue is read as fast as events come, on a thread of its
    // own: while the window's thread is busy (a full scan of a large tree)
    // a walk of the tree, the program's own listing, or a backup opening
    // every folder brings more events than the kernel queues, and a queue
    // that overflowed has the whole tree watched anew. The drainer drops
    // what nothing acts on (a folder opened or closed, a file that is no
    // song) and keeps the rest, in the kernel's layout, for readEvents().
    std::thread m_drainer;
    int m_stopDrainer = -1; // an eventfd
    std::mutex m_heldLock;
    std::vector<char> m_held; // guarded by m_heldLock
    bool m_heldLost = false; // guarded: more came than it holds
    bool m_readPosted = false; // guarded: a readEvents() is on its way
    QTimer m_retry;
    bool m_hasFolder = false;
    std::atomic_bool m_tree = false;
    bool m_opens = true;
    // The system had no more watches to give: folders of the tree are left
    // unwatched until the watch is set up anew.
    bool m_outOfWatches = false;
    int m_gaps = 0;
};
