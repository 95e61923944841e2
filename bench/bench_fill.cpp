// Filling song information from the song files, against its floor: how many
// songs a second FillSongInfo(FileValuesOf(song)) fills into an information
// folder that has no file yet (each made whole in the details dialog's
// layout, with the song's tags and length), next to writing the very same
// files, atomically, with no tag read; medians of several runs.
//
//   bench_fill --lib DIR [--songs N] [--runs K]
//
// DIR is a library made by generate_tree (its first N songs of DIR/music,
// 10,000 by default, are filled); the files go to DIR/fill-info, removed
// again at the end. The tree library's tag cache holds no songwriter, label,
// barcode or lyrics, so every song's file is read: the cache spares nothing.
//
//   build/bench/generate_tree --songs 10000 --out /tmp/tree-10000
//   build/bench/bench_fill --lib /tmp/tree-10000

#include "FileValues.h"
#include "FileWrite.h"
#include "FloorScan.h"

#include <QByteArray>
#include <QDate>
#include <QDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    std::string lib;
    int runs = 3;
    size_t wanted = 10000;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--lib") == 0 && i + 1 < argc)
            lib = argv[++i];
        else if (std::strcmp(argv[i], "--songs") == 0 && i + 1 < argc)
            wanted = size_t(std::max(1, std::atoi(argv[++i])));
        else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else
            lib.clear(), i = argc;
    }
    if (lib.empty()) {
        std::fprintf(stderr, "usage: bench_fill --lib DIR [--songs N] [--runs K]\n");
        return 2;
    }
    const QByteArray music = QByteArray::fromStdString(lib + "/music/");
    const QByteArray info = QByteArray::fromStdString(lib + "/fill-info/");
    std::vector<std::string> listed = FloorScan::listTree(lib + "/music");
    listed.resize(std::min(listed.size(), wanted));
    // Each song's path and its information file's: the path below the
    // music folder with ".INI" for its extension, as a tree library names it.
    std::vector<std::pair<QByteArray, QByteArray>> songs;
    for (const std::string &song : listed) {
        const QByteArray relative = QByteArray::fromStdString(song);
        songs.push_back({ music + relative, info + relative.first(relative.lastIndexOf('.')) + ".INI" });
    }
    const auto clear = [&] { return QDir(QFile::decodeName(info)).removeRecursively(); };
    const QDate today = QDate::currentDate();
    const double fillMs = FloorScan::timedRuns(runs, clear, [&] {
        for (const auto &[song, infoFile] : songs)
            FillSongInfo(infoFile, FileValuesOf(song), today);
    });
    // What the fill wrote, to be written again with no tag read.
    std::vector<QByteArray> written(songs.size());
    for (size_t i = 0; i < songs.size(); ++i)
        ReadWholeFile(songs[i].second, written[i]);
    const double floorMs = FloorScan::timedRuns(runs, clear, [&] {
        for (size_t i = 0; i < songs.size(); ++i) {
            QDir().mkpath(QFileInfo(QFile::decodeName(songs[i].second)).absolutePath());
            WriteFileAtomic(songs[i].second, written[i]);
        }
    });
    clear();

    const auto perSecond = [](size_t n, double ms) { return ms > 0 ? double(n) * 1000 / ms : 0.0; };
    std::printf("filling %zu songs, no information file yet, median of %d runs:\n", songs.size(), runs);
    std::printf("  fill (tags read, files made)   %9.1f ms  %8.0f songs/s\n", fillMs,
        perSecond(songs.size(), fillMs));
    std::printf("  floor (same files, no tags)    %9.1f ms  %8.0f songs/s\n", floorMs,
        perSecond(songs.size(), floorMs));
    return 0;
}
