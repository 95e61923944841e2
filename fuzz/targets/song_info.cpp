// The song information file over any bytes: the grid's values, the details
// and the lyrics, read as a scan and the details dialog read them. Input: the
// file's bytes. The grid and the details must agree, and counting a play
// (a new UsageCount) must change the count and nothing else that is read.

#include "../FuzzCheck.h"

#include "ProfileFile.h"
#include "QLXError.h"
#include "STR_Func.h"
#include "SongInfo.h"

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

    // A play counted as CountPlay counts it, in memory.
    const QString next = QStringLiteral("12345");
    const QByteArray counted
        = ProfileFile::writeString(content, QStringLiteral("Info"), QStringLiteral("UsageCount"), next);
    const SongInfo::Details after = SongInfo::ReadDetails(counted);
    FUZZ_CHECK(SongInfo::ReadGridValues(counted).usageCount == next);
    FUZZ_CHECK(after.UsageCount == next);
    FUZZ_CHECK(after.Writer == details.Writer && after.Playtime == details.Playtime
        && after.AlbumName == details.AlbumName && after.SongYear == details.SongYear
        && after.AlbumYear == details.AlbumYear && after.AlbumCDNum == details.AlbumCDNum
        && after.AlbumLabel == details.AlbumLabel);
    FUZZ_CHECK(SongInfo::ReadLyrics(counted) == lyrics);
    return 0;
}
