#pragma once
// Folder names, empty files and file sizes. Folder delimiter is "/".

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <sys/stat.h>
#include <sys/types.h>
#include <vector>

class OpenFileSet;

// Dir with a "/" appended, unless it already ends in one or is empty.
QString AddBackslash(const QString &Dir);
// Dir without its last character when that is "/", else Dir. The root "/"
// stays as it is: without its "/" it would name the current folder.
QString RemoveBackslash(const QString &Dir);
// Where the last extension of the file name in path starts (its "."), or
// path.size() when the name has none, so path.left(ExtensionStart(path)) is
// the path without it: "Song.mp3" -> 4, "Song." -> 4. A "." that opens the
// name opens no extension: ".discora" has none. Dots in folders never count.
qsizetype ExtensionStart(QStringView path);
qsizetype ExtensionStart(QByteArrayView path);
// Creates (or empties) FileName, with any missing folders first. False on an
// I/O error or an empty name; throws EQLXError("Unable to create directory")
// when the folder part is empty or cannot be created.
bool CreateEmptyFile(const QString &FileName);
// Size in bytes (64-bit), or -1 when the file cannot be opened for reading or
// another program holds it open. Whether it can be read is decided by the
// kernel (permission bits, access control lists, capabilities). The one-argument form sweeps the open files
// of the system itself; a scan passes the set it swept once.
qint64 FileSizeOf(const QString &FileName);
// The two-argument form costs one stat() per file; nativePath is the file
// name's raw bytes. Folders and other non-regular files give -1 as well.
qint64 FileSizeOf(const QByteArray &nativePath, const OpenFileSet &heldOpen);
// The same for name inside the folder open as dirFd (AT_FDCWD: the current
// folder), so a scan spares the walk along the folder's path.
qint64 FileSizeOfAt(int dirFd, const char *name, const OpenFileSet &heldOpen);
// The same, also handing back what the system said of the file (its device,
// inode, size, modification time...) and its birth time in nanoseconds since
// the epoch (0 where the file system keeps none); seen is false when the file
// could not be looked at.
qint64 FileSizeOfAt(
    int dirFd, const char *name, const OpenFileSet &heldOpen, struct stat &st, bool &seen, qint64 &birthNs);

// What one look at a file (statx()) told, as much as a scan keeps of it: a
// scan that looked at its songs before it probes them looks once.
struct FileStat {
    quint64 device = 0, inode = 0;
    qint64 size = 0, modifiedNs = 0, birthNs = 0; // birth 0 where the file system keeps none
    quint32 mode = 0, uid = 0, gid = 0;
    bool seen = false; // false: the file could not be looked at
};
// Looks at name inside the folder open as dirFd.
FileStat StatAt(int dirFd, const char *name);
// FileSizeOfAt for a file already looked at (file): the same answers.
qint64 FileSizeOfStat(int dirFd, const char *name, const OpenFileSet &heldOpen, const FileStat &file,
    struct stat &st, bool &seen, qint64 &birthNs);

// Bytes to reserve for the names of the folder open as dirFd before listing
// it: its size on disk is about the room its names take (at least 4 KiB, at
// most 256 MiB), so a list of them is not copied over and over as it grows.
size_t ListingRoomHint(int dirFd);

// True when the name (raw bytes, length bytes) ends in ".mp3", in any letter
// case: the songs of a music folder.
bool EndsWithMp3(const char *name, size_t length);
// True when the name ends in one of the audio extensions a tree library
// lists, in any letter case: ".mp3", ".flac", ".ogg", ".oga", ".opus", ".m4a".
bool EndsWithAudioExtension(const char *name, size_t length);

// The real path (every link resolved) of name inside the folder open as
// dirFd, or of that folder itself when name is empty; empty when it cannot
// be resolved.
QByteArray RealPathAt(int dirFd, const char *name);

// A file the Documents portal lends a sandboxed program, by the portal's
// path for it (/run/user/UID/doc/ID/... or /run/flatpak/doc/ID/...): true,
// with the document's ID and the path below it.
bool PortalDocument(const QByteArray &path, QByteArray &id, QByteArray &rest);

// Who asks to read a file: effective user, effective group and the
// supplementary groups of the process.
struct FileReader {
    uid_t uid;
    gid_t gid;
    std::vector<gid_t> groups;
    static FileReader current();
};
// Whether Reader may open the file described by st for reading, decided from
// its permission bits the way the kernel does (the super-user reads any file;
// access control lists are not consulted): a quick first answer, which the
// size probe checks with the kernel whenever it is no.
bool ModeAllowsReading(const struct stat &st, const FileReader &Reader);
