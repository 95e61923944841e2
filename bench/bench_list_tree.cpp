// The tree listing against its floor: how long TFileList::rereadTree() takes
// to list and sort every song below a music folder, next to the floor's
// plain POSIX listing of the same tree, and how long the count that tells
// the library's kind takes with its cap; medians of several runs.
//
//   bench_list_tree --lib DIR [--runs K] [--cold]
//
// DIR is a library made by generate_tree (DIR/music is listed). --cold drops
// the page cache before each run (root only).

#include "FileList.h"
#include "FloorScan.h"
#include "LibraryKind.h"

#include <QByteArray>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace
{

// The median milliseconds of runs of work, the page cache dropped before
// each when cold; -1 when it cannot be dropped.
double timed(int runs, bool cold, const std::function<void()> &work)
{
    return FloorScan::timedRuns(
        runs,
        [&] {
            std::string why;
            if (!cold || FloorScan::dropCaches(why))
                return true;
            std::fprintf(stderr, "bench_list_tree: %s\n", why.c_str());
            return false;
        },
        work);
}

} // namespace

int main(int argc, char **argv)
{
    std::string lib;
    int runs = 5;
    bool cold = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--lib") == 0 && i + 1 < argc)
            lib = argv[++i];
        else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--cold") == 0)
            cold = true;
        else
            lib.clear(), i = argc;
    }
    if (lib.empty()) {
        std::fprintf(stderr, "usage: bench_list_tree --lib DIR [--runs K] [--cold]\n");
        return 2;
    }
    const std::string music = lib + "/music";
    const QByteArray folder = QByteArray::fromStdString(music);

    size_t floorSongs = 0;
    const double floorMs = timed(runs, cold, [&] { floorSongs = FloorScan::listTree(music).size(); });
    TFileList files;
    const double listMs = timed(runs, cold, [&] { files.rereadTree(folder); });
    LibraryKindCount count;
    const double countMs = timed(runs, cold, [&] { count = CountLibraryKind(folder); });
    if (floorMs < 0 || listMs < 0 || countMs < 0)
        return 1;

    const auto perSecond = [](size_t songs, double ms) { return ms > 0 ? double(songs) * 1000 / ms : 0.0; };
    std::printf("tree listing (%s), median of %d runs:\n", cold ? "cold" : "warm", runs);
    std::printf("  floor       %7zu songs %9.1f ms %10.0f songs/s\n", floorSongs, floorMs,
        perSecond(floorSongs, floorMs));
    std::printf(
        "  rereadTree  %7d songs %9.1f ms %10.0f songs/s  (%.2f x the floor, %d unreadable folders)\n",
        files.count(), listMs, perSecond(size_t(files.count()), listMs), floorMs > 0 ? listMs / floorMs : 0.0,
        files.unreadableFolders());
    std::printf("  kind count  %7d songs %9.1f ms  (%d beyond a folder library%s)\n", count.songs, countMs,
        count.beyondFolder, count.capped ? ", stopped at the cap" : "");
    return floorSongs == size_t(files.count()) ? 0 : 1;
}
