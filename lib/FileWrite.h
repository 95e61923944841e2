#pragma once
// Replacing a file whole and atomically: the bytes go to a temporary file in
// the same folder, which is then renamed over the old one. A failed or
// interrupted write leaves the old file as it was. A symbolic link is
// followed, so the file it points at is replaced and the link stays.

#include <QByteArray>
#include <QList>
#include <QString>

#include <ctime>
#include <sys/stat.h>

// Writes bytes to nativePath (raw file-name bytes). Throws
// EQLXError("Unable to write to <path>") when the folder is missing or
// read-only, the file is read-only, or any step fails. The new file keeps the
// old one's permissions; a new file gets 0666 less the umask.
// durable false: the bytes are not forced to the disk before the rename, for
// a file whose loss in a crash costs nothing (a cache): a crash may then
// leave it empty, but never half old and half new.
void WriteFileAtomic(const QByteArray &nativePath, const QByteArray &bytes, bool durable = true);
// A write killed half-way (power loss, SIGKILL) leaves its temporary file,
// ".<name>.XXXXXX" (name cut at MaxTempNameStem bytes, eight letters or
// digits), beside the target. For such a name this gives the stem, the
// (possibly cut) name of the file it was to replace; otherwise a null view.
inline constexpr qsizetype MaxTempNameStem = 200;
QByteArrayView WriteTemporaryStem(QByteArrayView name);
// A temporary file unchanged for this long is abandoned: a write, in this or
// another process, takes moments.
inline constexpr int StaleTemporaryAge = 15 * 60; // seconds
// Removes name from the folder open as dirFd when it is a plain file (a link
// is never followed) last changed more than StaleTemporaryAge before now.
// The caller has already told by WriteTemporaryStem that it is the
// temporary file of a write it owns. Returns whether it was removed.
bool RemoveStaleTemporary(int dirFd, const char *name, time_t now);
// Removes from folder the abandoned temporary files of writes to the files
// named names (no folder), and nothing else: not another file's temporary, a
// fresh one, a backup ("name.bak") or a folder. A missing folder is no error.
void RemoveStaleTemporaries(const QByteArray &folder, const QList<QByteArray> &names);
// Reads the whole file; false when it cannot be opened or read, or is not a
// regular file (a FIFO or device is never read).
bool ReadWholeFile(const QByteArray &nativePath, QByteArray &bytes);
// The same for name inside the folder open as dirFd; bytes keeps its
// capacity, so a caller that reads many small files reuses one buffer. A
// caller whose folder listing just said the name is a plain file passes
// listedAsFile: a file that fits the buffer is then read without asking its
// type again (open, one read, close). seen, when given, gets what the file
// was as it was opened (its fstat(), taken before it is read: a change while
// it is read then leaves the file different from seen).
bool ReadWholeFileAt(
    int dirFd, const char *name, QByteArray &bytes, bool listedAsFile = false, struct stat *seen = nullptr);
// Reads a file that is about to be changed: a missing file gives empty bytes
// and true; false when the file exists but cannot be read, so that a
// read-modify-write never replaces a file it could not read.
bool ReadFileForUpdate(const QByteArray &nativePath, QByteArray &bytes);
// Writes all of bytes to fd, going on after a short write or an interrupted
// call; false on any other failure.
bool WriteAll(int fd, const QByteArray &bytes);
// The path as text for messages and display (invalid UTF-8 shown as U+FFFD).
QString DisplayPath(const QByteArray &nativePath);
