#pragma once
// What a song's file says about itself, read with TagLib: the tags a tree
// library lists and the details dialog offers, the embedded lyrics and the
// length. Every call reads with TagLib objects of its own and shares
// nothing, so many threads may read at once.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

struct SongTags {
    QString artist, title, album;
    int year = 0; // of the recording: the first four digits of its date, 0 when none
    int originalYear = 0; // of the first release, likewise (none from MP4: TagLib 1.13 maps no item to it)
    int disc = 0, track = 0; // "3/12" -> 3; 0 when none
    int lengthMs = 0; // 0 when unknown
    QString composer, lyricist, label;
    QString barcode; // the barcode, else the catalogue number
    // The unsynchronised lyrics, lines separated by "\n" (see LyricsText).
    QString lyrics;
    // The file was read as audio: its format was recognised and holds an
    // audio stream. The tags above are filled in whenever TagLib read them.
    bool ok = false;

    // The album's year: of its first release where the tags give one, else
    // of the recording.
    int albumYear() const { return originalYear > 0 ? originalYear : year; }
};

// Whether ReadSongTags reads files with this extension (without the dot,
// any letter case): mp3, flac, ogg, oga, opus, m4a.
bool IsSongExtension(QByteArrayView extension);
// The extension of the file at path: what follows the last "." of its last
// component, empty when there is none.
QByteArrayView ExtensionOf(QByteArrayView path);

// Reads the song file at path (raw file-name bytes, any encoding). The
// extension decides the format; .ogg and .oga may hold Vorbis, Opus, FLAC or
// Speex. A missing or unreadable file, one that is not a regular file, one
// of another extension, or one without an audio stream of its format gives
// ok false.
SongTags ReadSongTags(const QByteArray &path);
// The same for the file at name relative to the folder open as folderFd
// (AT_FDCWD: the current folder): a library's songs are read by their path
// below its open folder, so the system looks up only that part. size: the
// file's size as a listing of regular files has just seen it, which saves
// looking at the file again; -1 when not known.
SongTags ReadSongTagsAt(int folderFd, const QByteArray &name, qint64 size = -1);
// The same for a file's bytes, with its extension (without the dot).
SongTags ReadSongTagsFromBytes(const QByteArray &bytes, QByteArrayView extension);
