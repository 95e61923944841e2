#pragma once
// What a song's own file holds for its song information: its tags and
// length, and its lyrics (unsynchronised lyrics of its tags, else those of a
// .lrc file of the same name beside it). The details dialog offers them for
// empty fields; filling takes them into the song information files of many
// songs at once.

#include "SongInfo.h"

#include <QByteArray>
#include <QDate>
#include <QStringList>

struct TFileValues {
    SongInfo::Details fields; // UsageCount stays ""
    QString lyrics; // lines separated by "\n"
};

// Reads the song at songPath (raw bytes); "" where it holds nothing.
TFileValues FileValuesOf(const QByteArray &songPath);

// Writes values into the song information file at infoPath where its keys
// are empty or missing, each as a single-key change; a value there is never
// replaced. The lyrics go into a file without any, with their marker line
// (SongInfo::WithLyrics); lyrics there are never replaced. A missing or
// empty file is made in the layout the details dialog saves (its folders
// too, dated today), with the lyrics. All of it is one atomic replacement.
// Returns the keys written, "Lyrics" for the lyrics ("" alone when the file
// was made); empty when nothing was. Throws EQLXError("Unable to write to
// <path>").
QStringList FillSongInfo(const QByteArray &infoPath, const TFileValues &values, const QDate &today);
