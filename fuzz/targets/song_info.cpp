// The song information file over any bytes: the grid's values, the details
// and the lyrics, read as a scan and the details dialog read them. Input: the
// file's bytes. The grid and the details must agree, and counting a play
// must change the count (and a missing time) and nothing else that is read.

#include "../FuzzCheck.h"

#include "QLXError.h"
#include "STR_Func.h"
#include "SongInfo.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray content(reinterpret_cast<const char *>(data), qsizetype(size));
    const SongInfo::GridValues grid = SongInfo::ReadGridValues(content);
    const SongInfo::Details details = SongInfo::ReadDetails(content);
    const QStringList lyrics = SongInfo::ReadLyrics(content);

    const QString count = StrTrim(details.UsageCount);
    FUZZ_CHECK(grid.usageCount == (count.isEmpty() ? QStringLiteral("0") : count));
    FUZZ_CHECK(grid.songYear == details.SongYear.left(4));
    // The grid's column holds six characters: a longer time shows its end.
    FUZZ_CHECK(grid.playTime.size() == 6);
    if (!details.Playtime.isEmpty())
        FUZZ_CHECK(grid.playTime.endsWith(details.Playtime) || details.Playtime.endsWith(grid.playTime));
    const QString marks = QStringLiteral("VIX ");
    FUZZ_CHECK(marks.contains(grid.lyricsMark));
    for (const QString &line : lyrics)
        FUZZ_CHECK(!line.contains(u'\r') && !line.contains(u'\n'));

    // A play counted: the count and a missing time change, nothing else read.
    QString next;
    QByteArray counted;
    try {
        counted = SongInfo::CountedPlay(content, next);
    } catch (const EQLXError &) {
        return 0; // a count that is no number, or one that cannot grow
    }
    const SongInfo::Details after = SongInfo::ReadDetails(counted);
    FUZZ_CHECK(SongInfo::ReadGridValues(counted).usageCount == next);
    FUZZ_CHECK(after.UsageCount == next);
    FUZZ_CHECK(after.Playtime == (details.Playtime.isEmpty() ? QStringLiteral("??:??") : details.Playtime));
    FUZZ_CHECK(after.Writer == details.Writer && after.AlbumName == details.AlbumName
        && after.SongYear == details.SongYear && after.AlbumYear == details.AlbumYear
        && after.AlbumCDNum == details.AlbumCDNum && after.AlbumLabel == details.AlbumLabel);
    // A lyric line that is also a key line of the count or the time (a file
    // with its marker among the keys) changes with it: only their number stays.
    const bool keyAmongLyrics = std::any_of(lyrics.cbegin(), lyrics.cend(), [](const QString &line) {
        const QString key = StrTrim(line.section(u'=', 0, 0));
        return line.contains(u'=')
            && (key.compare(QStringLiteral("UsageCount"), Qt::CaseInsensitive) == 0
                || key.compare(QStringLiteral("Playtime"), Qt::CaseInsensitive) == 0);
    });
    const QStringList lyricsAfter = SongInfo::ReadLyrics(counted);
    FUZZ_CHECK(keyAmongLyrics ? lyricsAfter.size() == lyrics.size() : lyricsAfter == lyrics);
    return 0;
}
