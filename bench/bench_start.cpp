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

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace
{

// The line the program logs once it is idle after its first full scan.
const char *const IdleLine = "idle after the first full scan: ";
const char *const IndexLine = "index of the songs matched";

struct Options {
    std::string binary;
    std::string root;
    std::vector<int> sizes { 100000 };
    int runs = 7;
    bool busy = false;
};

struct Start {
    bool ok = false;
    std::string error;
    double ms = 0; // exec until idle
    double rssBytes = 0; // resident set size when idle
    double cpuMs = 0; // processor time of all its threads until idle
    double mainMs = 0; // processor time of its main thread until idle
    long songs = -1; // songs the program listed
};

// Processor time of the whole process (all threads, ended ones included) in
// ms, from /proc/PID/stat, and of its main thread alone, from schedstat (ns).
double processCpuMs(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t end = text.rfind(')');
    if (end == std::string::npos)
        return 0;
    std::vector<std::string> fields;
    size_t pos = end + 2;
    while (pos < text.size()) {
        const size_t space = std::min(text.find(' ', pos), text.size());
        fields.push_back(text.substr(pos, space - pos));
        pos = space + 1;
    }
    // Fields from the state on: utime and stime are the 12th and 13th.
    if (fields.size() < 13)
        return 0;
    const double ticks = std::atof(fields[11].c_str()) + std::atof(fields[12].c_str());
    return ticks * 1000.0 / double(::sysconf(_SC_CLK_TCK));
}

double mainThreadCpuMs(pid_t pid)
{
    std::ifstream schedstat("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/schedstat");
    double ns = 0;
    schedstat >> ns;
    return ns / 1e6;
}

double residentBytes(pid_t pid)
{
    // smaps_rollup counts the pages themselves; VmRSS in status sums
    // counters that each thread updates now and then, and may lag behind
    // by megabytes right after threads ended.
    std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
    for (std::string line; std::getline(rollup, line);)
        if (line.rfind("Rss:", 0) == 0)
            return std::atof(line.c_str() + 4) * 1024;
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atof(line.c_str() + 6) * 1024;
    return 0;
}

// A folder holding a copy of the binary and its settings file: the program
// reads its settings beside its own file.
struct Setup {
    std::string exe;
};

Setup prepare(
    const std::string &folder, const std::string &binary, const std::string &music, const std::string &info)
{
    namespace fs = std::filesystem;
    fs::create_directories(folder);
    const std::string exe = folder + "/discora";
    fs::copy_file(binary, exe, fs::copy_options::overwrite_existing);
    std::ofstream(folder + "/discora.INI", std::ios::binary)
        << "[MP3]\r\nDirectory=" << music << "\r\nINI_Directory=" << info << "\r\n";
    return { exe };
}

// Starts exe offscreen and waits for its idle line.
Start runOnce(const Setup &setup)
{
    Start result;
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        result.error = "pipe failed";
        return result;
    }
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e) {
        const std::string entry = *e;
        if (entry.rfind("QT_QPA_PLATFORM=", 0) != 0 && entry.rfind("QT_LOGGING_RULES=", 0) != 0)
            env.push_back(entry);
    }
    env.push_back("QT_QPA_PLATFORM=offscreen");
    env.push_back("QT_LOGGING_RULES=discora.start.debug=true");
    std::vector<char *> envp;
    for (std::string &entry : env)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::string exe = setup.exe;
    char *argv[] = { exe.data(), nullptr };
    pid_t pid = 0;
    const double start = FloorScan::nowMs();
    const int spawned = posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (spawned != 0) {
        ::close(pipeFds[0]);
        result.error = std::string("cannot start: ") + std::strerror(spawned);
        return result;
    }

    std::string output;
    char buffer[4096];
    size_t found = std::string::npos;
    while (found == std::string::npos) {
        pollfd p { pipeFds[0], POLLIN, 0 };
        if (::poll(&p, 1, 300000) <= 0) {
            result.error = "no idle line within 300 s";
            break;
        }
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0) {
            result.error = "ended before it was idle: " + output.substr(0, 300);
            break;
        }
        output.append(buffer, size_t(n));
        found = output.find(IdleLine);
        if (found != std::string::npos && output.find('\n', found) == std::string::npos)
            found = std::string::npos; // the count is not all there yet
    }
    if (found != std::string::npos) {
        result.ms = FloorScan::nowMs() - start;
        // Memory once the index of the songs is matched behind the scan,
        // which frees what it read.
        for (pollfd p { pipeFds[0], POLLIN, 0 }; output.find(IndexLine) == std::string::npos;) {
            if (::poll(&p, 1, 10000) <= 0)
                break;
            const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            output.append(buffer, size_t(n));
        }
        result.rssBytes = residentBytes(pid);
        result.cpuMs = processCpuMs(pid);
        result.mainMs = mainThreadCpuMs(pid);
        result.songs = std::atol(output.c_str() + found + std::strlen(IdleLine));
        result.ok = true;
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    ::close(pipeFds[0]);
    return result;
}

pid_t startSpinner()
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        volatile unsigned long n = 0;
        for (;;)
            n = n + 1;
    }
    return pid;
}

bool parse(int argc, char **argv, Options &options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--busy") {
            options.busy = true;
            continue;
        }
        if (i + 1 >= argc)
            return false;
        const std::string value = argv[++i];
        if (name == "--binary") {
            options.binary = value;
        } else if (name == "--libs") {
            options.root = value;
        } else if (name == "--runs") {
            options.runs = std::max(1, std::atoi(value.c_str()));
        } else if (name == "--sizes") {
            options.sizes.clear();
            size_t pos = 0;
            while (pos <= value.size()) {
                const size_t comma = std::min(value.find(',', pos), value.size());
                if (const int n = std::atoi(value.substr(pos, comma - pos).c_str()); n > 0)
                    options.sizes.push_back(n);
                pos = comma + 1;
            }
        } else {
            return false;
        }
    }
    return !options.binary.empty() && !options.root.empty() && !options.sizes.empty();
}

bool measure(const Options &options, int size, const char *load, const std::string &work)
{
    const std::string lib = options.root + "/songs-" + std::to_string(size);
    const Setup full = prepare(work + "/full", options.binary, lib + "/music", lib + "/info");
    std::filesystem::create_directories(work + "/empty-music");
    const Setup empty
        = prepare(work + "/empty", options.binary, work + "/empty-music", work + "/empty-music");

    // One untimed round brings the folders and the binary into the caches.
    const FloorScan::Result warm = FloorScan::runCaseless(lib + "/music", lib + "/info");
    runOnce(full);
    runOnce(empty);

    std::vector<double> floors, starts, emptyStarts, rss, emptyRss, cpu, emptyCpu, main, emptyMain;
    long listed = -1;
    for (int i = 0; i < options.runs; ++i) {
        floors.push_back(FloorScan::runCaseless(lib + "/music", lib + "/info").ms);
        const Start a = runOnce(full);
        const Start b = runOnce(empty);
        if (!a.ok || !b.ok) {
            std::printf("%d songs: the program failed: %s\n", size, (a.ok ? b : a).error.c_str());
            return false;
        }
        starts.push_back(a.ms);
        emptyStarts.push_back(b.ms);
        rss.push_back(a.rssBytes);
        emptyRss.push_back(b.rssBytes);
        cpu.push_back(a.cpuMs);
        emptyCpu.push_back(b.cpuMs);
        main.push_back(a.mainMs);
        emptyMain.push_back(b.mainMs);
        listed = a.songs;
    }
    const double floor = FloorScan::median(floors);
    // Each round's three figures are taken close together, under the same
    // load: the ratio is the median of the rounds' own ratios.
    std::vector<double> ratios;
    for (size_t k = 0; k < floors.size(); ++k)
        if (floors[k] > 0)
            ratios.push_back((starts[k] - emptyStarts[k]) / floors[k]);
    const double perSong = (FloorScan::median(rss) - FloorScan::median(emptyRss)) / double(size);
    std::printf("%7d  %-9s  %8.1f ms  %8.1f ms  %8.1f ms  %5.2fx  %6.0f B/song  %7.0f ms  %7.0f ms  %s\n",
        size, load, FloorScan::median(starts), FloorScan::median(emptyStarts), floor,
        FloorScan::median(ratios), perSong, FloorScan::median(cpu) - FloorScan::median(emptyCpu),
        FloorScan::median(main) - FloorScan::median(emptyMain),
        listed == long(warm.songs) ? "" : "LISTED SONGS DIFFER");
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(
            stderr, "usage: bench_start --binary DISCORA --libs ROOT [--sizes 100000] [--runs K] [--busy]\n");
        return 2;
    }
    char work[] = "/tmp/bench_start-XXXXXX";
    if (!::mkdtemp(work)) {
        std::perror("mkdtemp");
        return 1;
    }
    // A private runtime folder: Qt wants one, and the single-instance guard
    // must not hand over to a copy of the program that runs elsewhere.
    ::setenv("XDG_RUNTIME_DIR", work, 1);
    double load[1] = { 0 };
    ::getloadavg(load, 1);
    std::printf("%ld CPUs, load average %.2f at start, medians of %d runs\n", ::sysconf(_SC_NPROCESSORS_ONLN),
        load[0], options.runs);
    std::printf("  songs  load       start       empty       floor      ratio  memory        processor  main "
                "thread\n");
    bool ok = true;
    for (const int size : options.sizes) {
        ok = measure(options, size, "as is", work) && ok;
        if (options.busy) {
            const pid_t spinner = startSpinner();
            ok = measure(options, size, "+1 busy", work) && ok;
            ::kill(spinner, SIGKILL);
            ::waitpid(spinner, nullptr, 0);
        }
    }
    std::printf("ratio: (start - empty) / floor, the median of each round's own; goals: <= 0.8x idle, <= "
                "1.2x with a core busy, < 600 "
                "B/song\nprocessor: time of all threads, main thread: of the main thread alone, both beyond "
                "the empty folder's (less disturbed by a busy machine than the clock)\n");
    std::filesystem::remove_all(work);
    return ok ? 0 : 1;
}
