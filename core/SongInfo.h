#pragma once
// The song information file: one small INI file per song, in the song
// information folder, named after the MP3 file with its last extension
// replaced by ".INI". Section "Info" holds the details the MP3 does not
// carry; the lyrics follow as plain lines after a separator.
//
// Paths are raw file-name bytes (what the file system holds), so names that
// are not valid UTF-8 still reach the right file.

#include <QByteArray>
#include <QChar>
#include <QDate>
#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

namespace SongInfo
{

inline constexpr char Section[] = "Info";
// "; " followed by 42 asterisks.
QString SeparatorLine();

// What the grid shows of one song.
struct GridValues {
    QString playTime; // Playtime (default "00:00") right-justified to 6
    QChar lyricsMark; // 'V', 'I', 'X' or ' '
    QString songYear; // first 4 characters of SongYear
    QString usageCount; // UsageCount trimmed, "0" when missing or empty
};

// The eight values the details dialog edits, each "" when missing.
struct Details {
    QString Writer, Playtime, AlbumName, SongYear, AlbumYear, AlbumCDNum, AlbumLabel, UsageCount;
};

// "Artist-Title.mp3" -> "Artist-Title.INI"; a name without "." gets ".INI".
QByteArray InfoFileName(const QByteArray &mp3Name);
// The information file of a song, below the information folder, for the
// song's path below the music folder: that path with ".INI" for its last
// extension ("Artist/Album/01 Intro.flac" -> "Artist/Album/01 Intro.INI").
// A song at the top has InfoFileName()'s name; two songs of one name in
// different folders never share a file.
QByteArray InfoNameBelow(QByteArrayView songPath);
void InfoNameBelow(QByteArrayView songPath, QByteArray &name);
// folder + "/" (unless empty or already there) + name.
QByteArray PathInInfoFolder(const QByteArray &infoFolder, const QByteArray &name);
// PathInInfoFolder(folder, InfoFileName(last component)).
QByteArray InfoFilePath(const QByteArray &infoFolder, const QByteArray &mp3Path);

// Finds song information files by name without a directory listing per
// song: the folder is listed once, and a name that differs only in letter
// case ("artist-title.ini" beside "Artist-Title.mp3") is found too. The
// exact name wins; with no file at all the ".INI" name is the one to write.
// An information file on its way to another name, set aside for a moment
// while the names of songs that exchanged names are sorted out: this, then
// the name it goes to.
inline const QByteArray MoveTemporaryPrefix = QByteArrayLiteral(".discora-move.");

class Locator
{
public:
    explicit Locator(const QByteArray &infoFolder);
    // Lists the folder (once per scan); a missing folder lists nothing.
    // With removeStaleTemporaries, the temporary files that interrupted
    // writes of song information files left behind, once abandoned (see
    // RemoveStaleTemporary), are removed on the way.
    void index(bool removeStaleTemporaries = false);
    // Path of the song's information file: existing (exact, then any case)
    // or the ".INI" name to create.
    QByteArray locate(QByteArrayView mp3Name) const;
    // The same without the folder: the name inside the info folder.
    QByteArray locateName(QByteArrayView mp3Name) const;
    // For a scan, without allocating: the existing file of the song, as the
    // listing found it (name null when there is none). scratch is working
    // space the caller keeps between calls.
    struct Found {
        const char *name = nullptr; // NUL-terminated, valid while the index is
        bool plainFile = false; // the listing said: a regular file
        bool ownName = false; // the song's own ".INI" name, not another letter case
        qsizetype length = 0; // of name
    };
    Found find(QByteArrayView mp3Name, QByteArray &scratch) const;
    // The files set aside by moves that were cut short (MoveTemporaryPrefix),
    // as the last index() with removeStaleTemporaries found them.
    const std::vector<QByteArray> &interruptedMoves() const { return m_interruptedMoves; }

private:
    QByteArray m_folder;
    // Every ".ini" name of the folder, one after another, and for each its
    // place there under the hash of its case-folded form, sorted by hash:
    // a folder of 100,000 files is indexed without an allocation per name.
    // A large folder has an entry for nearly every song, held while a scan
    // reads them, so an entry is packed into 16 bytes: a file name is at
    // most 255 bytes long, and the flag takes the length's top bit.
    struct Entry {
        quint64 foldedHash;
        quint32 offset; // of the name in m_pool, followed by a NUL
        quint32 length : 31;
        quint32 plainFile : 1;
    };
    static_assert(sizeof(Entry) == 16);
    QByteArrayView nameOf(const Entry &e) const { return QByteArrayView(m_pool.data() + e.offset, e.length); }
    std::vector<char> m_pool;
    std::vector<Entry> m_entries;
    // Where the entries whose hash starts with each m_bucketBits-bit value
    // begin: a lookup goes straight to the two to four entries it may be
    // (a bucket for each would add 4 bytes to each 16-byte entry).
    std::vector<quint32> m_buckets;
    int m_bucketBits = 0;
    bool m_indexed = false;
    std::vector<QByteArray> m_interruptedMoves;
};
// One-off lookup (details dialog, counting a play outside a scan).
QByteArray LocateInfoFile(const QByteArray &infoFolder, const QByteArray &mp3Name);

// The lyrics mark of a Lyrics value: "Yes" -> 'V', "Instrumental" -> 'I',
// "(words unclear)" -> 'X', anything else ' '. Exact and case-sensitive.
QChar LyricsMark(const QString &lyricsValue);

// Grid values from the bytes of a song information file (empty = missing).
// Full scans keep what this gives in the values cache (InfoCache): a
// change to what it gives must change that cache's header line, so that a
// cache of the old kind is not taken for the new.
GridValues ReadGridValues(const QByteArray &content);
// Grid values of the file at infoPath; a missing file gives the defaults.
GridValues ReadSongInfo(const QByteArray &infoPath);
// The same for a file the locator found in the folder open as infoDirFd
// (none found: the defaults), reading through buffer (a scan reads many
// files and reuses one buffer per thread).
GridValues ReadSongInfoAt(int infoDirFd, const Locator::Found &file, QByteArray &buffer);
// The eight values of section Info, each "" when missing.
Details LoadInfo(const QByteArray &infoPath);
// The same from the bytes of a song information file.
Details ReadDetails(const QByteArray &content);

// The lyric lines of a file: the lines after the first marker line (the line
// whose key, the text before "=" without blanks, is exactly "Lyrics"), with
// leading empty and separator lines dropped. A value that merely contains the
// word ("AlbumName = Lyrics of Love") starts nothing. When the Info section
// begins after the marker line (a file without one, to which counting a play
// added it), the lyrics end before its header. Each line decoded as UTF-8
// when valid, else Windows-1252.
QStringList ReadLyrics(const QByteArray &content);

// The marker line the lyrics text calls for, or "" for none.
QString LyricMarkerLine(const QString &lyricsText);
// The whole file in its written layout, UTF-8; every line ends in CR LF, the
// last one too. Lyric lines lose their trailing characters 0 to 32; a line
// break inside a field value becomes a blank, so no field can add lines.
QByteArray ComposeFile(
    const QString &usageCount, const Details &fields, const QString &lyricsText, const QDate &date);
// Replaces the file whole (atomically); throws EQLXError on failure.
void WriteSongInfo(const QByteArray &infoPath, const QString &usageCount, const Details &fields,
    const QString &lyricsText, const QDate &date);

// Counts one play: UsageCount n -> n + 1, Playtime "??:??" when empty; only
// those lines change, both in one atomic replacement, and a missing file is
// created. Returns the new count as text. Throws EQLXError with "'x' is not a
// valid integer value" (nothing written; also for a count of 2147483647,
// whose successor would not fit) or "Unable to write to <path>".
// playtime is what an empty Playtime becomes.
QString CountPlay(const QByteArray &infoPath, const QString &playtime = QStringLiteral("??:??"));
// The bytes of a song information file with these keys of its Info section
// set, each as a single-key change (every other line kept byte for byte); a
// missing key goes where CountedPlay puts one.
QByteArray WithInfoKeys(const QByteArray &content, const QList<std::pair<QString, QString>> &keys);
// The bytes of a song information file with the lyrics added in the layout
// ComposeFile writes: the marker line after the key lines of its Info
// section, the lyric lines at the end (after an empty line, the separator
// and an empty line, unless the file ends with them), every other line kept
// byte for byte; the marker ends like the line before it, the other new
// lines like the file's first one. A file that
// holds lyrics (a marker line, or text below its key lines) or has no Info
// section, and an empty lyricsText, give content unchanged.
QByteArray WithLyrics(const QByteArray &content, const QString &lyricsText);
// The bytes of a song information file with one play counted as CountPlay
// counts it, and the new count. A missing key goes where ProfileFile adds it,
// except that it never follows the lyrics' marker line: in a file whose
// marker is among the key lines right after the Info header, it goes right
// after the header. Throws EQLXError as CountPlay does.
QByteArray CountedPlay(
    const QByteArray &content, QString &count, const QString &playtime = QStringLiteral("??:??"));

} // namespace SongInfo
