// How long the statistics report takes for a large song list: building the
// lines from the grid's cells, sorting them and writing the report file.
// The grid is filled the way a full scan leaves it: artist cells on the
// first song of each artist's run, a mix of lyrics marks.
//
//   bench_stats [--songs 100000] [--runs 5] [--without-lyrics PERCENT]
//
// Prints the median and the slowest run, against the goal of well under
// one second for 100,000 songs.

#include "SongList.h"
#include "StatisticsReport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace
{

void fill(TSongList &grid, int songs, int withoutPercent)
{
    grid.setRowCount(songs + 1);
    quint32 seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    const int artists = std::max(1, songs / 12);
    int row = 1;
    for (int a = 0; a < artists && row <= songs; ++a) {
        const int runLength = a + 1 == artists ? songs - row + 1 : std::min(12, songs - row + 1);
        const QString artist = QStringLiteral("Artist %1 %2").arg(next() % 100000).arg(QChar(u'A' + a % 26));
        for (int i = 0; i < runLength; ++i, ++row) {
            grid.setCell(TSongList::ColArtist, row, i == 0 ? artist : QString());
            grid.setCell(
                TSongList::ColTitle, row, QStringLiteral("Song title number %1").arg(next() % 1000000));
            const int pick = int(next() % 100);
            const char *mark = pick < withoutPercent ? " "
                : pick < withoutPercent + 5          ? "X"
                : pick < 95                          ? "V"
                                                     : "I";
            grid.setCell(TSongList::ColLyrics, row, QString::fromLatin1(mark));
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int songs = 100000;
    int runs = 5;
    int withoutPercent = 60;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--songs"))
            songs = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--runs"))
            runs = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--without-lyrics"))
            withoutPercent = std::atoi(argv[i + 1]);
    }
    TSongList grid;
    fill(grid, songs, withoutPercent);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("discora.TXT"));
    std::vector<double> times;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer timer;
        timer.start();
        StatisticsReport::Write(path, grid);
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    const QFileInfo report(path);
    std::printf(
        "statistics report, %d songs (%d%% without lyrics, 5%% unclear): median %.1f ms, slowest %.1f ms "
        "over %d runs, report %lld bytes; goal < 1000 ms: %s\n",
        songs, withoutPercent, median, times.back(), runs, report.size(),
        times.back() < 1000 ? "met" : "MISSED");
    return 0;
}
