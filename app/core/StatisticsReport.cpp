#include "StatisticsReport.h"

#include "FileWrite.h"
#include "STR_Func.h"
#include "SongList.h"
#include "TextCodec.h"

#include <QFile>

#include <algorithm>

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
    QStringList songLines;
    for (int r = 1; r <= lastRow; ++r) {
        const QString &artistCell = grid.Cells(TSongList::ColArtist, r);
        if (!StrTrim(artistCell).isEmpty())
            artist = artistCell;
        const QString &markCell = grid.Cells(TSongList::ColLyrics, r);
        const QString mark = StrTrim(markCell);
        if (mark == QLatin1String("I"))
            ++instrumental;
        else if (mark == QLatin1String("X"))
            ++unclear;
        else if (mark.isEmpty())
            ++withoutLyrics;
        if (mark.isEmpty() || mark == QLatin1String("X"))
            songLines.append(QLatin1Char(' ') + markCell + QLatin1Char(' ')
                + StrPadRight(artist, u' ', int(longestArtist)) + QLatin1Char(' ')
                + grid.Cells(TSongList::ColTitle, r));
    }
    // Lines that differ only in letter case keep one order from run to run.
    std::sort(songLines.begin(), songLines.end(), [&collator](const QString &a, const QString &b) {
        const int order = collator.compare(a, b);
        return order != 0 ? order < 0 : a < b;
    });

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
    const qsizetype slash = programPath.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = programPath.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > slash + 1 ? programPath.left(dot) : programPath;
    return base + QStringLiteral(".TXT");
}

void Write(const QString &path, const TSongList &grid)
{
    WriteFileAtomic(QFile::encodeName(path), FileBytes(Lines(grid)));
}

} // namespace StatisticsReport
