#pragma once
// What the sources of plays hold, as one value: each source reports its own
// part and a scan takes the union when it starts. The scan then decides which
// listed songs are held (see TCatalogue) and applies its rules to them.

#include "OpenFileSet.h"

#include <QByteArray>
#include <QHash>

#include <functional>
#include <vector>

struct TPlayReport {
    // Files held open, by identity (the sweep of /proc finds them so).
    OpenFileSet files;
    // Raw paths of held files as the players name them; a path the Documents
    // portal lends a sandbox counts once the portal says whose file it is.
    std::vector<QByteArray> paths;
    // Paths below a player's own music folder whose place on this machine
    // the player does not tell (MPD over TCP).
    std::vector<QByteArray> tails;
    // The folder on this machine of each document (by its ID) the Documents
    // portal lends to sandboxes, as far as known.
    QHash<QByteArray, QByteArray> documents;

    // Adds what another source reports.
    void merge(TPlayReport other);
};

// Where a scan looks for held songs: its folders (the music folder and the
// folders its songs link to), and which file names are listed songs (a
// song held under another path keeps its name).
struct TPlayScope {
    std::vector<QByteArray> folders;
    OpenFileSet::NameFilter listedName;
};

// What a scan takes from the sources when it starts, as a value it may carry
// to another thread: what they reported, and the looks they take at the
// system at the scan itself (the sweep of /proc), which run on the scan's
// thread and add to the report.
struct TPlayInput {
    TPlayReport reported;
    std::vector<std::function<void(const TPlayScope &, TPlayReport &)>> sweeps;

    // The report of a scan in scope: what was reported plus every sweep's.
    TPlayReport sweep(const TPlayScope &scope) const;
};

// The sweep of /proc for the files other programs hold open in scope (see
// OpenFileSet); files held under a path the Documents portal lends a sandbox
// go into the report's paths, for the portal to place.
void SweepOpenFiles(const TPlayScope &scope, TPlayReport &report);
