// What a user feels when Discora starts on a large music folder: the real
// binary (offscreen) from exec until it is first idle after its first full
// scan, minus the same for an empty music folder, next to a one-thread POSIX
// floor that lists the folder, stats every song and reads every song
// information file found ignoring letter case; and the resident memory the
// songs add. The three are measured in turns in one run, so a busy machine
// slows them alike.
//
//   bench_start --binary DISCORA --libs ROOT [--sizes 100000] [--runs K] [--busy]
//
// ROOT/songs-N holds the library of N songs, as generate_library makes it.
// --busy measures everything twice: as the machine is, and with one more
// process keeping a core busy.

#include "FloorScan.h"
#include "ProgramStart.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace
{

// The line the program logs once it is idle after its first full scan.
const char *const IdleLine = "idle after the first full scan: ";
const char *const IndexLine = "index of the songs matched";

// exec until idle, then memory once the index of the songs is matched
// behind the scan, which frees what it read.
ProgramStart::Run runOnce(const ProgramStart::Setup &setup)
{
    return ProgramStart::run(setup, { { IdleLine } }, IndexLine);
}

bool measure(const ProgramStart::Options &options, int size, const char *load, const std::string &work)
{
    const std::string lib = options.root + "/songs-" + std::to_string(size);
    const ProgramStart::Setup full
        = ProgramStart::prepare(work + "/full", options.binary, lib + "/music", lib + "/info");
    std::filesystem::create_directories(work + "/empty-music");
    const ProgramStart::Setup empty = ProgramStart::prepare(
        work + "/empty", options.binary, work + "/empty-music", work + "/empty-music");

    // One untimed round brings the folders and the binary into the caches.
    const FloorScan::Result warm = FloorScan::runCaseless(lib + "/music", lib + "/info");
    runOnce(full);
    runOnce(empty);

    std::vector<double> floors, starts, emptyStarts, rss, emptyRss, cpu, emptyCpu, main, emptyMain;
    long listed = -1;
    for (int i = 0; i < options.runs; ++i) {
        floors.push_back(FloorScan::runCaseless(lib + "/music", lib + "/info").ms);
        const ProgramStart::Run a = runOnce(full);
        const ProgramStart::Run b = runOnce(empty);
        if (!a.ok || !b.ok) {
            std::printf("%d songs: the program failed: %s\n", size, (a.ok ? b : a).error.c_str());
            return false;
        }
        starts.push_back(a.ms[0]);
        emptyStarts.push_back(b.ms[0]);
        rss.push_back(a.rssBytes);
        emptyRss.push_back(b.rssBytes);
        cpu.push_back(a.cpuMs);
        emptyCpu.push_back(b.cpuMs);
        main.push_back(a.mainMs);
        emptyMain.push_back(b.mainMs);
        listed = a.songs;
    }
    const double floor = FloorScan::median(floors);
    const double perSong = (FloorScan::median(rss) - FloorScan::median(emptyRss)) / double(size);
    std::printf("%7d  %-9s  %8.1f ms  %8.1f ms  %8.1f ms  %5.2fx  %6.0f B/song  %7.0f ms  %7.0f ms  %s\n",
        size, load, FloorScan::median(starts), FloorScan::median(emptyStarts), floor,
        ProgramStart::medianRatio(starts, emptyStarts, floors), perSong,
        FloorScan::median(cpu) - FloorScan::median(emptyCpu),
        FloorScan::median(main) - FloorScan::median(emptyMain),
        listed == long(warm.songs) ? "" : "LISTED SONGS DIFFER");
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    ProgramStart::Options options;
    if (!ProgramStart::parseOptions(argc, argv, options)) {
        std::fprintf(
            stderr, "usage: bench_start --binary DISCORA --libs ROOT [--sizes 100000] [--runs K] [--busy]\n");
        return 2;
    }
    const std::string work = ProgramStart::makeWorkFolder(options.runs);
    if (work.empty())
        return 1;
    std::printf("  songs  load       start       empty       floor      ratio  memory        processor  main "
                "thread\n");
    const bool ok = ProgramStart::measureSizes(options,
        [&options, &work](int size, const char *load) { return measure(options, size, load, work); });
    std::printf("ratio: (start - empty) / floor, the median of each round's own; goals: <= 0.8x idle, <= "
                "1.2x with a core busy, < 600 "
                "B/song\nprocessor: time of all threads, main thread: of the main thread alone, both beyond "
                "the empty folder's (less disturbed by a busy machine than the clock)\n");
    std::filesystem::remove_all(work);
    return ok ? 0 : 1;
}
