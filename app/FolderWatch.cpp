#include "FolderWatch.h"

#include "FileList.h"
#include "TreeWalk.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>
#include <unordered_set>

// Off unless asked for: QT_LOGGING_RULES="discora.watch.debug=true".
Q_LOGGING_CATEGORY(lcWatch, "discora.watch", QtInfoMsg)

namespace
{

// Opens and closes of the folder's files; renames within it; the folder
// itself moving away or being deleted. IN_EXCL_UNLINK: a file removed while
// open is no longer listed by name, so its closing does not matter.
constexpr uint32_t WatchMask = IN_OPEN | IN_CLOSE_NOWRITE | IN_CLOSE_WRITE | IN_MOVED_FROM | IN_MOVED_TO
    | IN_MOVE_SELF | IN_DELETE_SELF | IN_ONLYDIR | IN_EXCL_UNLINK;
constexpr uint32_t Moved = IN_MOVED_FROM | IN_MOVED_TO;
constexpr uint32_t FolderGone = IN_MOVE_SELF | IN_DELETE_SELF | IN_IGNORED | IN_UNMOUNT;
// A tree library lists what comes and goes in any folder: songs and folders
// made and removed too.
constexpr uint32_t TreeMask = WatchMask | IN_CREATE | IN_DELETE;
// What watchOpens(false) leaves out: a song written and closed still counts.
constexpr uint32_t Opens = IN_OPEN | IN_CLOSE_NOWRITE;
// How long the drainer lets events gather before it reads them.
constexpr int DrainPauseMs = 10;

// name's path below the watched folder, in the folder at path below it.
QByteArray Below(const QByteArray &path, const char *name)
{
    return path.isEmpty() ? QByteArray(name) : path + '/' + name;
}

// Asks mask of each of folders (watch, path below top) again, by path. A
// folder moved away since, whose path now names another folder (or none),
// keeps its mask until it is watched anew; the other folder is no watch of
// ours unless known says so.
template <typename Folders, typename Known>
void Remask(int fd, const QByteArray &top, const Folders &folders, uint32_t mask, const Known &known)
{
    for (const auto &[wd, path] : folders) {
        const QByteArray at = path.isEmpty() ? top : top + '/' + path;
        const int found = ::inotify_add_watch(fd, at.constData(), mask);
        if (found >= 0 && found != wd && !known.contains(found))
            ::inotify_rm_watch(fd, found);
    }
}

bool IsUnder(const QByteArray &path, const QByteArray &folder)
{
    return path.startsWith(folder) && (path.size() == folder.size() || path[folder.size()] == '/');
}

} // namespace

TFolderWatch::TFolderWatch(QObject *parent)
    : QObject(parent)
{
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &TFolderWatch::rearm);
}

TFolderWatch::~TFolderWatch()
{
    if (m_adding.valid())
        m_adding.wait();
    if (m_walking.valid()) {
        *m_stopWalk = true;
        m_walking.wait();
    }
    stopDrain();
    if (m_fd >= 0)
        ::close(m_fd);
}

void TFolderWatch::stopDrain()
{
    if (m_drainer.joinable()) {
        const uint64_t one = 1;
        if (::write(m_stopDrainer, &one, sizeof one) == sizeof one)
            m_drainer.join();
        else
            m_drainer.detach(); // cannot happen with an eventfd below its limit
    }
    if (m_stopDrainer >= 0)
        ::close(m_stopDrainer);
    m_stopDrainer = -1;
}

void TFolderWatch::drain()
{
    // Events are whole in each read; their sizes keep the next one aligned.
    alignas(inotify_event) char buffer[65536];
    pollfd fds[2] = { { m_fd, POLLIN, 0 }, { m_stopDrainer, POLLIN, 0 } };
    std::vector<char> kept;
    for (;;) {
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        if (fds[1].revents != 0)
            return;
        // A listing or a reader brings events one by one, a few microseconds
        // apart: they are read in batches, not one wake-up each. In this
        // pause the kernel queues no more than a few thousand.
        if (::poll(&fds[1], 1, DrainPauseMs) != 0)
            return;
        kept.clear();
        for (;;) {
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n <= 0)
                break; // EAGAIN: all read
            for (const char *p = buffer; p < buffer + n;) {
                const auto *event = reinterpret_cast<const inotify_event *>(p);
                const size_t size = sizeof(inotify_event) + event->len;
                if (acts(*event, event->name))
                    kept.insert(kept.end(), p, p + size);
                p += size;
            }
        }
        if (kept.empty())
            continue;
        bool post = false;
        {
            const std::lock_guard<std::mutex> lock(m_heldLock);
            if (m_held.size() + kept.size() <= MostHeld)
                m_held.insert(m_held.end(), kept.begin(), kept.end());
            else
                m_heldLost = true;
            post = !m_readPosted;
            m_readPosted = true;
        }
        if (post)
            QMetaObject::invokeMethod(this, &TFolderWatch::readEvents, Qt::QueuedConnection);
    }
}

bool TFolderWatch::acts(const inotify_event &event, const char *name) const
{
    // A folder opened or closed: the listings of the tree, the program's
    // own among them.
    if ((event.mask & IN_ISDIR) && (event.mask & ~(IN_ISDIR | Opens)) == 0)
        return false;
    // A file that is no song (the song information files the program reads
    // and writes, when they lie beside the songs).
    return event.len == 0 || (event.mask & IN_ISDIR) || isSong(name);
}

void TFolderWatch::setFolder(const QByteArray &folder)
{
    m_folder = folder;
    m_hasFolder = true;
    arm();
}

void TFolderWatch::arm()
{
    disarm();
    m_retry.stop();
    if (!m_hasFolder)
        return;
    if (m_fd < 0) {
        m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_fd < 0) {
            qCDebug(lcWatch, "inotify unavailable (%s): songs opened are noticed by the refresh timer only",
                std::strerror(errno));
            m_retry.start(RefusedRetry);
            return;
        }
        m_stopDrainer = ::eventfd(0, EFD_CLOEXEC);
        if (m_stopDrainer >= 0)
            m_drainer = std::thread([this] { drain(); });
    }
    const QByteArray path = m_folder.isEmpty() ? QByteArrayLiteral(".") : m_folder;
    m_adding = std::async(std::launch::async, [this, fd = m_fd, path, mask = mask()] {
        const int wd = ::inotify_add_watch(fd, path.constData(), mask);
        const Added added { wd, wd < 0 ? errno : 0, mask };
        QMetaObject::invokeMethod(this, &TFolderWatch::settle, Qt::QueuedConnection);
        return added;
    });
}

uint32_t TFolderWatch::mask() const
{
    const uint32_t all = m_tree ? TreeMask : WatchMask;
    return m_opens ? all : all & ~Opens;
}

void TFolderWatch::watchOpens(bool watch)
{
    if (watch == m_opens)
        return;
    m_opens = watch;
    qCDebug(lcWatch, watch ? "opens watched again" : "opens not watched for a while");
    // A watch being added takes the mask it was given: it is asked again
    // once its outcome is in. A walk adding watches takes the new one from
    // its next folder on, and asks it of those it added before; one past
    // that is taken now, and its folders asked here. (The kernel queues
    // their events until the walk is taken.)
    settle();
    bool walkDone = false;
    if (m_walking.valid()) {
        const std::lock_guard<std::mutex> lock(m_walkMask->lock);
        m_walkMask->mask = mask();
        walkDone = m_walkMask->done;
    }
    if (walkDone)
        takeWalk();
    remask();
}

void TFolderWatch::remask()
{
    Remask(m_fd, m_folder.isEmpty() ? QByteArrayLiteral(".") : m_folder, m_folders, mask(), m_folders);
}

void TFolderWatch::settle()
{
    if (!m_adding.valid())
        return;
    const Added added = m_adding.get();
    m_wd = added.wd;
    const char *path = m_folder.isEmpty() ? "." : m_folder.constData();
    if (m_wd < 0) {
        qCDebug(lcWatch, "cannot watch %s (%s): songs opened are noticed by the refresh timer only", path,
            std::strerror(added.error));
        const bool missing = added.error == ENOENT || added.error == ENOTDIR || added.error == EACCES;
        m_retry.start(missing ? MissingRetry : RefusedRetry);
        return;
    }
    qCDebug(lcWatch, "watching %s", path);
    m_folders.emplace(m_wd, QByteArray());
    if (added.mask != mask())
        ::inotify_add_watch(m_fd, path, mask());
    if (m_tree)
        walkLater(QByteArray());
}

void TFolderWatch::disarm()
{
    settle();
    m_toWalk.clear();
    if (m_walking.valid()) {
        // Whatever it watched is dropped with the rest.
        *m_stopWalk = true;
        for (const auto &[wd, path] : m_walking.get().folders)
            ::inotify_rm_watch(m_fd, wd);
    }
    for (const auto &[wd, path] : m_folders)
        ::inotify_rm_watch(m_fd, wd); // fails harmlessly when the kernel already dropped it
    m_folders.clear();
    m_foldersMovedFrom.clear();
    m_outOfWatches = false;
    m_wd = -1;
}

void TFolderWatch::walkLater(QByteArray path)
{
    m_toWalk.push_back(std::move(path));
    startWalk();
}

void TFolderWatch::startWalk()
{
    if (m_walking.valid() || m_toWalk.empty())
        return;
    std::unordered_set<int> known;
    for (const auto &[wd, path] : m_folders)
        known.insert(wd);
    m_stopWalk = std::make_shared<std::atomic_bool>(false);
    m_walkMask = std::make_shared<WalkMask>();
    m_walkMask->mask = mask();
    const QByteArray top = m_folder.isEmpty() ? QByteArrayLiteral(".") : m_folder;
    m_walking = std::async(std::launch::async,
        [this, fd = m_fd, top, paths = std::move(m_toWalk), known = std::move(known), stop = m_stopWalk,
            wanted = m_walkMask]() mutable {
            Walked walked;
            // The mask set last, asked of the folders added so far; the
            // last time, the walk is past asking it.
            const auto followMask = [&](bool last) {
                const std::lock_guard<std::mutex> lock(wanted->lock);
                if (wanted->mask != walked.mask) {
                    walked.mask = wanted->mask;
                    Remask(fd, top, walked.folders, walked.mask, known);
                }
                wanted->done = last;
            };
            walked.mask = wanted->mask;
            for (const QByteArray &path : paths) {
                walked.found = walked.found || !path.isEmpty();
                const auto song = [&](const TreeSong &) {
                    walked.songs = true;
                    return !*stop;
                };
                // Each folder is watched as it is entered, before its entries
                // are read: what comes in it from then on is seen.
                const auto enter = [&](QByteArrayView below, int folderFd) {
                    if (*stop)
                        return false;
                    // The top folder has its watch already; once the system
                    // has no more to give, the walk goes on for songs only.
                    if ((path.isEmpty() && below.isEmpty()) || walked.full)
                        return true;
                    followMask(false);
                    const QByteArray at = "/proc/self/fd/" + QByteArray::number(folderFd);
                    const int wd = ::inotify_add_watch(fd, at.constData(), walked.mask);
                    if (wd < 0) {
                        walked.full = errno == ENOSPC;
                        return true;
                    }
                    // Watched already, reached by another path (a link).
                    if (!known.insert(wd).second)
                        return false;
                    QByteArray full = path;
                    if (!below.isEmpty())
                        full = Below(path, below.toByteArray().constData());
                    walked.folders.emplace_back(wd, std::move(full));
                    return true;
                };
                WalkTree(path.isEmpty() ? top : top + '/' + path, song, false, enter);
            }
            followMask(true);
            QMetaObject::invokeMethod(this, &TFolderWatch::walked, Qt::QueuedConnection);
            return walked;
        });
}

void TFolderWatch::walked()
{
    // The outcome of an earlier walk that was taken meanwhile says nothing
    // about this one.
    if (m_walking.valid() && m_walking.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
        takeWalk();
}

void TFolderWatch::takeWalk()
{
    Walked walked = m_walking.get();
    for (auto &[wd, path] : walked.folders)
        m_folders.emplace(wd, std::move(path));
    if (walked.mask != mask())
        remask();
    if (walked.full && !m_outOfWatches) {
        m_outOfWatches = true;
        qCDebug(lcWatch,
            "no more watches (fs.inotify.max_user_watches): %d folders watched, songs opened in the "
            "others are noticed by the refresh timer only",
            int(m_folders.size()));
    }
    // What came while it walked.
    QMetaObject::invokeMethod(this, &TFolderWatch::readEvents, Qt::QueuedConnection);
    // Songs that came with a folder, or while it was being watched.
    if (walked.found && walked.songs) {
        QMetaObject::invokeMethod(this, &TFolderWatch::treeChanged, Qt::QueuedConnection);
        QMetaObject::invokeMethod(this, &TFolderWatch::touched, Qt::QueuedConnection);
    }
    startWalk();
}

void TFolderWatch::rearm()
{
    arm();
    // The folder is back (or was replaced): its files may be in another
    // state than the list shows.
    if (isWatching()) {
        if (m_tree)
            Q_EMIT treeChanged();
        Q_EMIT touched();
    }
}

void TFolderWatch::readEvents()
{
    settle();
    // Events of folders still being added wait for the walk to end.
    if (m_walking.valid())
        return;
    std::vector<char> buffer;
    bool lost = false;
    {
        const std::lock_guard<std::mutex> lock(m_heldLock);
        buffer.swap(m_held);
        lost = m_heldLost;
        m_heldLost = false;
        m_readPosted = false;
    }
    Read read;
    bool gone = false;
    ++m_reads;
    {
        const char *const end = buffer.data() + buffer.size();
        for (const char *p = buffer.data(); p < end;) {
            const auto *event = reinterpret_cast<const inotify_event *>(p);
            p += sizeof(inotify_event) + event->len;
            const auto folder = m_folders.find(event->wd);
            if (event->mask & IN_Q_OVERFLOW) {
                lost = true;
            } else if (folder == m_folders.end()) {
                continue; // left over from a watch we dropped
            } else if (event->wd == m_wd && (event->mask & FolderGone)) {
                gone = true;
            } else if (event->mask & IN_IGNORED) {
                m_folders.erase(folder); // a folder below was removed
            } else if (m_tree && (event->mask & IN_ISDIR)) {
                folderEvent(*event, folder->second, read);
            } else if (event->mask & Moved) {
                noteMove(*event, folder->second, read);
            } else if (event->len > 0 && isSong(event->name)) {
                // Only songs: the program's own reads and writes of song
                // information files (and the listing of the folder itself)
                // must not feed the watch.
                read.wanted = true;
                read.changed = read.changed || (event->mask & (IN_CREATE | IN_DELETE));
            }
        }
    }
    // A folder moved away whose new name did not come with it went out of
    // the tree: what is below it is no longer listed.
    for (const auto &[cookie, path] : m_foldersMovedFrom) {
        forget(path);
        read.changed = true;
    }
    m_foldersMovedFrom.clear();
    if (lost || gone) {
        qCDebug(lcWatch, lost ? "events lost: watching again" : "folder moved or removed: watching again");
        // Rather a scan too many than a play missed.
        ++m_gaps;
        arm();
        if (isWatching()) {
            read.wanted = true;
            // A tree that moved away and back may hold other songs. Lost
            // events ask for no new listing: the full scan reads every
            // song, and in a large tree its own opens would overflow the
            // queue again, scan after scan.
            read.changed = m_tree && gone;
        }
    }
    // A name moved away whose new name did not come with this read nor the
    // one before went out of the folder (or to a name that is no song). A
    // tree library lists it no longer: a new listing shows that, and shows
    // a late new name as well.
    for (auto it = m_movedFrom.begin(); it != m_movedFrom.end();) {
        read.changed = read.changed || (m_tree && it->second.second == m_reads);
        it = it->second.second < m_reads ? m_movedFrom.erase(it) : std::next(it);
    }
    if (!read.renames.empty()) {
        Q_EMIT renamed(read.renames);
        read.wanted = true;
    }
    if (read.changed) {
        Q_EMIT treeChanged();
        read.wanted = true;
    }
    if (read.wanted)
        Q_EMIT touched();
}

bool TFolderWatch::isSong(const char *name) const
{
    const size_t length = std::strlen(name);
    return m_tree ? TFileList::matchesAudio(name, length) : TFileList::matchesMask(name, length);
}

void TFolderWatch::folderEvent(const inotify_event &event, const QByteArray &parent, Read &read)
{
    // Hidden folders are not listed; a folder removed ends its own watch
    // (IN_IGNORED), its songs went one by one before.
    if (event.len == 0 || event.name[0] == '.' || !(event.mask & (IN_CREATE | Moved)))
        return;
    const QByteArray path = Below(parent, event.name);
    if (event.mask & IN_MOVED_FROM) {
        m_foldersMovedFrom[event.cookie] = path;
        return;
    }
    const auto from = m_foldersMovedFrom.find(event.cookie);
    if (from == m_foldersMovedFrom.end()) {
        // Made, or moved in from outside: watched from now on, and its songs
        // (that came before its watch) listed.
        walkLater(path);
        return;
    }
    // Moved within the tree: the same folders under another path, and the
    // songs in them renamed.
    for (auto &[wd, below] : m_folders)
        if (IsUnder(below, from->second))
            below = path + below.mid(from->second.size());
    read.renames.emplace_back(from->second + '/', path + '/');
    m_foldersMovedFrom.erase(from);
    read.changed = true;
}

void TFolderWatch::forget(const QByteArray &path)
{
    for (auto it = m_folders.begin(); it != m_folders.end();) {
        if (it->first != m_wd && IsUnder(it->second, path)) {
            ::inotify_rm_watch(m_fd, it->first);
            it = m_folders.erase(it);
        } else {
            ++it;
        }
    }
}

void TFolderWatch::noteMove(const inotify_event &event, const QByteArray &folder, Read &read)
{
    if (event.len == 0 || !isSong(event.name))
        return;
    const QByteArray path = Below(folder, event.name);
    if (event.mask & IN_MOVED_FROM) {
        m_movedFrom[event.cookie] = { path, m_reads };
        return;
    }
    const auto from = m_movedFrom.find(event.cookie);
    if (from == m_movedFrom.end()) {
        // Moved in from elsewhere: the next full scan lists it; in a tree
        // library, this one asks for it.
        read.changed = read.changed || m_tree;
        return;
    }
    // The song's information follows it; a song below the top of a tree
    // has its place in the rows again only in a new listing.
    read.changed = read.changed || from->second.first.contains('/') || path.contains('/');
    read.renames.emplace_back(std::move(from->second.first), path);
    m_movedFrom.erase(from);
}
