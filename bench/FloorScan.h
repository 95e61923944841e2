#pragma once
// The reference floor a folder scan is held against: the least work any scan
// of the folder must do, written with plain POSIX calls on one thread.
// List the folder, keep the "*.mp3" names, sort them ignoring letter case,
// stat each song and read each song information file whole.

#include <string>
#include <vector>

namespace FloorScan
{

struct Result {
    double ms = 0; // wall time of the whole floor
    size_t songs = 0; // songs listed
    size_t infoFiles = 0; // song information files read
    size_t infoBytes = 0; // bytes read from them
};

// Regular, visible files whose name ends in ".mp3" (any case), sorted with
// strcasecmp; the names carry no folder.
std::vector<std::string> listSongs(const std::string &musicFolder);
// Stats each song relative to the open folder; returns how many exist.
size_t statSongs(int musicDirFd, const std::vector<std::string> &songs);
// The whole floor, timed.
Result run(const std::string &musicFolder, const std::string &infoFolder);
// The same, but the song information files are found ignoring letter case,
// as the program finds them: the information folder is listed too, and each
// song's ".INI" name is looked up among those names, folded to lower case.
Result runCaseless(const std::string &musicFolder, const std::string &infoFolder);

// Milliseconds on the monotonic clock.
double nowMs();
// The median of a benchmark's runs (0 for none).
double median(std::vector<double> values);

} // namespace FloorScan
