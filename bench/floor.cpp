// The reference floors on their own, as the median of several runs: how long
// plain POSIX calls take to list, sort and stat the songs of a music folder
// and read its song information files; or, for a tree library's first start,
// to list every song below the folder and read the start of each with the
// program's threads.
//
//   floor MUSIC_FOLDER INFO_FOLDER [RUNS]
//   floor --tree MUSIC_FOLDER [--threads T] [--runs K] [--cold]
//
// --threads defaults to the 8 threads the scan reads songs with; --cold drops
// the page cache before each run (root only).

#include "FloorScan.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{

int treeFloor(int argc, char **argv)
{
    std::string folder;
    int threads = 8;
    int runs = 5;
    bool cold = false;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--threads" && i + 1 < argc)
            threads = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--cold")
            cold = true;
        else if (folder.empty() && arg[0] != '-')
            folder = arg;
        else
            folder.clear(), i = argc;
    }
    if (folder.empty()) {
        std::fprintf(stderr, "usage: floor --tree MUSIC_FOLDER [--threads T] [--runs K] [--cold]\n");
        return 2;
    }
    std::vector<double> lists, wholes;
    FloorScan::TreeResult last;
    for (int i = 0; i < runs; ++i) {
        std::string why;
        if (cold && !FloorScan::dropCaches(why)) {
            std::fprintf(stderr, "floor: %s\n", why.c_str());
            return 1;
        }
        last = FloorScan::runTree(folder, threads);
        lists.push_back(last.listMs);
        wholes.push_back(last.ms);
    }
    const double whole = FloorScan::median(wholes);
    std::printf("tree floor (%s, %d threads): %zu songs, %.1f MB read: list %.1f ms, list and read %.1f ms "
                "(%.0f songs/s), median of %d runs\n",
        cold ? "cold" : "warm", threads, last.songs, double(last.bytes) / 1e6, FloorScan::median(lists),
        whole, whole > 0 ? double(last.songs) * 1000 / whole : 0.0, runs);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--tree") == 0)
        return treeFloor(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr,
            "usage: floor MUSIC_FOLDER INFO_FOLDER [RUNS]\n"
            "       floor --tree MUSIC_FOLDER [--threads T] [--runs K] [--cold]\n");
        return 2;
    }
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    std::vector<double> times;
    FloorScan::Result last;
    for (int i = 0; i < runs; ++i) {
        last = FloorScan::run(argv[1], argv[2]);
        times.push_back(last.ms);
    }
    std::sort(times.begin(), times.end());
    std::printf("floor: %zu songs, %zu song information files (%zu bytes): median %.1f ms of %d runs (min "
                "%.1f, max %.1f)\n",
        last.songs, last.infoFiles, last.infoBytes, times[times.size() / 2], runs, times.front(),
        times.back());
    return 0;
}
