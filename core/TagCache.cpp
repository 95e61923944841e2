#include "TagCache.h"

#include "CacheText.h"

#include <algorithm>

namespace TagCache
{

namespace
{

const QByteArray Header = QByteArrayLiteral("Discora tag cache 1");
constexpr int Fields = 13;

using CacheText::Escape;
using CacheText::Find;
using CacheText::ReadNumber;
using CacheText::Unescape;

// The artist and album of the line before: songs of one album follow each
// other in the cache, and share their texts rather than each holding a
// copy (less to make, to keep and to compare when the rows are sorted).
struct Previous {
    QByteArrayView field[2];
    QString text[2];
};

bool parseLine(QByteArrayView line, QByteArray &path, Entry &entry, Previous &previous)
{
    QByteArrayView field[Fields];
    int n = 0;
    for (qsizetype start = 0;; ++n) {
        const qsizetype tab = Find(line, '\t', start);
        if (n == Fields - 1) {
            if (tab >= 0)
                return false;
            field[n] = line.sliced(start);
            break;
        }
        if (tab < 0)
            return false;
        field[n] = line.sliced(start, tab - start);
        start = tab + 1;
    }
    Key &k = entry.key;
    TTreeSong &s = entry.song;
    QByteArray text;
    if (!ReadNumber(field[0], k.dev) || !ReadNumber(field[1], k.ino) || !ReadNumber(field[2], k.size)
        || !ReadNumber(field[3], k.modified) || !ReadNumber(field[4], s.lengthMs)
        || !ReadNumber(field[5], s.year) || !ReadNumber(field[6], s.albumYear)
        || !ReadNumber(field[7], s.disc) || !ReadNumber(field[8], s.track))
        return false;
    // Most fields hold nothing escaped: taken as they are.
    QString *texts[] = { &s.artist, &s.title, &s.album };
    for (int t = 0; t < 3; ++t) {
        const int shared = t == 0 ? 0 : t == 2 ? 1 : -1;
        if (shared >= 0 && field[9 + t] == previous.field[shared] && previous.field[shared].data()) {
            *texts[t] = previous.text[shared];
        } else if (!CacheText::ReadText(field[9 + t], *texts[t], text)) {
            return false;
        }
        if (shared >= 0) {
            previous.field[shared] = field[9 + t];
            previous.text[shared] = *texts[t];
        }
    }
    if (Find(field[12], '\\') < 0)
        path = field[12].toByteArray();
    else if (!Unescape(field[12], path))
        return false;
    return !path.isEmpty();
}

} // namespace

Entries Parse(const QByteArray &bytes)
{
    Entries entries;
    qsizetype end = bytes.indexOf('\n');
    if (end < 0 || QByteArrayView(bytes).first(end) != Header)
        return entries;
    // A line a song: room for them all at once.
    entries.reserve(qsizetype(std::count(bytes.begin() + end + 1, bytes.end(), '\n')));
    QByteArray path;
    Previous previous;
    for (qsizetype start = end + 1; start < bytes.size(); start = end + 1) {
        end = Find(bytes, '\n', start);
        if (end < 0)
            break; // a line cut short
        Entry entry;
        if (parseLine(QByteArrayView(bytes).sliced(start, end - start), path, entry, previous))
            entries[path] = std::move(entry);
    }
    return entries;
}

QByteArray Compose(const std::vector<QByteArray> &paths, const std::vector<Entry> &entries)
{
    QByteArray out = Header + '\n';
    // Room for it all at once (nine numbers and their tabs, a text's UTF-8
    // at most three bytes a UTF-16 unit): grown step by step, the text left
    // each smaller block it outgrew free at the top of the writing thread's
    // heap, and those pages stayed resident after the start.
    qsizetype size = out.size();
    for (size_t i = 0; i < paths.size() && i < entries.size(); ++i) {
        const TTreeSong &s = entries[i].song;
        size += 9 * 21 + 4 + 3 * (s.artist.size() + s.title.size() + s.album.size()) + paths[i].size();
    }
    out.reserve(size);
    for (size_t i = 0; i < paths.size() && i < entries.size(); ++i) {
        const Key &k = entries[i].key;
        const TTreeSong &s = entries[i].song;
        out += QByteArray::number(k.dev) + '\t' + QByteArray::number(k.ino) + '\t'
            + QByteArray::number(k.size) + '\t' + QByteArray::number(k.modified) + '\t'
            + QByteArray::number(s.lengthMs) + '\t' + QByteArray::number(s.year) + '\t'
            + QByteArray::number(s.albumYear) + '\t' + QByteArray::number(s.disc) + '\t'
            + QByteArray::number(s.track) + '\t';
        for (const QString *text : { &s.artist, &s.title, &s.album }) {
            Escape(text->toUtf8(), out);
            out += '\t';
        }
        Escape(paths[i], out);
        out += '\n';
    }
    return out;
}

} // namespace TagCache
