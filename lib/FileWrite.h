#pragma once
// Replacing a file whole and atomically: the bytes go to a temporary file in
// the same folder, which is then renamed over the old one. A failed or
// interrupted write leaves the old file as it was. A symbolic link is
// followed, so the file it points at is replaced and the link stays.

#include <QByteArray>
#include <QString>

// Writes bytes to nativePath (raw file-name bytes). Throws
// EQLXError("Unable to write to <path>") when the folder is missing or
// read-only, the file is read-only, or any step fails. The new file keeps the
// old one's permissions; a new file gets 0666 less the umask.
void WriteFileAtomic(const QByteArray &nativePath, const QByteArray &bytes);
// A write killed half-way (power loss, SIGKILL) leaves its temporary file,
// ".<name>.XXXXXX" (name cut at MaxTempNameStem bytes, eight letters or
// digits), beside the target. For such a name this gives the stem, the
// (possibly cut) name of the file it was to replace; otherwise a null view.
inline constexpr qsizetype MaxTempNameStem = 200;
QByteArrayView WriteTemporaryStem(QByteArrayView name);
// Reads the whole file; false when it cannot be opened or read, or is not a
// regular file (a FIFO or device is never read).
bool ReadWholeFile(const QByteArray &nativePath, QByteArray &bytes);
// The same for name inside the folder open as dirFd; bytes keeps its
// capacity, so a caller that reads many small files reuses one buffer. A
// caller whose folder listing just said the name is a plain file passes
// listedAsFile: a file that fits the buffer is then read without asking its
// type again (open, one read, close).
bool ReadWholeFileAt(int dirFd, const char *name, QByteArray &bytes, bool listedAsFile = false);
// Reads a file that is about to be changed: a missing file gives empty bytes
// and true; false when the file exists but cannot be read, so that a
// read-modify-write never replaces a file it could not read.
bool ReadFileForUpdate(const QByteArray &nativePath, QByteArray &bytes);
// Writes all of bytes to fd, going on after a short write or an interrupted
// call; false on any other failure.
bool WriteAll(int fd, const QByteArray &bytes);
// The path as text for messages and display (invalid UTF-8 shown as U+FFFD).
QString DisplayPath(const QByteArray &nativePath);
