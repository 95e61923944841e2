#pragma once
// The real program started from outside, as the start-up benchmarks run it:
// a copy of the binary beside a settings file of our own, started offscreen
// with the "discora.start" debug lines on, timed from exec until the lines
// it logs, and its memory and processor time read from /proc.

#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace ProgramStart
{

// A folder holding a copy of the binary and its settings file: the program
// reads its settings beside its own file (and keeps its other files there).
struct Setup {
    std::string folder;
    std::string exe;
};

// Copies binary into folder (made if missing) and writes the settings:
// section [MP3] with the music and information folders, then the lines of
// more (each "Key=Value").
Setup prepare(const std::string &folder, const std::string &binary, const std::string &music,
    const std::string &info, const std::vector<std::string> &more = {});

// A line the program logs, waited for: its text (matched once the whole
// line is in), and whether it must come after the line waited for before it
// in the list (else it may come anywhere in the log).
struct Wait {
    std::string text;
    bool afterPrevious = false;
};

struct Run {
    bool ok = false;
    std::string error;
    std::vector<double> ms; // exec until each line waited for, in the list's order
    long songs = -1; // the number after the first line waited for, if any
    double rssBytes = 0; // resident set size at the end
    double anonBytes = 0; // the part of it no file backs (heaps, stacks)
    double cpuMs = 0; // processor time of all its threads until the end
    double mainMs = 0; // processor time of its main thread until the end
};

// Starts setup's program offscreen and waits (5 minutes at most) until it
// has logged every line of waits; then, when memoryAfter is not empty,
// waits up to 10 s more for that line, and with whenIdle until its window
// is idle (see waitIdle), reads memory and processor time, and kills the
// program.
Run run(const Setup &setup, const std::vector<Wait> &waits, const std::string &memoryAfter = {},
    bool whenIdle = false);

// Waits until pid has used no more than 10 ms of processor in 200 ms, all
// its threads together (the window waits for events, and the work behind
// the last scan, such as matching the index, is done: what they hand back
// is handed back), 10 s at most.
void waitIdle(pid_t pid);

// Resident memory from /proc/PID/smaps_rollup, in bytes.
double residentBytes(pid_t pid);
// Of that, the pages no file backs ("Anonymous:"), in bytes: heaps and
// stacks, without the pages of the program's files.
double anonymousBytes(pid_t pid);
// Processor time of the whole process (all threads, ended ones included),
// and of its main thread alone, in ms.
double processCpuMs(pid_t pid);
double mainThreadCpuMs(pid_t pid);

// The median of each round's own ratio of (start - empty) to its floor:
// each round's figures are taken close together, under the same load.
double medianRatio(
    const std::vector<double> &starts, const std::vector<double> &empties, const std::vector<double> &floors);

// What every start-up benchmark is told.
struct Options {
    std::string binary;
    std::string root; // the libraries' folder
    std::vector<int> sizes { 100000 };
    int runs = 7;
    bool busy = false; // again with one more core kept busy
};
// --binary, --libs, --sizes N,N, --runs K and --busy; any other option with
// a value goes to other, which says whether it knows it. False on a bad or
// missing argument.
bool parseOptions(int argc, char **argv, Options &options,
    const std::function<bool(const std::string &name, const char *value)> &other = {});

// A fresh folder in /tmp for the programs' copies, also made their runtime
// folder, after printing "N CPUs, load average L at start, medians of K
// runs"; empty on failure (said on stderr).
std::string makeWorkFolder(int runs);
// Calls measure for every size of options, as the machine is and, with
// --busy, again while a child process keeps one more core busy; false when
// any call was.
bool measureSizes(const Options &options, const std::function<bool(int size, const char *load)> &measure);

} // namespace ProgramStart
