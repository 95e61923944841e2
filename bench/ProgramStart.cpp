#include "ProgramStart.h"

#include "FloorScan.h"

#include <algorithm>
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
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace ProgramStart
{

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

double anonymousBytes(pid_t pid)
{
    std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
    for (std::string line; std::getline(rollup, line);)
        if (line.rfind("Anonymous:", 0) == 0)
            return std::atof(line.c_str() + 10) * 1024;
    return 0;
}

void waitIdle(pid_t pid)
{
    double before = processCpuMs(pid);
    for (int waited = 0; waited < 10000; waited += 200) {
        ::usleep(200 * 1000);
        const double now = processCpuMs(pid);
        if (now - before <= 10)
            return;
        before = now;
    }
}

Setup prepare(const std::string &folder, const std::string &binary, const std::string &music,
    const std::string &info, const std::vector<std::string> &more)
{
    namespace fs = std::filesystem;
    fs::create_directories(folder);
    const std::string exe = folder + "/discora";
    fs::copy_file(binary, exe, fs::copy_options::overwrite_existing);
    std::ofstream settings(folder + "/discora.INI", std::ios::binary);
    settings << "[MP3]\r\nDirectory=" << music << "\r\nINI_Directory=" << info << "\r\n";
    for (const std::string &line : more)
        settings << line << "\r\n";
    return { folder, exe };
}

namespace
{

// Where in output the whole line holding text, looked for from from on,
// ends (past its newline); npos while it is not all there.
size_t lineEnd(const std::string &output, const std::string &text, size_t from)
{
    const size_t at = output.find(text, from);
    if (at == std::string::npos)
        return std::string::npos;
    const size_t newline = output.find('\n', at);
    return newline == std::string::npos ? std::string::npos : newline + 1;
}

} // namespace

Run run(const Setup &setup, const std::vector<Wait> &waits, const std::string &memoryAfter, bool whenIdle)
{
    Run result;
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        result.error = "pipe failed";
        return result;
    }
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e) {
        const std::string entry = *e;
        if (entry.rfind("QT_QPA_PLATFORM=", 0) != 0 && entry.rfind("QT_LOGGING_RULES=", 0) != 0
            && entry.rfind("QT_MESSAGE_PATTERN=", 0) != 0)
            env.push_back(entry);
    }
    env.push_back("QT_QPA_PLATFORM=offscreen");
    env.push_back("QT_LOGGING_RULES=discora.start.debug=true");
    // Every line as "category: message", whatever the caller's pattern.
    env.push_back("QT_MESSAGE_PATTERN=%{category}: %{message}");
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
    // 1: more output came, 0: none within timeoutMs, -1: the program ended.
    const auto readMore = [&](int timeoutMs) {
        pollfd p { pipeFds[0], POLLIN, 0 };
        if (::poll(&p, 1, timeoutMs) <= 0)
            return 0;
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0)
            return -1;
        output.append(buffer, size_t(n));
        return 1;
    };
    // Where each line waited for ends in the output, once it is in.
    std::vector<size_t> ends(waits.size(), std::string::npos);
    size_t missing = waits.size();
    result.ms.assign(waits.size(), 0);
    while (missing > 0) {
        if (const int got = readMore(300000); got <= 0) {
            const size_t k = size_t(std::find(ends.begin(), ends.end(), std::string::npos) - ends.begin());
            const std::string line = '"' + waits[k].text + '"';
            result.error = (got < 0 ? "ended before it logged " + line : "no " + line + " within 300 s")
                + ": " + output.substr(0, 300);
            break;
        }
        for (size_t k = 0; k < waits.size(); ++k) {
            if (ends[k] != std::string::npos)
                continue;
            const bool ordered = waits[k].afterPrevious && k > 0;
            if (ordered && ends[k - 1] == std::string::npos)
                continue;
            ends[k] = lineEnd(output, waits[k].text, ordered ? ends[k - 1] : 0);
            if (ends[k] != std::string::npos) {
                result.ms[k] = FloorScan::nowMs() - start;
                --missing;
            }
        }
    }
    if (missing == 0) {
        // Memory once the work behind the scan named by memoryAfter is over.
        if (!memoryAfter.empty())
            while (lineEnd(output, memoryAfter, 0) == std::string::npos && readMore(10000) > 0) { }
        if (whenIdle)
            waitIdle(pid);
        result.rssBytes = residentBytes(pid);
        result.anonBytes = anonymousBytes(pid);
        result.cpuMs = processCpuMs(pid);
        result.mainMs = mainThreadCpuMs(pid);
        if (!waits.empty())
            result.songs = std::atol(output.c_str() + output.find(waits[0].text) + waits[0].text.size());
        result.ok = true;
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    ::close(pipeFds[0]);
    return result;
}

double medianRatio(
    const std::vector<double> &starts, const std::vector<double> &empties, const std::vector<double> &floors)
{
    std::vector<double> ratios;
    for (size_t k = 0; k < floors.size(); ++k)
        if (floors[k] > 0)
            ratios.push_back((starts[k] - empties[k]) / floors[k]);
    return FloorScan::median(ratios);
}

bool measureSizes(const Options &options, const std::function<bool(int size, const char *load)> &measure)
{
    bool ok = true;
    for (const int size : options.sizes) {
        ok = measure(size, "as is") && ok;
        if (!options.busy)
            continue;
        const pid_t spinner = ::fork();
        if (spinner == 0) {
            volatile unsigned long n = 0;
            for (;;)
                n = n + 1;
        }
        ok = measure(size, "+1 busy") && ok;
        ::kill(spinner, SIGKILL);
        ::waitpid(spinner, nullptr, 0);
    }
    return ok;
}

bool parseOptions(int argc, char **argv, Options &options,
    const std::function<bool(const std::string &name, const char *value)> &other)
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
        } else if (!other || !other(name, value.c_str())) {
            return false;
        }
    }
    return !options.binary.empty() && !options.root.empty() && !options.sizes.empty();
}

std::string makeWorkFolder(int runs)
{
    double load[1] = { 0 };
    ::getloadavg(load, 1);
    std::printf("%ld CPUs, load average %.2f at start, medians of %d runs\n", ::sysconf(_SC_NPROCESSORS_ONLN),
        load[0], runs);
    char work[] = "/tmp/bench_start-XXXXXX";
    if (!::mkdtemp(work)) {
        std::perror("mkdtemp");
        return std::string();
    }
    // A private runtime folder: Qt wants one, and the single-instance guard
    // must not hand over to a copy of the program that runs elsewhere.
    ::setenv("XDG_RUNTIME_DIR", work, 1);
    return work;
}

} // namespace ProgramStart
