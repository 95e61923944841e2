#pragma once
// The reference floors scans are held against: the least work any scan must
// do, written with plain POSIX calls. A folder library: list the folder, keep
// the "*.mp3" names, sort them ignoring letter case, stat each song and read
// each song information file whole, on one thread. The first start of a tree
// library: list every song below the folder, sort the paths, and read the
// start of every song (where its tags are) with as many threads as the
// program uses.

#include <functional>
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

struct TreeResult {
    double ms = 0; // wall time of the whole floor
    double listMs = 0; // of it, listing and sorting
    size_t songs = 0; // songs listed
    size_t bytes = 0; // bytes read from them
};

// The bytes of each song a tree floor reads: its tags, at the start.
constexpr size_t TreeReadBytes = 64 * 1024;

// A song's name in a tree: an audio extension (mp3, flac, ogg, oga, opus,
// m4a; any case), not a dot-name.
bool isAudioName(const char *name, size_t length);

// Regular files and links to them, below musicFolder, with an audio
// extension (mp3, flac, ogg, oga, opus, m4a; any case), dot-names and
// dot-folders left out, folders behind links followed (the floor assumes no
// loops); paths below the folder, sorted with strcasecmp.
std::vector<std::string> listTree(const std::string &musicFolder);
// The tree floor, timed: listTree(), then the first TreeReadBytes of every
// song read by threads threads, each taking the next few songs in turn.
TreeResult runTree(const std::string &musicFolder, int threads);

// Writes back dirty pages and drops the page, dentry and inode caches (root
// only), so the next run reads from the disk; false with the reason when the
// system does not let us.
bool dropCaches(std::string &why);

// Milliseconds on the monotonic clock.
double nowMs();
// The median of a benchmark's runs (0 for none).
double median(std::vector<double> values);
// The median milliseconds of runs of work, each after prepare (not timed);
// -1 when prepare fails.
double timedRuns(int runs, const std::function<bool()> &prepare, const std::function<void()> &work);

} // namespace FloorScan
