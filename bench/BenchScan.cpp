#include "BenchScan.h"

#include "Catalogue.h"
#include "FloorScan.h"
#include "OpenFileSet.h"
#include "SongList.h"

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace BenchScan
{

namespace
{

struct Timed {
    double ms = 0;
    double firstRowsMs = -1;
    int songs = 0;
};

// One full scan on a fresh song list; building and freeing the list is not
// part of the time.
Timed timeFullScan(const Library &library, const QByteArray &indexPath = QByteArray())
{
    auto songs = std::make_unique<TSongList>();
    auto catalogue = std::make_unique<TCatalogue>(*songs);
    catalogue->setFolders(library.music, library.info);
    catalogue->setIndexPath(indexPath);
    Timed timed;
    TCatalogue::Hooks hooks;
    double start = 0;
    hooks.yield = [&] { timed.firstRowsMs = FloorScan::nowMs() - start; };
    start = FloorScan::nowMs();
    catalogue->RefreshList(true, hooks);
    timed.ms = FloorScan::nowMs() - start;
    timed.songs = catalogue->files().count();
    return timed;
}

double lightFloor(const Library &library, const std::vector<std::string> &songs)
{
    const int dirFd = ::open(library.music.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const double start = FloorScan::nowMs();
    [[maybe_unused]] const OpenFileSet held = OpenFileSet::sweep(library.music);
    FloorScan::statSongs(dirFd, songs);
    const double ms = FloorScan::nowMs() - start;
    ::close(dirFd);
    return ms;
}

} // namespace

FullScan measureFull(const Library &library, int runs)
{
    // One untimed round brings the folders into the page cache.
    FloorScan::run(library.music.toStdString(), library.info.toStdString());
    timeFullScan(library);

    // With the index kept, in turn with the plain scans: one untimed scan
    // writes it first.
    QTemporaryDir kept;
    const QByteArray indexPath = QFile::encodeName(kept.filePath(QStringLiteral("bench.IDX")));
    timeFullScan(library, indexPath);
    std::vector<double> scans, floors, firstRows, indexedScans;
    FullScan result;
    for (int i = 0; i < runs; ++i) {
        const FloorScan::Result floor
            = FloorScan::run(library.music.toStdString(), library.info.toStdString());
        floors.push_back(floor.ms);
        result.floorSongs = floor.songs;
        const Timed scan = timeFullScan(library);
        scans.push_back(scan.ms);
        indexedScans.push_back(timeFullScan(library, indexPath).ms);
        if (scan.firstRowsMs >= 0)
            firstRows.push_back(scan.firstRowsMs);
        result.songs = scan.songs;
    }
    std::vector<double> lists, indexes, sweeps, floorLists;
    for (int i = 0; i < runs; ++i) {
        double start = FloorScan::nowMs();
        FloorScan::listSongs(library.music.toStdString());
        floorLists.push_back(FloorScan::nowMs() - start);
        start = FloorScan::nowMs();
        TFileList files;
        files.reread(library.music);
        lists.push_back(FloorScan::nowMs() - start);
        start = FloorScan::nowMs();
        SongInfo::Locator locator(library.info);
        locator.index();
        indexes.push_back(FloorScan::nowMs() - start);
        start = FloorScan::nowMs();
        [[maybe_unused]] const OpenFileSet held = OpenFileSet::sweep(library.music);
        sweeps.push_back(FloorScan::nowMs() - start);
    }
    result.listMs = FloorScan::median(lists);
    result.indexMs = FloorScan::median(indexes);
    result.sweepMs = FloorScan::median(sweeps);
    result.floorListMs = FloorScan::median(floorLists);
    result.scanMs = FloorScan::median(scans);
    result.keptIndexMs = FloorScan::median(indexedScans);
    result.floorMs = FloorScan::median(floors);
    result.firstRowsMs = firstRows.empty() ? -1 : FloorScan::median(firstRows);
    return result;
}

LightScan measureLight(const Library &library, int runs)
{
    TSongList songs;
    TCatalogue catalogue(songs);
    catalogue.setFolders(library.music, library.info);
    catalogue.RefreshList(true);
    const std::vector<std::string> names = FloorScan::listSongs(library.music.toStdString());
    lightFloor(library, names);
    catalogue.RefreshList(false);

    std::vector<double> scans, floors;
    for (int i = 0; i < runs; ++i) {
        floors.push_back(lightFloor(library, names));
        const double start = FloorScan::nowMs();
        catalogue.RefreshList(false);
        scans.push_back(FloorScan::nowMs() - start);
    }
    return { FloorScan::median(scans), FloorScan::median(floors) };
}

bool dropCaches(QString &why)
{
    std::string reason;
    const bool dropped = FloorScan::dropCaches(reason);
    why = QString::fromLocal8Bit(reason);
    return dropped;
}

ColdScan measureCold(const Library &library)
{
    ColdScan result;
    if (!dropCaches(result.why))
        return result;
    result.floorMs = FloorScan::run(library.music.toStdString(), library.info.toStdString()).ms;
    if (!dropCaches(result.why))
        return result;
    const Timed scan = timeFullScan(library);
    result.scanMs = scan.ms;
    result.firstRowsMs = scan.firstRowsMs;
    result.done = true;
    return result;
}

} // namespace BenchScan
