// How long the statistics report takes for a large song list: building the
// lines from the grid's cells, sorting them, writing the report file and
// showing it in the viewer (until its first paint), as the Statistics
// button does. Runs on Qt's offscreen platform unless told otherwise.
// The grid is filled the way a full scan leaves it: artist cells on the
// first song of each artist's run, a mix of lyrics marks.
//
//   bench_stats [--songs 100000] [--runs 5] [--without-lyrics PERCENT]
//
// Prints the median and the slowest run, against the goal of well under
// one second for 100,000 songs.

#include "SongList.h"
#include "StatisticsReport.h"

#include "FQLXLogF.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

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
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
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
    TQLXLogFile viewer;
    viewer.setObjectName(QStringLiteral("iloViewer"));
    viewer.setMaxRecords(32768);
    viewer.setLogReverse(false);
    viewer.ShowClearBtn = false;
    std::vector<double> written, shown;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer timer;
        timer.start();
        StatisticsReport::Write(path, grid);
        written.push_back(double(timer.nsecsElapsed()) / 1e6);
        // Closed as soon as it has painted once.
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (QWidget *modal = QApplication::activeModalWidget()) {
                modal->repaint();
                shown.push_back(double(timer.nsecsElapsed()) / 1e6);
                modal->close();
            }
        });
        poll.start(0);
        viewer.setViewFile(path);
        viewer.Execute();
    }
    std::sort(written.begin(), written.end());
    std::sort(shown.begin(), shown.end());
    const QFileInfo report(path);
    std::printf("statistics report, %d songs (%d%% without lyrics, 5%% unclear), %lld bytes, %d runs:\n",
        songs, withoutPercent, report.size(), runs);
    std::printf("  written:           median %.1f ms, slowest %.1f ms\n", written[written.size() / 2],
        written.back());
    std::printf("  written and shown: median %.1f ms, slowest %.1f ms; goal < 1000 ms: %s\n",
        shown[shown.size() / 2], shown.back(), shown.back() < 1000 ? "met" : "MISSED");
    return 0;
}
