// How fast the catalogue scans a music folder and how the song grid pages,
// on synthetic libraries of several sizes, each measured against the floor
// of plain POSIX calls in the same run. Prints one table.
//
//   bench_scan --libs ROOT [--sizes 1000,10000,100000] [--runs K] [--pages P]
//              [--no-cold] [--grid-size N]
//
// ROOT/songs-N holds the library of N songs (music/ and info/), as made by
// generate_library. The memory and grid measurements run once, in a child
// process, on the largest size (or --grid-size).

#include "BenchGrid.h"
#include "BenchScan.h"

#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{

struct Row {
    QString songs, metric, value, goal, verdict;
};

struct Options {
    QByteArray root;
    std::vector<int> sizes { 1000, 10000, 100000 };
    int runs = 0; // 0: by size
    int pages = 200;
    bool cold = true;
    int gridSize = 0;
};

QString thousands(long long n)
{
    QString text = QString::number(n);
    for (qsizetype pos = text.size() - 3; pos > 0; pos -= 3)
        text.insert(pos, QLatin1Char(','));
    return text;
}

QString ms(double value)
{
    return QStringLiteral("%1 ms").arg(value, 0, 'f', value < 10 ? 2 : 1);
}

QString verdict(bool met)
{
    return met ? QStringLiteral("met") : QStringLiteral("MISSED");
}

QString ratioVerdict(double scan, double floor, double goal)
{
    const double ratio = floor > 0 ? scan / floor : 0;
    return QStringLiteral("%1x of floor %2: %3").arg(ratio, 0, 'f', 2).arg(ms(floor), verdict(ratio <= goal));
}

bool parse(int argc, char **argv, Options &options)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray name = argv[i];
        const QByteArray value = i + 1 < argc ? QByteArray(argv[i + 1]) : QByteArray();
        if (name == "--no-cold") {
            options.cold = false;
            continue;
        }
        if (value.isEmpty())
            return false;
        ++i;
        if (name == "--libs") {
            options.root = value;
        } else if (name == "--sizes") {
            options.sizes.clear();
            for (const QByteArray &size : value.split(','))
                if (size.toInt() > 0)
                    options.sizes.push_back(size.toInt());
        } else if (name == "--runs") {
            options.runs = value.toInt();
        } else if (name == "--pages") {
            options.pages = value.toInt();
        } else if (name == "--grid-size") {
            options.gridSize = value.toInt();
        } else {
            return false;
        }
    }
    if (options.gridSize == 0 && !options.sizes.empty())
        options.gridSize = *std::max_element(options.sizes.begin(), options.sizes.end());
    return !options.root.isEmpty() && !options.sizes.empty();
}

BenchScan::Library libraryOf(const Options &options, int size)
{
    const QByteArray folder = options.root + "/songs-" + QByteArray::number(size);
    return { folder + "/music", folder + "/info" };
}

bool exists(const QByteArray &folder)
{
    struct stat st;
    return ::stat(folder.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

void scanRows(const Options &options, int size, std::vector<Row> &rows)
{
    const BenchScan::Library library = libraryOf(options, size);
    const QString n = thousands(size);
    if (!exists(library.music)) {
        rows.push_back({ n, QStringLiteral("library"),
            QStringLiteral("missing: ") + QString::fromLocal8Bit(library.music), {}, {} });
        return;
    }
    const int runs = options.runs > 0 ? options.runs : size <= 1000 ? 11 : size <= 10000 ? 7 : 5;
    std::fprintf(stderr, "bench_scan: %d songs, %d runs each...\n", size, runs);

    const BenchScan::FullScan full = BenchScan::measureFull(library, runs);
    if (full.songs != size || full.floorSongs != size_t(size))
        rows.push_back({ n, QStringLiteral("listed songs"),
            QStringLiteral("scan %1, floor %2").arg(full.songs).arg(full.floorSongs), thousands(size),
            QStringLiteral("MISMATCH") });
    rows.push_back({ n, QStringLiteral("full scan, warm"), ms(full.scanMs), QStringLiteral("<= 1.2x floor"),
        ratioVerdict(full.scanMs, full.floorMs, 1.2) });
    rows.push_back(
        { n, QStringLiteral("full scan, index of songs kept"), ms(full.keptIndexMs), QStringLiteral("-"),
            QStringLiteral("%1 over the full scan").arg(ms(full.keptIndexMs - full.scanMs)) });
    rows.push_back({ n, QStringLiteral("first 20 rows, warm"),
        full.firstRowsMs < 0 ? QStringLiteral("not called") : ms(full.firstRowsMs),
        QStringLiteral("< 100 ms"), verdict(full.firstRowsMs >= 0 && full.firstRowsMs < 100) });
    rows.push_back({ n, QStringLiteral("  steps before them"),
        QStringLiteral("%1+%2+%3 ms")
            .arg(full.listMs, 0, 'f', 1)
            .arg(full.indexMs, 0, 'f', 1)
            .arg(full.sweepMs, 0, 'f', 1),
        QStringLiteral("-"),
        QStringLiteral("each alone: list songs + index info folder + sweep /proc; floor lists+sorts in %1")
            .arg(ms(full.floorListMs)) });

    if (options.cold) {
        const BenchScan::ColdScan cold = BenchScan::measureCold(library);
        if (!cold.done) {
            rows.push_back({ n, QStringLiteral("full scan, cold"), QStringLiteral("skipped"), {}, cold.why });
        } else {
            const bool atScale = size >= 100000;
            rows.push_back({ n, QStringLiteral("full scan, cold"), ms(cold.scanMs),
                atScale ? QStringLiteral("< 3 s") : QStringLiteral("(3 s at 100,000)"),
                QStringLiteral("cold floor %1%2")
                    .arg(ms(cold.floorMs),
                        atScale ? QStringLiteral(": ") + verdict(cold.scanMs < 3000) : QString()) });
            rows.push_back({ n, QStringLiteral("first 20 rows, cold"),
                cold.firstRowsMs < 0 ? QStringLiteral("not called") : ms(cold.firstRowsMs),
                QStringLiteral("< 100 ms"), verdict(cold.firstRowsMs >= 0 && cold.firstRowsMs < 100) });
        }
    }

    const BenchScan::LightScan light = BenchScan::measureLight(library, runs);
    QString goal = QStringLiteral("<= 1.2x floor");
    QString result = ratioVerdict(light.scanMs, light.floorMs, 1.2);
    if (size == 10000) {
        goal += QStringLiteral(", < 30 ms");
        result += QStringLiteral("; < 30 ms: ") + verdict(light.scanMs < 30);
    }
    rows.push_back({ n, QStringLiteral("light scan"), ms(light.scanMs), goal, result });
}

void gridRows(const Options &options, std::vector<Row> &rows)
{
    const BenchScan::Library library = libraryOf(options, options.gridSize);
    const QString n = thousands(options.gridSize);
    if (!exists(library.music))
        return;
    std::fprintf(stderr, "bench_scan: memory and grid, %d songs...\n", options.gridSize);
    const BenchGrid::Result grid = BenchGrid::run(library, options.pages);
    if (!grid.ok) {
        rows.push_back({ n, QStringLiteral("memory and grid"), QStringLiteral("failed"), {}, grid.error });
        return;
    }
    rows.push_back({ n, QStringLiteral("memory: song list"),
        QStringLiteral("%1 B/song").arg(grid.listBytesPerSong, 0, 'f', 0), QStringLiteral("< 1,024 B/song"),
        verdict(grid.listBytesPerSong < 1024) });
    rows.push_back({ n, QStringLiteral("memory: + catalogue"),
        QStringLiteral("%1 B/song").arg(grid.catalogueBytesPerSong, 0, 'f', 0), QStringLiteral("-"),
        QStringLiteral("song list, file names, sizes") });
    rows.push_back({ n, QStringLiteral("grid: show + 1st paint"), ms(grid.firstPaintMs), QStringLiteral("-"),
        QStringLiteral("664x292, offscreen") });
    rows.push_back({ n, QStringLiteral("grid: per page"), ms(grid.pageMs), QStringLiteral("-"),
        QStringLiteral("median of %1 PageDown+repaint, max %2, at row %3")
            .arg(grid.pages)
            .arg(ms(grid.pageMaxMs))
            .arg(thousands(grid.rowReached)) });
    rows.push_back(
        { n, QStringLiteral("grid: memory"), QStringLiteral("%1 KB").arg(grid.gridBytes / 1024, 0, 'f', 0),
            QStringLiteral("-"), QStringLiteral("resident growth: grid shown and paged") });
}

void printTable(const std::vector<Row> &rows)
{
    const QStringList heads { QStringLiteral("songs"), QStringLiteral("metric"), QStringLiteral("value"),
        QStringLiteral("goal"), QStringLiteral("ratio / verdict") };
    int widths[4];
    for (int c = 0; c < 4; ++c)
        widths[c] = int(heads[c].size());
    for (const Row &row : rows) {
        const QString cells[4] = { row.songs, row.metric, row.value, row.goal };
        for (int c = 0; c < 4; ++c)
            widths[c] = std::max(widths[c], int(cells[c].size()));
    }
    auto line = [&](const QString(&cells)[5]) {
        QString text = cells[0].rightJustified(widths[0]);
        for (int c = 1; c < 4; ++c)
            text += QStringLiteral("  ")
                + (c == 2 ? cells[c].rightJustified(widths[c]) : cells[c].leftJustified(widths[c]));
        text += QStringLiteral("  ") + cells[4];
        std::printf("%s\n", text.toUtf8().constData());
    };
    line({ heads[0], heads[1], heads[2], heads[3], heads[4] });
    for (const Row &row : rows)
        line({ row.songs, row.metric, row.value, row.goal, row.verdict });
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 5 && QByteArray(argv[1]) == "--grid-child")
        return BenchGrid::childMain(1, argv, { argv[2], argv[3] }, QByteArray(argv[4]).toInt());
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr,
            "usage: bench_scan --libs ROOT [--sizes 1000,10000,100000] [--runs K] [--pages P] [--no-cold] "
            "[--grid-size N]\n");
        return 2;
    }
    double load[3] = { 0, 0, 0 };
    const int loads = ::getloadavg(load, 3);
    std::vector<Row> rows;
    std::sort(options.sizes.begin(), options.sizes.end());
    for (const int size : options.sizes)
        scanRows(options, size, rows);
    gridRows(options, rows);
    std::printf("\n%ld CPUs, load average %.2f at start; each floor is measured in the same run.\n",
        ::sysconf(_SC_NPROCESSORS_ONLN), loads > 0 ? load[0] : 0.0);
    printTable(rows);
    return 0;
}
