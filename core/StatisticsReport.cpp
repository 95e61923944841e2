#include "StatisticsReport.h"

#include "FileWrite.h"
#include "ProgramFiles.h"
#include "STR_Func.h"
#include "SongList.h"
#include "TextCodec.h"

#include <QFile>
#include <QHash>

#include <algorithm>
#include <tuple>
#include <vector>

namespace StatisticsReport
{

namespace
{

// " Nummer of songs: " and the others: 18 characters, so the numbers line up
// in a column of 5. A larger number is written whole rather than cut to its
// last digits, which would report 100,000 songs as "00000".
QString counterLine(const char *label, int count)
{
    const QString number = QString::number(count);
    return QString::fromLatin1(label) + (number.size() > 5 ? number : StrPadLeft(number, u' ', 5));
}

} // namespace

QStringList Lines(const TSongList &grid, const QCollator &collator)
{
    const int lastRow = grid.RowCount() - 1;
    qsizetype longestArtist = 0;
    for (int r = 1; r <= lastRow; ++r)
        longestArtist = std::max(longestArtist, grid.Cells(TSongList::ColArtist, r).size());

    int withoutLyrics = 0;
    int unclear = 0;
    int instrumental = 0;
    QString artist;
    struct Song {
        int artist; // index into artists
        int row;
        bool unclear;
    };
    std::vector<Song> songs;
    QStringList artists;
    QHash<QString, int> artistIndex;
    for (int r = 1; r <= lastRow; ++r) {
        const QString &artistCell = grid.Cells(TSongList::ColArtist, r);
        if (!StrTrim(artistCell).isEmpty())
            artist = artistCell;
        const QString mark = StrTrim(grid.Cells(TSongList::ColLyrics, r));
        if (mark == QLatin1String("I"))
            ++instrumental;
        else if (mark == QLatin1String("X"))
            ++unclear;
        else if (mark.isEmpty())
            ++withoutLyrics;
        if (!mark.isEmpty() && mark != QLatin1String("X"))
            continue;
        auto known = artistIndex.constFind(artist);
        if (known == artistIndex.cend()) {
            known = artistIndex.insert(artist, int(artists.size()));
            artists.append(artist);
        }
        songs.push_back({ *known, r, !mark.isEmpty() });
    }

    // The songs without lyrics come first, then the unclear ones, each in
    // the order of artist, then title. A large library has far fewer
    // artists than songs: the artists are put in order once, and titles are
    // compared only between songs of the same artist.
    std::vector<int> byName(artists.size());
    for (size_t i = 0; i < byName.size(); ++i)
        byName[i] = int(i);
    std::sort(byName.begin(), byName.end(),
        [&](int a, int b) { return collator.compare(artists[a], artists[b]) < 0; });
    std::vector<int> rank(artists.size());
    for (size_t i = 0; i < byName.size(); ++i)
        rank[byName[i]] = i > 0 && collator.compare(artists[byName[i - 1]], artists[byName[i]]) == 0
            ? rank[byName[i - 1]]
            : int(i);
    const auto titleOf
        = [&grid](const Song &s) -> const QString & { return grid.Cells(TSongList::ColTitle, s.row); };
    std::sort(songs.begin(), songs.end(), [&](const Song &a, const Song &b) {
        if (a.unclear != b.unclear)
            return b.unclear;
        if (rank[a.artist] != rank[b.artist])
            return rank[a.artist] < rank[b.artist];
        const int order = collator.compare(titleOf(a), titleOf(b));
        if (order != 0)
            return order < 0;
        // Songs that differ only in letter case keep one order from run to run.
        return std::tie(artists[a.artist], titleOf(a), a.row)
            < std::tie(artists[b.artist], titleOf(b), b.row);
    });

    QStringList songLines;
    songLines.reserve(qsizetype(songs.size()));
    for (const Song &song : songs)
        songLines.append(QLatin1Char(' ') + grid.Cells(TSongList::ColLyrics, song.row) + QLatin1Char(' ')
            + StrPadRight(artists[song.artist], u' ', int(longestArtist)) + QLatin1Char(' ') + titleOf(song));

    QStringList lines { QString(), counterLine(" Nummer of songs: ", lastRow),
        counterLine(" Without lyrics:  ", withoutLyrics), counterLine(" Unclear lyrics:  ", unclear),
        counterLine(" Instrumental:    ", instrumental), QString() };
    lines.append(songLines);
    return lines;
}

QStringList Lines(const TSongList &grid)
{
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return Lines(grid, collator);
}

QByteArray FileBytes(const QStringList &lines)
{
    QString text;
    for (const QString &line : lines)
        text += line + QStringLiteral("\r\n");
    return EncodeText(text);
}

QString PathFor(const QString &programPath)
{
    return WithExtension(programPath, QStringLiteral(".TXT"));
}

void Write(const QString &path, const TSongList &grid)
{
    WriteFileAtomic(QFile::encodeName(path), FileBytes(Lines(grid)));
}

} // namespace StatisticsReport
