#pragma once
// What a tree library shows of its songs beyond their files: the artist and
// title its tags give (else what the file's name gives), and what orders the
// rows and fills the cells a song information file leaves empty (album,
// years, disc, track, the real length).

#include "FileList.h"

#include <QString>

#include <vector>

struct TTreeSong {
    QString artist, title, album;
    int year = 0; // of the recording
    int albumYear = 0; // of the first release, else of the recording
    int disc = 0, track = 0;
    int lengthMs = 0; // 0 when unknown
};

// Reads the tags of every song files lists below folder, on several threads.
// Where a tag is missing, the file name is split as a folder library splits
// it ("Artist-Title.mp3"); where that gives no title, the name without its
// extension is the title.
std::vector<TTreeSong> ReadTreeSongs(const QByteArray &folder, const TFileList &files);
// The order a music library is read in: artist (ignoring letter case), then
// album year, album, disc, track and title; songs alike keep the listing's
// order. order[k] is the place in songs of the song that comes k-th.
std::vector<int> TreeOrder(const std::vector<TTreeSong> &songs);
// A length as a Playtime value: "mm:ss" (minutes may pass 59), or "" when
// unknown.
QString LengthText(int lengthMs);
