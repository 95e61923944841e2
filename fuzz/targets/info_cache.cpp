// The values cache (discora.VAL) over any bytes. A line found by its name is
// a line of that name; values read for its stamp, written again and read
// back, are the same values; no line is found for a stamp it does not hold.

#include "../FuzzCheck.h"

#include "CacheText.h"
#include "InfoCache.h"

#include <limits>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const InfoCache::Cache cache(bytes);
    // A file of another kind holds nothing.
    const bool ours = bytes.startsWith(InfoCache::Header());
    qsizetype previous = -1;
    QByteArray name;
    for (qsizetype start = bytes.indexOf('\n') + 1; start > 0 && start < bytes.size();) {
        const qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            break;
        const QByteArrayView line = QByteArrayView(bytes).sliced(start, end - start);
        const qsizetype tab = line.indexOf('\t');
        QByteArrayView fields[10];
        QByteArray written;
        if (tab > 0 && CacheText::Unescape(line.first(tab), name) && !name.isEmpty()
            && (CacheText::Escape(name, written), written == line.first(tab))) {
            // (A name written another way, a raw line break in it, is a
            // damaged line: never found, its file read again.)
            const qsizetype found = cache.find(name, previous);
            FUZZ_CHECK((found >= 0) == ours);
            if (!ours)
                break;
            // Names are written one way only: the line found starts as this one.
            FUZZ_CHECK(QByteArrayView(bytes).sliced(found).startsWith(line.first(tab + 1)));
            previous = found;
            InfoCache::Stamp stamp;
            SongInfo::GridValues values;
            if (CacheText::SplitFields(line, fields, 10) && CacheText::ReadNumber(fields[1], stamp.dev)
                && CacheText::ReadNumber(fields[2], stamp.ino) && CacheText::ReadNumber(fields[3], stamp.size)
                && CacheText::ReadNumber(fields[4], stamp.modified)
                && CacheText::ReadNumber(fields[5], stamp.changed) && stamp.size >= 0
                && cache.valuesOf(start, stamp, values)) {
                InfoCache::Stamp other = stamp;
                other.changed ^= 1;
                SongInfo::GridValues unused;
                FUZZ_CHECK(!cache.valuesOf(start, other, unused));
                InfoCache::Lines lines;
                lines.add(name, stamp, values, std::numeric_limits<qint64>::max());
                const InfoCache::Cache again(lines.text(cache));
                SongInfo::GridValues back;
                const qsizetype at = again.find(name);
                FUZZ_CHECK(at >= 0 && again.valuesOf(at, stamp, back));
                FUZZ_CHECK(back.playTime == values.playTime && back.lyricsMark == values.lyricsMark
                    && back.songYear == values.songYear && back.usageCount == values.usageCount);
            }
        }
        start = end + 1;
    }
    return 0;
}
