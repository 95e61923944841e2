// The reference floor on its own: how long plain POSIX calls take to list,
// sort and stat the songs of a music folder and read its song information
// files, as the median of several runs.
//
//   floor MUSIC_FOLDER INFO_FOLDER [RUNS]

#include "FloorScan.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: floor MUSIC_FOLDER INFO_FOLDER [RUNS]\n");
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
