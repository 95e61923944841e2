#pragma once
// Scan measurements for one synthetic library: the catalogue's full and
// light scans, each timed against its floor in the same run, alternating
// so that a busy machine slows both alike.

#include <QByteArray>
#include <QString>
#include <vector>

namespace BenchScan
{

struct Library {
    QByteArray music; // folder of the songs
    QByteArray info; // folder of the song information files
};

struct FullScan {
    double scanMs = 0; // median RefreshList(true) on a fresh song list
    double floorMs = 0; // median floor of the same run
    double firstRowsMs = -1; // median time from the call to the early-rows hook; -1 never called
    int songs = 0; // rows the scan filled
    size_t floorSongs = 0;
    // The steps a full scan takes before its first rows, each timed alone
    // (medians): listing the music folder, indexing the information folder,
    // sweeping /proc; and the floor's own listing and sort to compare.
    double listMs = 0, indexMs = 0, sweepMs = 0, floorListMs = 0;
    // The same full scan with the index of the listed songs read before and
    // written after it, as the program keeps it to follow renamed songs.
    double keptIndexMs = 0;
};
FullScan measureFull(const Library &library, int runs);

struct LightScan {
    double scanMs = 0; // median RefreshList(false) after a full scan
    double floorMs = 0; // median of "stat every song + one sweep of /proc"
};
LightScan measureLight(const Library &library, int runs);

struct ColdScan {
    bool done = false;
    QString why; // why it was skipped
    double scanMs = 0;
    double floorMs = 0;
    double firstRowsMs = -1;
};
// Drops the page cache before each of one floor and one full scan.
ColdScan measureCold(const Library &library);

// FloorScan::dropCaches().
bool dropCaches(QString &why);

} // namespace BenchScan
