#pragma once
// What the tags of a tree library's songs said, kept between runs beside the
// settings (discora.TAG), so that a start where no song changed opens no
// audio file: each song by its path below the music folder, with its file's
// identity and modification time. A song whose file is not the one the
// cache names (another inode, size or time: a tag editor rewrote it) is read
// again.
//
// The file: a first line "Discora tag cache 1", then per song one line of
// tab-separated fields: device, inode, size, modification time (ns), length
// (ms), year, album year, disc, track, artist, title, album, path. Tabs, line
// breaks and backslashes inside a field are written as \t, \n, \r and \\.
// Anything else (another first line, a line of the wrong shape) reads as not
// cached.

#include "TreeSongs.h"

#include <QByteArray>

#include <vector>

namespace TagCache
{

// The entries of a cache file's bytes, by path (raw bytes).
Entries Parse(const QByteArray &bytes);
// A cache file's bytes for these songs (paths[i] with entries[i]).
QByteArray Compose(const std::vector<QByteArray> &paths, const std::vector<Entry> &entries);

} // namespace TagCache
