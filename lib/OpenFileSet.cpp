#include "OpenFileSet.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
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

// Calls take(device, inode) for each descriptor of process pid whose path
// lies in one of the folders; a process that is gone or not ours to look at
// has none.
template <typename Take>
void sweepProcess(int procFd, pid_t pid, const std::vector<QByteArray> &prefixes, Take take)
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
    while (const dirent *entry = ::readdir(fdDir)) {
        if (entry->d_name[0] == '.')
            continue;
        // The link's text comes from the kernel's own record of the path;
        // only a descriptor in our folders is followed to the file.
        const ssize_t length = ::readlinkat(fdDirFd, entry->d_name, target, sizeof target);
        if (length <= 0 || size_t(length) >= sizeof target || !inFolders(target, size_t(length), prefixes))
            continue;
        struct stat st;
        if (::fstatat(fdDirFd, entry->d_name, &st, 0) == 0)
            take(st.st_dev, st.st_ino);
    }
    ::closedir(fdDir);
}

} // namespace

OpenFileSet OpenFileSet::sweep(const std::vector<QByteArray> &folders)
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
            procFd, pid, prefixes, [&result](dev_t device, ino_t inode) { result.insert(device, inode); });
    }
    ::closedir(proc);
    return result;
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
