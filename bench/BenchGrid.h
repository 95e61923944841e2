#pragma once
// Memory of the song list and the song grid's paging, measured in a process
// of their own so that no earlier scan's freed heap hides the growth.

#include "BenchScan.h"

namespace BenchGrid
{

// Runs in the child process: a full scan of library, then the grid over it.
// Prints "key value" lines on standard output for the parent to read.
int childMain(int argc, char **argv, const BenchScan::Library &library, int pages);

struct Result {
    bool ok = false;
    QString error;
    int songs = 0;
    double listBytesPerSong = 0; // song list alone, resident growth per song
    double catalogueBytesPerSong = 0; // song list with the catalogue's own lists
    double firstPaintMs = 0; // showing the grid and painting it once
    double pageMs = 0; // median per page: PageDown and a repaint
    double pageMaxMs = 0;
    int pages = 0;
    int rowReached = 0; // selected row after paging (program numbering)
    double gridBytes = 0; // resident growth of the shown, paged grid
};

// Starts this program again as the child and reads what it measured.
Result run(const BenchScan::Library &library, int pages);

} // namespace BenchGrid
