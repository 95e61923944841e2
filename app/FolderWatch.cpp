#include "FolderWatch.h"

#include "FileList.h"

#include <QLoggingCategory>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/inotify.h>
#include <unistd.h>

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
    if (m_fd >= 0)
        ::close(m_fd);
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
        m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &TFolderWatch::readEvents);
    }
    const QByteArray path = m_folder.isEmpty() ? QByteArrayLiteral(".") : m_folder;
    m_adding = std::async(std::launch::async, [this, fd = m_fd, path] {
        const int wd = ::inotify_add_watch(fd, path.constData(), WatchMask);
        const Added added { wd, wd < 0 ? errno : 0 };
        QMetaObject::invokeMethod(this, &TFolderWatch::settle, Qt::QueuedConnection);
        return added;
    });
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
}

void TFolderWatch::disarm()
{
    settle();
    if (m_wd >= 0)
        ::inotify_rm_watch(m_fd, m_wd); // fails harmlessly when the kernel already dropped it
    m_wd = -1;
}

void TFolderWatch::rearm()
{
    arm();
    // The folder is back (or was replaced): its files may be in another
    // state than the list shows.
    if (isWatching())
        Q_EMIT touched();
}

void TFolderWatch::readEvents()
{
    settle();
    alignas(inotify_event) char buffer[16384];
    bool wanted = false;
    bool lost = false;
    bool gone = false;
    Renames renames;
    ++m_reads;
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n <= 0)
            break; // EAGAIN: all read
        for (const char *p = buffer; p < buffer + n;) {
            const auto *event = reinterpret_cast<const inotify_event *>(p);
            p += sizeof(inotify_event) + event->len;
            if (event->mask & IN_Q_OVERFLOW) {
                lost = true;
            } else if (event->wd != m_wd || m_wd < 0) {
                continue; // left over from a watch we dropped
            } else if (event->mask & FolderGone) {
                gone = true;
            } else if (event->mask & Moved) {
                noteMove(*event, renames);
            } else if (event->len > 0 && isSong(event->name)) {
                // Only songs: the program's own reads and writes of song
                // information files (and the listing of the folder itself)
                // must not feed the watch.
                wanted = true;
            }
        }
    }
    if (lost || gone) {
        qCDebug(lcWatch, lost ? "events lost: watching again" : "folder moved or removed: watching again");
        // Rather a scan too many than a play missed.
        ++m_gaps;
        arm();
        if (isWatching())
            wanted = true;
    }
    // A name moved away whose new name did not come with this read nor the
    // one before went out of the folder (or to a name that is no song).
    for (auto it = m_movedFrom.begin(); it != m_movedFrom.end();)
        it = it->second.second < m_reads ? m_movedFrom.erase(it) : std::next(it);
    if (!renames.empty()) {
        Q_EMIT renamed(renames);
        wanted = true;
    }
    if (wanted)
        Q_EMIT touched();
}

bool TFolderWatch::isSong(const char *name) const
{
    const size_t length = std::strlen(name);
    return m_allKinds ? TFileList::matchesAudio(name, length) : TFileList::matchesMask(name, length);
}

void TFolderWatch::noteMove(const inotify_event &event, Renames &renames)
{
    if (event.len == 0 || !isSong(event.name))
        return;
    if (event.mask & IN_MOVED_FROM) {
        m_movedFrom[event.cookie] = { QByteArray(event.name), m_reads };
        return;
    }
    const auto from = m_movedFrom.find(event.cookie);
    if (from == m_movedFrom.end())
        return; // moved in from elsewhere: the next full scan lists it
    renames.emplace_back(std::move(from->second.first), QByteArray(event.name));
    m_movedFrom.erase(from);
}
