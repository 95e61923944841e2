#include "BenchGrid.h"

#include "Catalogue.h"
#include "FloorScan.h"
#include "MusicGrid.h"
#include "PlayedList.h"
#include "SongList.h"

#include <QApplication>
#include <QProcess>
#include <QScrollBar>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <memory>
#include <unistd.h>

namespace BenchGrid
{

namespace
{

// Resident set size in bytes, after handing free heap pages back.
double residentBytes()
{
    ::malloc_trim(0);
    long pages = 0, resident = 0;
    if (FILE *statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return double(resident) * double(::sysconf(_SC_PAGESIZE));
}

int measure(int argc, char **argv, const BenchScan::Library &library, int pages);

} // namespace

int childMain(int argc, char **argv, const BenchScan::Library &library, int pages)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt wants a private runtime folder; a root shell often has none.
    char runtime[] = "/tmp/bench_scan-XXXXXX";
    const bool ownRuntime = qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && ::mkdtemp(runtime);
    if (ownRuntime)
        qputenv("XDG_RUNTIME_DIR", runtime);
    const int status = measure(argc, argv, library, pages);
    if (ownRuntime)
        ::rmdir(runtime);
    return status;
}

namespace
{

// The measurements themselves, with the environment set up.
int measure(int argc, char **argv, const BenchScan::Library &library, int pages)
{
    QApplication app(argc, argv);

    // The song list: from empty to filled by a full scan.
    const double empty = residentBytes();
    auto songs = std::make_unique<TSongList>();
    auto catalogue = std::make_unique<TCatalogue>(*songs);
    catalogue->setFolders(library.music, library.info);
    catalogue->RefreshList(true);
    const int count = catalogue->files().count();
    const double withCatalogue = residentBytes();
    catalogue.reset();
    const double listOnly = residentBytes();
    std::printf("songs %d\n", count);
    std::printf("catalogue_bytes_per_song %.1f\n", (withCatalogue - empty) / std::max(count, 1));
    std::printf("list_bytes_per_song %.1f\n", (listOnly - empty) / std::max(count, 1));

    // The grid over it, shown at its window size and paged through. A grid
    // over an empty list is shown and painted first, so that fonts, style
    // and window surfaces, which any window loads once, are not counted.
    const TPlayedList played;
    {
        TSongList none;
        TMusicGrid warmUp(&none, &played, nullptr);
        warmUp.resize(664, 292);
        warmUp.show();
        if (QTest::qWaitForWindowExposed(&warmUp))
            warmUp.viewport()->repaint();
        QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();
    const double beforeGrid = residentBytes();
    double start = FloorScan::nowMs();
    auto grid = std::make_unique<TMusicGrid>(songs.get(), &played, nullptr);
    grid->resize(664, 292);
    grid->show();
    if (!QTest::qWaitForWindowExposed(grid.get())) {
        std::printf("error grid window was not exposed\n");
        return 1;
    }
    grid->setRow(1);
    grid->viewport()->repaint();
    QCoreApplication::processEvents();
    std::printf("first_paint_ms %.3f\n", FloorScan::nowMs() - start);

    std::vector<double> times;
    for (int i = 0; i < pages; ++i) {
        start = FloorScan::nowMs();
        QTest::keyClick(grid.get(), Qt::Key_PageDown);
        QCoreApplication::processEvents();
        grid->viewport()->repaint();
        times.push_back(FloorScan::nowMs() - start);
    }
    std::printf("pages %d\n", pages);
    std::printf("page_ms %.3f\n", FloorScan::median(times));
    std::printf("page_max_ms %.3f\n", times.empty() ? 0.0 : *std::max_element(times.begin(), times.end()));
    std::printf("row_reached %d\n", grid->Row());
    std::printf("grid_bytes %.0f\n", residentBytes() - beforeGrid);
    std::fflush(stdout);
    return 0;
}

} // namespace

Result run(const BenchScan::Library &library, int pages)
{
    Result result;
    char self[4096];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        result.error = QStringLiteral("cannot find this program's own file");
        return result;
    }
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QString::fromLocal8Bit(self, length),
        { QStringLiteral("--grid-child"), QString::fromLocal8Bit(library.music),
            QString::fromLocal8Bit(library.info), QString::number(pages) });
    if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
        result.error = QStringLiteral("the grid process failed (exit code %1)").arg(child.exitCode());
        return result;
    }
    for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() < 2)
            continue;
        const QByteArray &key = parts[0];
        const double value = parts[1].toDouble();
        if (key == "songs")
            result.songs = int(value);
        else if (key == "list_bytes_per_song")
            result.listBytesPerSong = value;
        else if (key == "catalogue_bytes_per_song")
            result.catalogueBytesPerSong = value;
        else if (key == "first_paint_ms")
            result.firstPaintMs = value;
        else if (key == "page_ms")
            result.pageMs = value;
        else if (key == "page_max_ms")
            result.pageMaxMs = value;
        else if (key == "pages")
            result.pages = int(value);
        else if (key == "row_reached")
            result.rowReached = int(value);
        else if (key == "grid_bytes")
            result.gridBytes = value;
    }
    result.ok = result.songs > 0;
    if (!result.ok)
        result.error = QStringLiteral("the grid process reported nothing");
    return result;
}

} // namespace BenchGrid
