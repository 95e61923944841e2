// Search speed: FindNext in the real main window over a library made by
// generate_library, from row 1 to a text found only in the last row, and a
// text found nowhere (the whole list, every cell). Prints median and worst
// of the runs in milliseconds.
//
//   bench_find --lib DIR [--runs K]
//
// DIR is a library made by generate_library (DIR/music and DIR/info).

#include "MusicGrid.h"
#include "QLXApplication.h"
#include "UDSCMain.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace
{

struct Timing {
    double median = 0;
    double best = 0;
    double worst = 0;
    int row = 0; // where the last run ended
};

Timing timeFind(TfrmMain &window, const QString &text, int runs)
{
    std::vector<double> ms;
    Timing t;
    for (int i = 0; i < runs; ++i) {
        window.edtFind->setText(text);
        window.ResetFind(); // starts at row 1 even when the text stayed
        window.sgrMusic->setRow(1);
        QElapsedTimer clock;
        clock.start();
        window.FindNext();
        ms.push_back(double(clock.nsecsElapsed()) / 1e6);
        t.row = window.sgrMusic->Row();
    }
    std::sort(ms.begin(), ms.end());
    t.median = ms[ms.size() / 2];
    t.worst = ms.back();
    t.best = ms.front();
    return t;
}

} // namespace

int main(int argc, char **argv)
{
    QString lib;
    int runs = 21;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--lib") == 0)
            lib = QString::fromLocal8Bit(argv[++i]);
        else if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::max(1, std::atoi(argv[++i]));
    }
    if (lib.isEmpty()) {
        std::fprintf(stderr, "usage: bench_find --lib DIR [--runs K]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TQLXApplication app(argc, argv);
    QTemporaryDir dir;
    const QString settings = dir.filePath(QStringLiteral("bench.INI"));
    QFile ini(settings);
    if (!ini.open(QIODevice::WriteOnly))
        return 1;
    ini.write("[MP3]\r\nDirectory=" + QFile::encodeName(lib)
        + "/music\r\nINI_Directory=" + QFile::encodeName(lib) + "/info\r\n");
    ini.close();

    TfrmMain window(settings);
    window.RefreshList(true);
    const int last = window.songs().RowCount() - 1;
    if (last < 1) {
        std::fprintf(stderr, "bench_find: no songs in %s\n", qPrintable(lib));
        return 1;
    }
    // A text that only the last row holds, at the end of its title.
    const QString marker = QStringLiteral("Qxzjv");
    window.songs().setCell(1, last, window.songs().Cells(1, last) + QLatin1Char(' ') + marker);

    const Timing hit = timeFind(window, marker.toLower(), runs);
    const Timing miss = timeFind(window, QStringLiteral("qxzjw"), runs);
    std::printf("FindNext over %d songs (%d runs each)\n", last, runs);
    std::printf("  hit in the last row   best %7.2f ms  median %7.2f ms  worst %7.2f ms  (row %d)\n",
        hit.best, hit.median, hit.worst, hit.row);
    std::printf("  miss, whole list      best %7.2f ms  median %7.2f ms  worst %7.2f ms\n", miss.best,
        miss.median, miss.worst);
    return hit.row == last ? 0 : 1;
}
