#include "FIL_Func.h"

#include "CaseFold.h"
#include "OpenFileSet.h"
#include "QLXError.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace
{

bool isFolder(const QByteArray &path)
{
    struct stat st;
    return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The folder of FileName, without its trailing "/"; the root stays "/".
QString folderPart(const QString &FileName)
{
    return RemoveBackslash(FileName.left(FileName.lastIndexOf(u'/') + 1));
}

} // namespace

QString AddBackslash(const QString &Dir)
{
    if (Dir.isEmpty() || Dir.endsWith(u'/'))
        return Dir;
    return Dir + u'/';
}

QString RemoveBackslash(const QString &Dir)
{
    // The root folder has no shorter name: "" would mean the current folder.
    if (!Dir.endsWith(u'/') || Dir == QLatin1String("/"))
        return Dir;
    return Dir.chopped(1);
}

qsizetype ExtensionStart(QStringView path)
{
    const qsizetype dot = path.lastIndexOf(u'.');
    return dot > path.lastIndexOf(u'/') + 1 ? dot : path.size();
}

qsizetype ExtensionStart(QByteArrayView path)
{
    const qsizetype dot = path.lastIndexOf('.');
    return dot > path.lastIndexOf('/') + 1 ? dot : path.size();
}

bool CreateEmptyFile(const QString &FileName)
{
    if (FileName.isEmpty() || FileName.contains(QChar(0)))
        return false;
    const QString dir = folderPart(FileName);
    if (dir.isEmpty() || !(isFolder(QFile::encodeName(dir)) || QDir().mkpath(dir)))
        throw EQLXError(QStringLiteral("Unable to create directory"));
    const QByteArray path = QFile::encodeName(FileName);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    return ::close(fd) == 0;
}

FileReader FileReader::current()
{
    FileReader reader { ::geteuid(), ::getegid(), {} };
    const int count = ::getgroups(0, nullptr);
    if (count > 0) {
        reader.groups.resize(size_t(count));
        const int got = ::getgroups(count, reader.groups.data());
        reader.groups.resize(size_t(std::max(got, 0)));
    }
    return reader;
}

bool ModeAllowsReading(const struct stat &st, const FileReader &Reader)
{
    if (Reader.uid == 0)
        return true;
    // The kernel looks at one class only: the owner's bits for the owner,
    // the group's bits for a member, the others' bits for everyone else.
    if (Reader.uid == st.st_uid)
        return st.st_mode & S_IRUSR;
    const bool member = Reader.gid == st.st_gid
        || std::find(Reader.groups.begin(), Reader.groups.end(), st.st_gid) != Reader.groups.end();
    if (member)
        return st.st_mode & S_IRGRP;
    return st.st_mode & S_IROTH;
}

qint64 FileSizeOf(const QString &FileName)
{
    // Only the file's own folder is swept: its real one, when the name is a
    // link to a file elsewhere.
    const QByteArray path = QFile::encodeName(FileName);
    QByteArray folder = path.left(path.lastIndexOf('/') + 1);
    if (char *real = path.contains('\0') ? nullptr : ::realpath(path.constData(), nullptr)) {
        const QByteArray realPath(real);
        std::free(real);
        folder = realPath.left(realPath.lastIndexOf('/') + 1);
    }
    return FileSizeOf(path, OpenFileSet::sweep(folder));
}

qint64 FileSizeOf(const QByteArray &nativePath, const OpenFileSet &heldOpen)
{
    if (nativePath.isEmpty() || nativePath.contains('\0'))
        return -1;
    return FileSizeOfAt(AT_FDCWD, nativePath.constData(), heldOpen);
}

bool EndsWithMp3(const char *name, size_t length)
{
    if (length < 4)
        return false;
    const char *ext = name + length - 4;
    return ext[0] == '.' && (ext[1] | 0x20) == 'm' && (ext[2] | 0x20) == 'p' && ext[3] == '3';
}

bool EndsWithAudioExtension(const char *name, size_t length)
{
    for (const QByteArrayView ext : { ".mp3", ".flac", ".ogg", ".oga", ".opus", ".m4a" }) {
        if (length < size_t(ext.size()))
            continue;
        const char *tail = name + length - ext.size();
        qsizetype k = 0;
        while (k < ext.size() && AsciiLower(tail[k]) == ext[k])
            ++k;
        if (k == ext.size())
            return true;
    }
    return false;
}

QByteArray RealPathAt(int dirFd, const char *name)
{
    QByteArray path = "/proc/self/fd/" + QByteArray::number(dirFd);
    if (*name)
        path += '/' + QByteArray(name);
    char *real = ::realpath(path.constData(), nullptr);
    if (!real)
        return QByteArray();
    path = real;
    std::free(real);
    return path;
}

size_t ListingRoomHint(int dirFd)
{
    struct stat st;
    if (::fstat(dirFd, &st) != 0)
        return 4096;
    return size_t(std::clamp<off_t>(st.st_size, 4096, off_t(256) << 20));
}

qint64 FileSizeOfAt(int dirFd, const char *name, const OpenFileSet &heldOpen)
{
    struct stat st;
    bool seen = false;
    qint64 birthNs = 0;
    return FileSizeOfAt(dirFd, name, heldOpen, st, seen, birthNs);
}

qint64 FileSizeOfAt(
    int dirFd, const char *name, const OpenFileSet &heldOpen, struct stat &st, bool &seen, qint64 &birthNs)
{
    return FileSizeOfStat(dirFd, name, heldOpen, StatAt(dirFd, name), st, seen, birthNs);
}

FileStat StatAt(int dirFd, const char *name)
{
    // statx() costs what stat() costs and also tells when the file was made,
    // which no rename changes and no other file shares.
    struct statx sx;
    FileStat file;
    file.seen = ::statx(dirFd, name, AT_STATX_SYNC_AS_STAT, STATX_BASIC_STATS | STATX_BTIME, &sx) == 0;
    if (!file.seen)
        return file;
    file.device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    file.inode = sx.stx_ino;
    file.size = qint64(sx.stx_size);
    file.modifiedNs = qint64(sx.stx_mtime.tv_sec) * 1000000000 + sx.stx_mtime.tv_nsec;
    file.birthNs
        = sx.stx_mask & STATX_BTIME ? qint64(sx.stx_btime.tv_sec) * 1000000000 + sx.stx_btime.tv_nsec : 0;
    file.mode = sx.stx_mode;
    file.uid = sx.stx_uid;
    file.gid = sx.stx_gid;
    return file;
}

qint64 FileSizeOfStat(int dirFd, const char *name, const OpenFileSet &heldOpen, const FileStat &file,
    struct stat &st, bool &seen, qint64 &birthNs)
{
    // Who we are does not change while the program runs; asking once keeps
    // a scan at one system call per file.
    static const FileReader reader = FileReader::current();
    seen = file.seen;
    if (!seen)
        return -1;
    st = {};
    st.st_dev = dev_t(file.device);
    st.st_ino = ino_t(file.inode);
    st.st_mode = mode_t(file.mode);
    st.st_uid = uid_t(file.uid);
    st.st_gid = gid_t(file.gid);
    st.st_size = off_t(file.size);
    st.st_mtim = { time_t(file.modifiedNs / 1000000000), long(file.modifiedNs % 1000000000) };
    birthNs = file.birthNs;
    if (!S_ISREG(st.st_mode) || heldOpen.contains(st.st_dev, st.st_ino))
        return -1;
    // The bits say yes for nearly every file, at no further cost. When they
    // say no, an access control list or a capability may still let us read
    // it: the kernel has the last word.
    if (!ModeAllowsReading(st, reader) && ::faccessat(dirFd, name, R_OK, AT_EACCESS) != 0)
        return -1;
    return qint64(st.st_size);
}

bool PortalDocument(const QByteArray &path, QByteArray &id, QByteArray &rest)
{
    qsizetype at = -1;
    if (path.startsWith("/run/flatpak/doc/")) {
        at = qsizetype(qstrlen("/run/flatpak/doc/"));
    } else if (path.startsWith("/run/user/")) {
        const qsizetype doc = path.indexOf("/doc/", 10);
        if (doc < 0)
            return false;
        for (qsizetype i = 10; i < doc; ++i)
            if (path[i] < '0' || path[i] > '9')
                return false;
        at = doc + 5;
    } else {
        return false;
    }
    const qsizetype slash = path.indexOf('/', at);
    if (slash <= at)
        return false;
    id = path.mid(at, slash - at);
    rest = path.mid(slash + 1);
    return !rest.isEmpty();
}
