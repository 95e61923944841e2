#pragma once
// What a tree library shows of its songs beyond their files: the artist and
// title its tags give (else what the file's name gives), and what orders the
// rows and fills the cells a song information file leaves empty (album,
// years, disc, track, the real length).

#include "FIL_Func.h"
#include "FileList.h"

#include <QHash>
#include <QString>

#include <atomic>

#include <vector>

struct TTreeSong {
    QString artist, title, album;
    int year = 0; // of the recording
    int albumYear = 0; // of the first release, else of the recording
    int disc = 0, track = 0;
    int lengthMs = 0; // 0 when unknown
};

namespace TagCache
{
// Which file a song's tags were read from: its identity, size and
// modification time (ns).
struct Key {
    quint64 dev = 0, ino = 0;
    qint64 size = -1, modified = 0;
    bool operator==(const Key &) const = default;
};
struct Entry {
    Key key;
    TTreeSong song;
};
using Entries = QHash<QByteArray, Entry>;
} // namespace TagCache

// The tags of every song files lists below folder, each with the file they
// were read from; read on several threads, except where cached holds the
// song's file as it is (then no audio file is opened). Where a tag is
// missing, the file name is split as a folder library splits it
// ("Artist-Title.mp3"); where that gives no title, the name without its
// extension is the title. opened counts the files read. With readNow at 0 or
// more, when more songs than that are to be read none is: their names stand
// in, and their places go to unread. looked, when given, gets what the look
// at each song's file told (its statx()).
std::vector<TagCache::Entry> ReadTreeSongs(const QByteArray &folder, const TFileList &files,
    const TagCache::Entries &cached, int &opened, int readNow = -1, std::vector<int> *unread = nullptr,
    std::vector<FileStat> *looked = nullptr);
// Reads the tags of the songs at the places which (names below folder), on
// several threads, into songs; done counts them as they come; stop ends the
// reading early.
void ReadTags(const QByteArray &folder, const std::vector<QByteArray> &names, const std::vector<int> &which,
    std::vector<TagCache::Entry> &songs, std::atomic<int> &done, const std::atomic<bool> &stop);
// The order a music library is read in: artist (ignoring letter case), then
// album year, album, disc, track and title; songs alike keep the listing's
// order. order[k] is the place in songs of the song that comes k-th.
std::vector<int> TreeOrder(const std::vector<TagCache::Entry> &entries);
// A length as a Playtime value: "mm:ss" (minutes may pass 59), or "" when
// unknown.
QString LengthText(int lengthMs);
