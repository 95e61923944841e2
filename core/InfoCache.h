#pragma once
// What the grid showed of each song information file, kept between runs
// beside the settings (discora.VAL): a full scan that finds a file as it was
// (the same device, inode, size, and modification and change times to the
// nanosecond) takes its values from here and reads nothing of the file, one
// look at it instead of opening and reading it. A file is kept only when it
// last changed well before the scan looked at it (SettleNs): any later
// change gives it another change time, even where the file system's clock
// ticks coarsely, and no tool can set a change time back. A lost or damaged
// cache only costs reading the files again.
//
// The file: a first line "Discora information cache 1", then per file one
// line of tab-separated fields (see CacheText): its name below the
// information folder, device, inode, size, modification time (ns), change
// time (ns), then the grid's play time, lyrics mark, song year and usage
// count. A line of another shape reads as not kept.

#include "SongInfo.h"

#include <QByteArray>
#include <QByteArrayView>

#include <sys/stat.h>
#include <vector>

namespace InfoCache
{

struct Stamp {
    quint64 dev = 0, ino = 0;
    qint64 size = -1, modified = 0, changed = 0;
    bool operator==(const Stamp &) const = default;
};
Stamp StampOf(const struct stat &st);

// How long before a scan began a file must have last changed to be kept
// (FAT's clock ticks every 2 s).
inline constexpr qint64 SettleNs = 3'000'000'000;
// Now on the clock file times are taken from (ns since the epoch).
qint64 NowNs();

class Cache
{
public:
    Cache() = default;
    // The cache whose file holds bytes (anything else reads as empty).
    explicit Cache(QByteArray bytes);
    // The cache in the file at path (missing or unreadable: empty).
    static Cache Read(const QByteArray &path);
    Cache(Cache &&other) noexcept;
    Cache &operator=(Cache &&other) noexcept;
    ~Cache();
    // The line kept for the file named name (below the information
    // folder), or -1. Files are mostly looked for in the order of the
    // cache's lines: the line after the one found last (before) is tried
    // first.
    qsizetype find(QByteArrayView name, qsizetype before = -1) const;
    // The values of line found, when it was kept for a file stamped so;
    // false when the file changed since (or the line is damaged).
    bool valuesOf(qsizetype line, const Stamp &stamp, SongInfo::GridValues &values) const;
    // Where the line found ends, past its line break.
    qsizetype lineEnd(qsizetype line) const;
    // The bytes the cache was made of; valid while it lives.
    const QByteArray &bytes() const { return m_bytes; }

private:
    void parse();
    void unmap();
    struct Entry {
        size_t hash;
        quint32 line; // where the line starts in m_bytes
        quint32 nameLength; // of its first field, as written
    };
    QByteArray m_bytes;
    std::vector<Entry> m_entries; // by hash
    // The file's bytes as mapped, which m_bytes then refers to.
    void *m_mapped = nullptr;
    size_t m_mappedSize = 0;
};

// The first line of a cache file, its line break included.
QByteArray Header();

// The lines a full scan gives the cache, in order, as it goes: the lines of
// files found as they were are only pointed at in the cache read (a start
// where nothing changed copies nothing), the others are written anew.
class Lines
{
public:
    // The line of the cache read at line, to its end, kept as it is.
    void keep(qsizetype line, qsizetype end);
    // Appends the line of the file named name, stamped so, with the values
    // read from it, when it last changed no later than keptBeforeNs (a scan's
    // start less SettleNs); else nothing.
    void add(
        QByteArrayView name, const Stamp &stamp, const SongInfo::GridValues &values, qint64 keptBeforeNs);
    // other's lines after these.
    void append(Lines &&other);
    // Whether these are the lines of cache, no more, no less, in its order.
    bool sameAs(const Cache &cache) const;
    // The whole file of these lines (the kept ones taken from cache).
    QByteArray text(const Cache &cache) const;

private:
    // A run of kept lines (from, to) or, with from -1, new ones.
    struct Segment {
        qsizetype from = -1, to = -1;
        QByteArray added;
    };
    std::vector<Segment> m_segments;
};

} // namespace InfoCache
