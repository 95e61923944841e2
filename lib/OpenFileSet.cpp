#include "OpenFileSet.h"

#include <cstdio>
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

// Calls take(device, inode) for each descriptor of process pid; a process
// that is gone or not ours to look at has none.
template <typename Take> void sweepProcess(int procFd, pid_t pid, Take take)
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
    while (const dirent *entry = ::readdir(fdDir)) {
        if (entry->d_name[0] == '.')
            continue;
        // stat on the descriptor's link follows it to the open file itself.
        struct stat st;
        if (::fstatat(fdDirFd, entry->d_name, &st, 0) == 0)
            take(st.st_dev, st.st_ino);
    }
    ::closedir(fdDir);
}

} // namespace

OpenFileSet OpenFileSet::sweep()
{
    OpenFileSet result;
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
        sweepProcess(procFd, pid, [&result](dev_t device, ino_t inode) {
            result.m_files.insert(Key { device, inode });
        });
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
