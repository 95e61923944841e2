#include "TreeWalk.h"

#include "FIL_Func.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <queue>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

namespace
{

struct FolderKey {
    dev_t device;
    ino_t inode;
    bool operator==(const FolderKey &other) const = default;
};

struct FolderKeyHash {
    size_t operator()(const FolderKey &k) const
    {
        return std::hash<ino_t>()(k.inode) ^ (size_t(k.device) << 1);
    }
};

// What getdents64() fills its buffer with: one record after another.
struct RawEntry {
    quint64 inode;
    qint64 offset;
    unsigned short length;
    unsigned char type;
    char name[1];
};

class Walker
{
public:
    Walker(const std::function<bool(const TreeSong &)> &song, bool noteLinks,
        const std::function<bool(QByteArrayView, int)> &enter)
        : m_song(song)
        , m_noteLinks(noteLinks)
        , m_enter(enter)
        , m_buffer(128 * 1024)
    {
    }

    TreeWalkResult run(const QByteArray &folder)
    {
        m_root = ::open(folder.isEmpty() ? "." : folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (m_root < 0) {
            m_result.unreadableFolders = errno == ENOENT || errno == ENOTDIR ? 0 : 1;
            return std::move(m_result);
        }
        if (m_noteLinks)
            m_rootReal = RealPathAt(m_root, "");
        list(QByteArray(), ::dup(m_root), false);
        // Depth first through the folders themselves; a folder behind a link
        // only once none is left, so a folder that has a path without links
        // is listed under that path.
        while (!m_result.stopped) {
            QByteArray path;
            bool linked = false;
            if (!m_folders.empty()) {
                path = std::move(m_folders.back());
                m_folders.pop_back();
            } else if (!m_linked.empty()) {
                path = m_linked.top();
                m_linked.pop();
                linked = true;
            } else {
                break;
            }
            // O_DIRECTORY: a name that is no longer a folder (a pipe, say)
            // fails at once rather than waiting for a writer.
            const int fd = ::openat(m_root, path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            // A folder gone since its parent was listed was not unreadable.
            if (fd < 0 && errno != ENOENT)
                ++m_result.unreadableFolders;
            else if (fd >= 0)
                list(path, fd, linked);
        }
        ::close(m_root);
        return std::move(m_result);
    }

private:
    // Lists the folder open as fd (closing it), unless it was entered before.
    void list(const QByteArray &path, int fd, bool linked)
    {
        struct stat st;
        if (fd < 0 || ::fstat(fd, &st) != 0 || !m_seen.insert(FolderKey { st.st_dev, st.st_ino }).second) {
            if (fd >= 0)
                ::close(fd);
            return;
        }
        if (m_enter && !m_enter(path, fd)) {
            ::close(fd);
            return;
        }
        if (linked && m_noteLinks)
            noteOutside(RealPathAt(fd, ""));
        for (;;) {
            const ssize_t filled = ::getdents64(fd, m_buffer.data(), m_buffer.size());
            if (filled < 0)
                ++m_result.unreadableFolders;
            if (filled <= 0)
                break;
            for (ssize_t at = 0; at < filled && !m_result.stopped;) {
                const RawEntry *entry = reinterpret_cast<const RawEntry *>(m_buffer.data() + at);
                at += entry->length;
                take(path, fd, entry->name, entry->type);
            }
            if (m_result.stopped)
                break;
        }
        ::close(fd);
    }

    void take(const QByteArray &path, int fd, const char *name, unsigned char type)
    {
        if (name[0] == '.')
            return;
        const size_t length = std::strlen(name);
        bool isLink = type == DT_LNK;
        if (type == DT_LNK || type == DT_UNKNOWN) {
            // A file system that does not tell the type: one look without
            // following the name, a second one only for a link.
            struct stat st;
            if (::fstatat(fd, name, &st, isLink ? 0 : AT_SYMLINK_NOFOLLOW) != 0)
                return;
            if (!isLink && S_ISLNK(st.st_mode)) {
                isLink = true;
                if (::fstatat(fd, name, &st, 0) != 0)
                    return;
            }
            type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
        }
        if (type == DT_DIR) {
            QByteArray child = path.isEmpty() ? QByteArray(name, qsizetype(length)) : path + '/' + name;
            if (isLink)
                m_linked.push(std::move(child));
            else
                m_folders.push_back(std::move(child));
        } else if (type == DT_REG && EndsWithAudioExtension(name, length)) {
            if (isLink && m_noteLinks) {
                const QByteArray real = RealPathAt(fd, name);
                noteOutside(real.left(std::max<qsizetype>(real.lastIndexOf('/'), 1)));
            }
            if (!m_song(TreeSong { path, QByteArrayView(name, qsizetype(length)) }))
                m_result.stopped = true;
        }
    }

    // Adds a real folder to the linked ones, once, unless it lies in the
    // walked folder (whose own path covers it).
    void noteOutside(const QByteArray &real)
    {
        if (real.isEmpty() || real == m_rootReal
            || (real.startsWith(m_rootReal) && real[m_rootReal.size()] == '/') || m_rootReal == "/")
            return;
        std::vector<QByteArray> &folders = m_result.linkedFolders;
        if (std::find(folders.begin(), folders.end(), real) == folders.end())
            folders.push_back(real);
    }

    const std::function<bool(const TreeSong &)> &m_song;
    const bool m_noteLinks;
    const std::function<bool(QByteArrayView, int)> &m_enter;
    std::vector<char> m_buffer;
    int m_root = -1;
    QByteArray m_rootReal;
    std::unordered_set<FolderKey, FolderKeyHash> m_seen;
    std::vector<QByteArray> m_folders;
    std::priority_queue<QByteArray, std::vector<QByteArray>, std::greater<QByteArray>> m_linked;
    TreeWalkResult m_result;
};

} // namespace

TreeWalkResult WalkTree(
    const QByteArray &folder, const std::function<bool(const TreeSong &)> &song, bool noteLinkedFolders)
{
    return WalkTree(folder, song, noteLinkedFolders, {});
}

TreeWalkResult WalkTree(const QByteArray &folder, const std::function<bool(const TreeSong &)> &song,
    bool noteLinkedFolders, const std::function<bool(QByteArrayView path, int fd)> &enter)
{
    return Walker(song, noteLinkedFolders, enter).run(folder);
}
