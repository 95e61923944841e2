#include "OpenFileSet.h"

#include "FIL_Func.h"

#include <QList>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace
{

// The process id a /proc entry names, or 0 when the name is not all digits.
pid_t pidOf(const char *name)
{
    pid_t pid = 0;
    for (const char *c = name; *c; ++c) {
        if (*c < '0' || *c > '9' || pid > 99999999)
            return 0;
        pid = pid * 10 + (*c - '0');
    }
    return pid;
}

// The folders as the kernel names open files: real paths, each ending in
// "/" so that "/music" does not take in "/music2".
std::vector<QByteArray> realFolders(const std::vector<QByteArray> &folders)
{
    std::vector<QByteArray> result;
    for (const QByteArray &folder : folders) {
        if (folder.contains('\0'))
            continue;
        char *real = ::realpath(folder.isEmpty() ? "." : folder.constData(), nullptr);
        if (!real)
            continue;
        QByteArray prefix(real);
        std::free(real);
        if (!prefix.endsWith('/'))
            prefix += '/';
        result.push_back(prefix);
    }
    return result;
}

bool inFolders(const char *path, size_t length, const std::vector<QByteArray> &prefixes)
{
    for (const QByteArray &prefix : prefixes) {
        if (length > size_t(prefix.size())
            && std::memcmp(path, prefix.constData(), size_t(prefix.size())) == 0)
            return true;
    }
    return false;
}

// True when path (of length bytes), outside the folders, names a song (an
// audio extension) whose file name wantedElsewhere wants.
bool wantedByName(const char *path, size_t length, const OpenFileSet::NameFilter &wantedElsewhere)
{
    if (!wantedElsewhere || !EndsWithAudioExtension(path, length))
        return false;
    const char *slash = static_cast<const char *>(::memrchr(path, '/', length));
    const char *base = slash ? slash + 1 : path;
    return wantedElsewhere(base, size_t(path + length - base));
}

// Reads a small procfs file of process pid ("fdinfo/3", "mountinfo") whole;
// empty when it is gone or not ours to read. Never more than limit bytes.
QByteArray readProcFile(int procFd, pid_t pid, const char *name, size_t limit)
{
    char path[64];
    std::snprintf(path, sizeof path, "%d/%s", int(pid), name);
    const int fd = ::openat(procFd, path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return QByteArray();
    QByteArray content;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0 || content.size() + n > qsizetype(limit))
            break;
        content.append(buffer, n);
    }
    ::close(fd);
    return content;
}

// The number after "key:" on a line of a procfs file, or -1.
long long procField(const QByteArray &content, const char *key)
{
    const QByteArray tag = QByteArray("\n") + key + ':';
    const qsizetype at = (QByteArray("\n") + content).indexOf(tag);
    if (at < 0)
        return -1;
    qsizetype i = at + tag.size() - 1; // in content, just after the colon
    while (i < content.size() && (content[i] == ' ' || content[i] == '\t'))
        ++i;
    long long value = -1;
    for (; i < content.size() && content[i] >= '0' && content[i] <= '9'; ++i)
        value = (value < 0 ? 0 : value * 10) + (content[i] - '0');
    return value;
}

// The device (as stat gives it) of the mount mountId in a process's
// mountinfo: its third field, "major:minor". 0 when not found.
dev_t mountDevice(const QByteArray &mountinfo, long long mountId)
{
    for (const QByteArray &line : mountinfo.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 3 || fields[0].toLongLong() != mountId)
            continue;
        const QList<QByteArray> numbers = fields[2].split(':');
        if (numbers.size() != 2)
            return 0;
        return makedev(numbers[0].toUInt(), numbers[1].toUInt());
    }
    return 0;
}

// Calls take(device, inode) for each descriptor of process pid whose path
// lies in one of the folders, or names a wanted song elsewhere, and adds
// the Documents portal's paths among the latter to lent; a process that is
// gone or not ours to look at has none.
template <typename Take>
void sweepProcess(int procFd, pid_t pid, const std::vector<QByteArray> &prefixes,
    const OpenFileSet::NameFilter &wantedElsewhere, Take take, std::vector<QByteArray> &lent)
{
    char fdDirName[32];
    std::snprintf(fdDirName, sizeof fdDirName, "%d/fd", int(pid));
    const int fdDirFd = ::openat(procFd, fdDirName, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fdDirFd < 0)
        return;
    DIR *fdDir = ::fdopendir(fdDirFd);
    if (!fdDir) {
        ::close(fdDirFd);
        return;
    }
    char target[PATH_MAX];
    QByteArray mountinfo; // read once, when first needed
    while (const dirent *entry = ::readdir(fdDir)) {
        if (entry->d_name[0] == '.')
            continue;
        // The link's text comes from the kernel's own record of the path;
        // only a descriptor in our folders is followed to the file.
        const ssize_t length = ::readlinkat(fdDirFd, entry->d_name, target, sizeof target);
        if (length <= 0 || size_t(length) >= sizeof target)
            continue;
        if (inFolders(target, size_t(length), prefixes)) {
            struct stat st;
            if (::fstatat(fdDirFd, entry->d_name, &st, 0) == 0)
                take(st.st_dev, st.st_ino);
            continue;
        }
        // A song elsewhere: a sandboxed player sees the music folder at a
        // path of its own. The file is named by procfs alone (its mount and
        // inode), so a stuck mount cannot hold the sweep either.
        if (!wantedByName(target, size_t(length), wantedElsewhere))
            continue;
        // A file the Documents portal lends: procfs names the portal's own
        // file, whose inode is not the song's; the portal can tell.
        QByteArray id, rest;
        if (PortalDocument(QByteArray(target, qsizetype(length)), id, rest))
            lent.emplace_back(target, qsizetype(length));
        char name[300];
        std::snprintf(name, sizeof name, "fdinfo/%s", entry->d_name);
        const QByteArray info = readProcFile(procFd, pid, name, 64 * 1024);
        const long long mountId = procField(info, "mnt_id");
        const long long inode = procField(info, "ino");
        if (mountId < 0 || inode < 0)
            continue;
        if (mountinfo.isEmpty())
            mountinfo = readProcFile(procFd, pid, "mountinfo", 4 << 20);
        if (const dev_t device = mountDevice(mountinfo, mountId))
            take(device, ino_t(inode));
    }
    ::closedir(fdDir);
}

} // namespace

OpenFileSet OpenFileSet::sweep(const std::vector<QByteArray> &folders, const NameFilter &wantedElsewhere)
{
    OpenFileSet result;
    const std::vector<QByteArray> prefixes = realFolders(folders);
    if (prefixes.empty())
        return result;
    const int procFd = ::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (procFd < 0)
        return result;
    DIR *proc = ::fdopendir(procFd);
    if (!proc) {
        ::close(procFd);
        return result;
    }
    const pid_t self = ::getpid();
    while (const dirent *entry = ::readdir(proc)) {
        const pid_t pid = pidOf(entry->d_name);
        if (pid <= 0 || pid == self)
            continue;
        sweepProcess(
            procFd, pid, prefixes, wantedElsewhere,
            [&result](dev_t device, ino_t inode) { result.insert(device, inode); }, result.m_lent);
    }
    ::closedir(proc);
    return result;
}

void OpenFileSet::addReported(const std::vector<QByteArray> &paths, const std::vector<QByteArray> &folders,
    const NameFilter &wantedElsewhere)
{
    if (paths.empty())
        return;
    std::vector<QByteArray> prefixes = realFolders(folders);
    for (const QByteArray &folder : folders)
        if (!folder.isEmpty())
            prefixes.push_back(folder.endsWith('/') ? folder : folder + '/');
    for (const QByteArray &path : paths) {
        if (path.contains('\0'))
            continue;
        if (!inFolders(path.constData(), size_t(path.size()), prefixes)
            && !wantedByName(path.constData(), size_t(path.size()), wantedElsewhere))
            continue;
        struct stat st;
        if (::stat(path.constData(), &st) == 0 && S_ISREG(st.st_mode))
            insert(st.st_dev, st.st_ino);
    }
}

bool OpenFileSet::contains(dev_t device, ino_t inode) const
{
    return m_files.find(Key { device, inode }) != m_files.end();
}

bool OpenFileSet::containsPath(const QByteArray &nativePath) const
{
    if (nativePath.isEmpty() || nativePath.contains('\0'))
        return false;
    struct stat st;
    return ::stat(nativePath.constData(), &st) == 0 && contains(st.st_dev, st.st_ino);
}
