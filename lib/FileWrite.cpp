#include "FileWrite.h"

#include "QLXError.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

constexpr int MaxLinkDepth = 40;
constexpr mode_t AnyWriteBit = S_IWUSR | S_IWGRP | S_IWOTH;

[[noreturn]] void failWrite(const QByteArray &nativePath)
{
    throw EQLXError(UnableToWriteText(DisplayPath(nativePath)));
}

QByteArray folderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    if (slash == 0)
        return QByteArrayLiteral("/");
    return path.left(slash);
}

QByteArray nameOf(const QByteArray &path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

bool readLink(const QByteArray &path, QByteArray &target)
{
    QByteArray buffer(4096, Qt::Uninitialized);
    const ssize_t n = ::readlink(path.constData(), buffer.data(), size_t(buffer.size()));
    if (n <= 0 || n >= buffer.size())
        return false;
    target = buffer.left(n);
    return true;
}

// The file a write to path really replaces: symbolic links are followed
// (also dangling ones, whose target the write then creates).
bool resolveLinks(const QByteArray &path, QByteArray &resolved)
{
    QByteArray current = path;
    for (int depth = 0; depth < MaxLinkDepth; ++depth) {
        struct stat st;
        if (::lstat(current.constData(), &st) != 0) {
            resolved = current;
            return errno == ENOENT;
        }
        if (!S_ISLNK(st.st_mode)) {
            resolved = current;
            return true;
        }
        QByteArray target;
        if (!readLink(current, target))
            return false;
        current = target.startsWith('/') ? target : folderOf(current) + '/' + target;
    }
    return false;
}

// Whether the folder takes new files. Root passes access(), so a folder
// without any write bit counts as read-only by its mode alone.
bool folderWritable(const QByteArray &folder)
{
    struct stat st;
    if (::stat(folder.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    return (st.st_mode & AnyWriteBit) != 0 && ::access(folder.constData(), W_OK | X_OK) == 0;
}

// What the replacement takes over from the file it replaces.
struct OldFile {
    bool exists = false;
    mode_t mode = 0;
    uid_t uid = 0;
    gid_t gid = 0;
};

bool inspectOldFile(const QByteArray &path, OldFile &old)
{
    struct stat st;
    if (::stat(path.constData(), &st) != 0)
        return errno == ENOENT;
    if (!S_ISREG(st.st_mode) || (st.st_mode & AnyWriteBit) == 0 || ::access(path.constData(), W_OK) != 0)
        return false;
    old.exists = true;
    old.mode = st.st_mode & 07777;
    old.uid = st.st_uid;
    old.gid = st.st_gid;
    return true;
}

QByteArray randomSuffix()
{
    static constexpr char Alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QByteArray suffix(8, '0');
    for (char &c : suffix)
        c = Alphabet[QRandomGenerator::global()->bounded(int(sizeof Alphabet - 1))];
    return suffix;
}

// A hidden temporary file beside the target; the kernel applies the umask
// (and any default ACL) to its 0666, as for any newly created file.
class TempFile
{
public:
    bool create(const QByteArray &folder, const QByteArray &name)
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            m_path = folder + "/." + name.left(MaxTempNameStem) + '.' + randomSuffix();
            m_fd = ::open(m_path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (m_fd >= 0) {
                m_created = true;
                return true;
            }
            if (errno != EEXIST)
                return false;
        }
        return false;
    }
    ~TempFile()
    {
        closeFd();
        if (m_created && !m_kept)
            ::unlink(m_path.constData());
    }
    int fd() const { return m_fd; }
    const QByteArray &path() const { return m_path; }
    bool closeFd()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd < 0 || ::close(fd) == 0;
    }
    void keep() { m_kept = true; }

private:
    QByteArray m_path;
    int m_fd = -1;
    bool m_created = false;
    bool m_kept = false;
};

bool takeOverOwnerAndMode(int fd, const OldFile &old)
{
    if (!old.exists)
        return true;
    // Only root can give the file away; for anyone else the owner is already
    // right or cannot be changed, which is no reason to refuse the write.
    if (::geteuid() == 0)
        (void)::fchown(fd, old.uid, old.gid);
    return ::fchmod(fd, old.mode) == 0;
}

void syncFolder(const QByteArray &folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        (void)::fsync(fd);
        ::close(fd);
    }
}

// seen, when given, gets what fstat() told of the file before it was read.
bool readOpenFile(int fd, QByteArray &bytes, struct stat *seen = nullptr)
{
    struct stat own;
    struct stat &st = seen ? *seen : own;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    // One byte more than the size, so that end of file is seen without growing.
    bytes.resize(qsizetype(st.st_size) + 1);
    qsizetype done = 0;
    for (;;) {
        if (done == bytes.size())
            bytes.resize(bytes.size() * 2);
        const ssize_t n = ::read(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        done += n;
        // A regular file that gave all its bytes is done: spare the read
        // that would only report its end.
        if (done == qsizetype(st.st_size) && done < bytes.size())
            break;
    }
    bytes.resize(done);
    return true;
}

// O_NONBLOCK so that opening a FIFO cannot hang the caller.
int openForReading(const QByteArray &nativePath)
{
    return ::open(nativePath.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
}

} // namespace

void WriteFileAtomic(const QByteArray &nativePath, const QByteArray &bytes, bool durable)
{
    QByteArray target;
    if (nativePath.isEmpty() || !resolveLinks(nativePath, target))
        failWrite(nativePath);
    const QByteArray folder = folderOf(target);
    const QByteArray name = nameOf(target);
    OldFile old;
    if (name.isEmpty() || !folderWritable(folder) || !inspectOldFile(target, old))
        failWrite(nativePath);

    TempFile temp;
    if (!temp.create(folder, name) || !WriteAll(temp.fd(), bytes) || !takeOverOwnerAndMode(temp.fd(), old)
        || (durable && ::fsync(temp.fd()) != 0) || !temp.closeFd())
        failWrite(nativePath);
    if (::rename(temp.path().constData(), target.constData()) != 0)
        failWrite(nativePath);
    temp.keep();
    if (durable)
        syncFolder(folder);
}

bool ReadWholeFile(const QByteArray &nativePath, QByteArray &bytes)
{
    bytes.clear();
    const int fd = openForReading(nativePath);
    if (fd < 0)
        return false;
    const bool ok = readOpenFile(fd, bytes);
    ::close(fd);
    if (!ok)
        bytes.clear();
    return ok;
}

bool ReadWholeFileAt(int dirFd, const char *name, QByteArray &bytes, bool listedAsFile, struct stat *seen)
{
    bytes.resize(0);
    const int fd = ::openat(dirFd, name, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return false;
    bool ok = false;
    bool done = false;
    if (listedAsFile && !seen) {
        // A short read of a plain file is its end. Only a file that fills
        // the buffer goes the long way, type check included.
        constexpr qsizetype FirstRead = 64 * 1024;
        bytes.resize(std::max(bytes.capacity(), FirstRead));
        ssize_t n;
        do
            n = ::read(fd, bytes.data(), size_t(bytes.size()));
        while (n < 0 && errno == EINTR);
        done = n < 0 || n < bytes.size();
        ok = n >= 0;
        bytes.resize(ok && done ? qsizetype(n) : 0);
        if (!done && ::lseek(fd, 0, SEEK_SET) != 0) {
            ok = false;
            done = true;
        }
    }
    if (!done)
        ok = readOpenFile(fd, bytes, seen);
    ::close(fd);
    if (!ok)
        bytes.resize(0);
    return ok;
}

bool ReadFileForUpdate(const QByteArray &nativePath, QByteArray &bytes)
{
    bytes.clear();
    const int fd = openForReading(nativePath);
    if (fd < 0)
        return errno == ENOENT;
    const bool ok = readOpenFile(fd, bytes);
    ::close(fd);
    if (!ok)
        bytes.clear();
    return ok;
}

QByteArrayView WriteTemporaryStem(QByteArrayView name)
{
    constexpr qsizetype Suffix = 8;
    if (name.size() < 3 + Suffix || name[0] != '.' || name[name.size() - Suffix - 1] != '.')
        return QByteArrayView();
    for (const char c : name.last(Suffix)) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return QByteArrayView();
    }
    const QByteArrayView stem = name.sliced(1, name.size() - Suffix - 2);
    return stem.size() <= MaxTempNameStem ? stem : QByteArrayView();
}

bool RemoveStaleTemporary(int dirFd, const char *name, time_t now)
{
    struct stat st;
    return ::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode)
        && st.st_mtime < now - StaleTemporaryAge && ::unlinkat(dirFd, name, 0) == 0;
}

void RemoveStaleTemporaries(const QByteArray &folder, const QList<QByteArray> &names)
{
    DIR *dir = ::opendir(folder.isEmpty() ? "." : folder.constData());
    if (!dir)
        return;
    const time_t now = ::time(nullptr);
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArrayView stem = WriteTemporaryStem(entry->d_name);
        if (stem.isNull())
            continue;
        for (const QByteArray &name : names) {
            if (stem == QByteArrayView(name).first(std::min(name.size(), MaxTempNameStem))) {
                RemoveStaleTemporary(::dirfd(dir), entry->d_name, now);
                break;
            }
        }
    }
    ::closedir(dir);
}

QString DisplayPath(const QByteArray &nativePath)
{
    return QString::fromUtf8(nativePath);
}

bool WriteAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}
