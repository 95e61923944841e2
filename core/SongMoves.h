#pragma once
// Song information that follows its song. When an MP3 of the music folder is
// renamed, its song information file is renamed to match, so its count,
// years, album and lyrics stay with it. While the program runs the folder
// watch reports each rename; for the time it was not running, a small index
// of the listed songs (device, inode, size, name) kept after every full scan
// tells the next full scan which new name is which old song. Nothing is ever
// replaced: a new name that has song information of its own keeps it, and
// the old file then stays where it is.
//
// Names are raw file-name bytes, without a folder.

#include "SongInfo.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

class TFileList;

namespace SongMoves
{

enum class Outcome {
    Moved, // the information file now has the song's new name
    Kept, // the new name had its own information file: both stay as they were
    Failed, // the rename was refused (a read-only folder, say): nothing changed
};

struct Move {
    QByteArray fromSong, toSong; // the song's old and new name
    QByteArray fromInfo, toInfo; // its information file's old and new name
    Outcome outcome = Outcome::Moved;
    int error = 0; // Failed: the errno of the refused rename
};

// A rename of a song within the music folder, old name then new name.
using Rename = std::pair<QByteArray, QByteArray>;

// Renames from to to inside the folder open as dirFd and never replaces a
// file: renameat2() with RENAME_NOREPLACE, or where the file system lacks
// it, a hard link followed by removing the old name. Returns 0 or the errno
// (EEXIST when to exists).
int RenameNoReplace(int dirFd, const char *from, const char *to);

// Follows one rename of a song: its information file (found as the scan
// finds it, exact name first, else any letter case) is renamed after the new
// name. locator lists the song information folder open as infoDirFd; it may
// be older than the last changes there, since every name it gives is checked
// again. Nothing when the song had no information file, or when its file
// already has the new name. A file found in another letter case stays where
// it is when ownedByName(file) says a listed song has exactly its name (the
// song "Zandor-Daylight.mp3" beside "zandor-daylight.mp3" keeps its
// "Zandor-Daylight.INI").
std::optional<Move> Follow(int infoDirFd, const SongInfo::Locator &locator, QByteArrayView fromSong,
    QByteArrayView toSong, const std::function<bool(const QByteArray &info)> &ownedByName = {});

// What the index keeps of a listed song: enough to know the file again under
// another name and to tell it from a new file that the file system gave the
// same inode (a song deleted, another made). A rename keeps all of it; a tag
// editor that rewrites the song changes its modification time, and then the
// file is not known again. ino 0 means unknown (the file could not be looked
// at); birth 0, that the file system keeps no birth time.
struct Stamp {
    quint64 dev = 0;
    quint64 ino = 0;
    qint64 size = -1;
    qint64 modified = 0; // nanoseconds since the epoch
    qint64 birth = 0; // nanoseconds since the epoch
};
// The same file, as far as the stamps can tell.
bool SameFile(const Stamp &a, const Stamp &b);

struct Entry {
    Stamp stamp;
    QByteArray name;
};

// The listed songs of one full scan, as kept between runs.
class Index
{
public:
    // Reads the index at path (raw bytes). A missing or unreadable file, one
    // of another form (an older one, which lacked what tells a new file from
    // a renamed one), or one made for another music folder reads as empty.
    static Index Read(const QByteArray &path, const QByteArray &musicFolder);
    // The same from the file's bytes.
    static Index Parse(const QByteArray &bytes, const QByteArray &musicFolder);
    // True when the file at path is exactly the index of these songs
    // (stamps[i] is the stamp of files' song i): nothing moved, nothing to
    // write. Read a piece at a time: it costs no memory, however many songs.
    static bool Holds(const QByteArray &path, const QByteArray &musicFolder, const TFileList &files,
        const std::vector<Stamp> &stamps);
    // The file's bytes for these entries.
    static QByteArray Compose(const QByteArray &musicFolder, const std::vector<Entry> &entries);
    // Writes the index atomically, unless its bytes would be unchanged (the
    // file's bytes as last read); true when it wrote. Throws
    // EQLXError("Unable to write to ...").
    static bool Write(const QByteArray &path, const QByteArray &musicFolder,
        const std::vector<Entry> &entries, const QByteArray &unchanged = QByteArray());

    const std::vector<Entry> &entries() const { return m_entries; }
    // The file's bytes as read.
    const QByteArray &bytes() const { return m_bytes; }

private:
    std::vector<Entry> m_entries;
    QByteArray m_bytes;
};

// The moves a full scan calls for, from the last index and what the scan
// found (stamps[i] is the stamp of files' song i): a listed song that is the
// same file (SameFile) as a song listed last time under another name gets
// that name's information file, when the old name is gone or holds a song
// that moved there itself (two songs swapped their names), and its own new
// name has no information file or one that moves away in the same scan. All
// the moves of a scan are decided together and made through temporary names
// in the information folder, so an exchange of names overwrites nothing. A
// song whose file changed (a copy, a replacement, a rewrite) moves nothing;
// one renamed onto a name whose information file stays keeps that file, and
// the case is reported; two names of one file (hard links), now or last
// time, move nothing. locator lists the information folder, open as
// infoDirFd; it is listed here when any song needs it. Old entries of moves
// that failed are added to carry, so that the next index keeps them and the
// next full scan tries again. With consider, only the old entries it takes
// are looked at.
std::vector<Move> FollowFromIndex(const Index &last, const TFileList &files, const std::vector<Stamp> &stamps,
    int musicDirFd, int infoDirFd, SongInfo::Locator &locator, std::vector<Entry> &carry,
    const std::function<bool(const Entry &was)> &consider = {});

// Information files that a move through a temporary name left behind when
// the program was stopped in the middle (the locator's listing names them):
// each goes to the name it was on its way to, unless a file has that name by
// now. The folder is open as infoDirFd; the moves made are returned.
std::vector<Move> FinishInterruptedMoves(int infoDirFd, const std::vector<QByteArray> &leftovers);

// The status bar's text for what a scan moved or kept, "" for nothing:
// "Song information moved for 3 songs."
QString StatusText(const std::vector<Move> &moves);
// One log line per move ("old -> new"), for the log of moves.
QStringList LogLines(const std::vector<Move> &moves);
// The error box's text for a move that failed; infoFolder is the song
// information folder.
QString ErrorText(const Move &move, const QByteArray &infoFolder);

} // namespace SongMoves
