#pragma once
// Tells a player from a reader. A player holds its song open for as long as
// it plays; a desktop indexer, a thumbnailer or a backup reads every file of
// the folder and holds each for milliseconds. A file counts as playing only
// once it was held open at two sweeps at least a confirmation delay apart,
// and without a sweep in between that found it closed.
//
// A plain value: a light scan's probe, on another thread, works on a copy
// of the list's, which the list takes back with the probe's results.

#include "OpenFileSet.h"

#include <chrono>
#include <unordered_map>

class THeldSongs
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds DefaultDelay { 1000 };

    // 0 makes every file held at a sweep count at once.
    void setDelay(std::chrono::milliseconds delay);
    std::chrono::milliseconds delay() const;

    // Takes the files held open at a sweep made at time sweptAt and gives
    // those that count as playing.
    OpenFileSet confirm(const OpenFileSet &heldNow, Clock::time_point sweptAt = Clock::now());
    // How long from now until a file held at the last sweep but not yet
    // confirmed could be: a sweep then decides. -1 when none waits.
    int confirmDueMs(Clock::time_point now = Clock::now()) const;

private:
    using Key = OpenFileSet::Key;
    using KeyHash = OpenFileSet::KeyHash;

    std::chrono::milliseconds m_delay = DefaultDelay;
    // Every file held at the last sweep, with the sweep that first saw it.
    std::unordered_map<Key, Clock::time_point, KeyHash> m_firstSeen;
    // The earliest time one of them that is not confirmed yet can be.
    Clock::time_point m_due = Clock::time_point::max();
};
