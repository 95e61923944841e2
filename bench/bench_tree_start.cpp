// What a user feels when Discora starts on a large tree library: the real
// binary (offscreen, "[MP3] Library=Tree") on a tree of real MP3 files, in
// two starts.
//
// The first start, with no discora.TAG beside the settings: from exec until
// the tags read behind the window are in every song's row, minus the same for an empty music folder, in
// songs per second, next to the tree floor (list the tree, read the first
// 64 KiB of every song with the threads the program reads tags with).
//
// A start with the discora.TAG that start wrote, nothing changed: from exec
// until idle after the first full scan, minus the empty folder's, next to
// the one-thread floor of a folder library of the same size (list, stat and
// read every song information file); and how many audio files it opened (an
// inotify watch on every folder of the tree, in one untimed start, so the
// events cost no timed start anything).
//
// Memory: the resident memory the songs add at the end of either start:
// the first once the window is idle (it hands back what its scans took only
// after it logged that the tags are shown), the one with the cache, and the
// empty folder's, once the index of the songs is matched behind the scan
// (as bench_start measures a folder library); beside it the anonymous
// part, which no file backs: heaps and stacks, without the pages of the
// program's libraries and fonts.
// All is measured in turns in one run, so a busy machine slows it alike.
//
//   bench_tree_start --binary DISCORA --libs ROOT [--sizes 100000] [--runs K] [--threads T] [--busy]
//
// ROOT/tree-N holds the tree of N songs (generate_tree), ROOT/songs-N the
// folder library of N songs (generate_library); N above 500, the most a
// scan reads while the window waits. --threads: the tree floor's threads
// (by default the program's: twice the cores, 2 to 8).

#include "FloorScan.h"
#include "ProgramStart.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <string>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <thread>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace
{

const char *const IdleLine = "idle after the first full scan: ";
// Logged once the index of the songs is matched behind the scan, which then
// hands back what the scan freed: the memory of a start with the cache is
// read then, as bench_start reads a folder library's.
const char *const IndexLine = "index of the songs matched";
// Logged as the tags read behind the scan are in the cache, and as the rows
// show them (put into them, or by a full scan); whole lines.
const char *const TagsReadLine = "discora.start: tags read\n";
const char *const TagsShownLine = "discora.start: tags shown\n";
// Logged once they are in the cache too (which may be after they are shown):
// the next start needs it, and the memory is measured after it.
const char *const TagsCachedLine = "discora.start: tags cached\n";

// Counts the audio files opened below a folder while it lives: an inotify
// watch on every folder that holds songs, read on a thread of its own. A
// large tree's folders are spread over several inotify queues (the kernel
// keeps at most 16384 events in one): even a start that opened every song
// and folder of a 100,000-song tree loses none.
class AudioOpens
{
public:
    explicit AudioOpens(const std::string &root)
    {
        if (::pipe2(m_stop, O_CLOEXEC) != 0 || !watchTree(root))
            return;
        m_reader = std::thread([this] { read(); });
    }
    ~AudioOpens()
    {
        stop();
        for (const int fd : m_queues)
            ::close(fd);
        for (const int fd : m_stop)
            if (fd >= 0)
                ::close(fd);
    }
    // Empty while every folder with songs is watched, else why not.
    const std::string &why() const { return m_why; }
    // Stops counting; what was opened until now is counted.
    void stop()
    {
        if (!m_reader.joinable())
            return;
        [[maybe_unused]] const ssize_t n = ::write(m_stop[1], "x", 1);
        m_reader.join();
    }
    long count() const { return m_count; }
    // True when the kernel dropped events: the count may be short.
    bool lost() const { return m_lost; }
    // The first few songs opened, by name.
    const std::vector<std::string> &names() const { return m_names; }

private:
    static constexpr int FoldersPerQueue = 1024;

    bool watch(const std::string &path)
    {
        if (m_queues.empty() || m_watches % FoldersPerQueue == 0) {
            const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
            if (fd < 0) {
                m_why = std::string("inotify: ") + std::strerror(errno);
                return false;
            }
            m_queues.push_back(fd);
        }
        if (::inotify_add_watch(m_queues.back(), path.c_str(), IN_OPEN | IN_ONLYDIR) < 0) {
            m_why = "cannot watch " + path + ": " + std::strerror(errno);
            return false;
        }
        ++m_watches;
        return true;
    }

    // Watches path when it holds songs, and the folders below it likewise.
    bool watchTree(const std::string &path)
    {
        DIR *dir = ::opendir(path.c_str());
        if (!dir)
            return true;
        std::vector<std::string> folders;
        bool songs = false;
        while (const dirent *entry = ::readdir(dir)) {
            if (entry->d_name[0] == '.')
                continue;
            const std::string sub = path + '/' + entry->d_name;
            struct stat st;
            if (entry->d_type == DT_DIR
                || (entry->d_type == DT_UNKNOWN && ::stat(sub.c_str(), &st) == 0 && S_ISDIR(st.st_mode)))
                folders.push_back(sub);
            else
                songs = songs || FloorScan::isAudioName(entry->d_name, std::strlen(entry->d_name));
        }
        ::closedir(dir);
        if (songs && !watch(path))
            return false;
        return std::all_of(
            folders.begin(), folders.end(), [this](const std::string &f) { return watchTree(f); });
    }

    // Reads what queue holds; false when it is empty.
    bool drain(int queue)
    {
        alignas(inotify_event) char buffer[64 * 1024];
        const ssize_t n = ::read(queue, buffer, sizeof buffer);
        for (ssize_t at = 0; at < n;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW)
                m_lost = true;
            if (event->len == 0 || (event->mask & IN_ISDIR) || !(event->mask & IN_OPEN)
                || !FloorScan::isAudioName(event->name, std::strlen(event->name)))
                continue;
            if (++m_count <= 5)
                m_names.emplace_back(event->name);
        }
        return n > 0;
    }

    void read()
    {
        std::vector<pollfd> polled;
        for (const int fd : m_queues)
            polled.push_back({ fd, POLLIN, 0 });
        polled.push_back({ m_stop[0], POLLIN, 0 });
        while (!(polled.back().revents & POLLIN)) {
            if (::poll(polled.data(), polled.size(), -1) < 0 && errno != EINTR)
                break;
            for (size_t q = 0; q + 1 < polled.size(); ++q)
                if (polled[q].revents & POLLIN)
                    drain(polled[q].fd);
        }
        // Asked to stop: what is queued still counts.
        for (const int fd : m_queues)
            while (drain(fd)) { }
    }

    std::vector<int> m_queues; // inotify instances
    int m_watches = 0;
    int m_stop[2] = { -1, -1 };
    std::thread m_reader;
    std::string m_why;
    long m_count = 0;
    bool m_lost = false;
    std::vector<std::string> m_names;
};

struct Samples {
    std::vector<double> ms, rss, anon, cpu;
    void add(const ProgramStart::Run &run, double at)
    {
        ms.push_back(at);
        rss.push_back(run.rssBytes);
        anon.push_back(run.anonBytes);
        cpu.push_back(run.cpuMs);
    }
};

// The resident memory of a size's two starts (medians), for what the songs
// between two sizes cost each: what a start holds whatever its size (code,
// fonts, the allocator's own) drops out there.
struct Resident {
    int size = 0;
    std::string load;
    double first = 0, cached = 0;
};

bool measure(const ProgramStart::Options &options, int threads, int size, const char *load,
    const std::string &work, std::vector<Resident> &resident)
{
    namespace fs = std::filesystem;
    const std::string tree = options.root + "/tree-" + std::to_string(size) + "/music";
    const std::string flat = options.root + "/songs-" + std::to_string(size);
    for (const std::string &lib : { tree, flat + "/music" })
        if (!fs::is_directory(lib)) {
            std::printf("%d songs: no library in %s\n", size, lib.c_str());
            return false;
        }
    fs::create_directories(work + "/tree-info");
    fs::create_directories(work + "/empty-music");
    const ProgramStart::Setup program = ProgramStart::prepare(
        work + "/tree", options.binary, tree, work + "/tree-info", { "Library=Tree" });
    const ProgramStart::Setup empty = ProgramStart::prepare(work + "/tree-empty", options.binary,
        work + "/empty-music", work + "/empty-music", { "Library=Tree" });
    const std::string tagCache = program.folder + "/discora.TAG";
    // The first start: the names shown, the tags read behind them, and the
    // rows showing them.
    const std::vector<ProgramStart::Wait> firstStart
        = { { IdleLine }, { TagsReadLine }, { TagsShownLine, true } };
    const std::vector<ProgramStart::Wait> settled = { { IdleLine } };

    // One untimed round brings the folders and the binary into the caches,
    // writes the tag cache, and counts the audio files a start with it opens.
    const FloorScan::TreeResult warm = FloorScan::runTree(tree, threads);
    FloorScan::runCaseless(flat + "/music", flat + "/info");
    fs::remove(tagCache);
    ProgramStart::Run run = ProgramStart::run(program, firstStart, TagsCachedLine);
    if (!run.ok || !fs::exists(tagCache)) {
        std::printf("%d songs: the first start failed: %s\n", size,
            run.ok ? "it wrote no discora.TAG" : run.error.c_str());
        return false;
    }
    AudioOpens opens(tree);
    run = ProgramStart::run(program, settled);
    opens.stop();
    if (!run.ok) {
        std::printf("%d songs: the start with discora.TAG failed: %s\n", size, run.error.c_str());
        return false;
    }
    ProgramStart::run(empty, settled);

    Samples first, cached, none;
    std::vector<double> names, tagsRead, treeFloors, flatFloors;
    long listedFirst = -1, listedCached = -1;
    for (int i = 0; i < options.runs; ++i) {
        treeFloors.push_back(FloorScan::runTree(tree, threads).ms);
        fs::remove(tagCache);
        const ProgramStart::Run a = ProgramStart::run(program, firstStart, TagsCachedLine, true);
        flatFloors.push_back(FloorScan::runCaseless(flat + "/music", flat + "/info").ms);
        const ProgramStart::Run b = ProgramStart::run(program, settled, IndexLine);
        const ProgramStart::Run c = ProgramStart::run(empty, settled, IndexLine);
        for (const ProgramStart::Run *r : { &a, &b, &c })
            if (!r->ok) {
                std::printf("%d songs: the program failed: %s\n", size, r->error.c_str());
                return false;
            }
        first.add(a, a.ms[2]);
        names.push_back(a.ms[0]);
        tagsRead.push_back(a.ms[1]);
        cached.add(b, b.ms[0]);
        none.add(c, c.ms[0]);
        listedFirst = a.songs;
        listedCached = b.songs;
    }
    const double emptyMs = FloorScan::median(none.ms);
    const double emptyRss = FloorScan::median(none.rss);
    const double emptyCpu = FloorScan::median(none.cpu);
    const double firstMs = FloorScan::median(first.ms);
    const double treeFloor = FloorScan::median(treeFloors);
    const auto perSecond = [size](double ms) { return ms > 0 ? double(size) * 1000 / ms : 0.0; };
    const auto perSong
        = [size, emptyRss](const Samples &s) { return (FloorScan::median(s.rss) - emptyRss) / double(size); };
    const double emptyAnon = FloorScan::median(none.anon);
    const auto anonPerSong = [size, emptyAnon](const Samples &s) {
        return (FloorScan::median(s.anon) - emptyAnon) / double(size);
    };
    const bool listedRight = listedFirst == long(warm.songs) && listedCached == long(warm.songs);
    std::printf("%7d  %-7s  first     %8.1f ms  %8.1f ms  %8.1f ms  %5.2fx  %6.0f B/song  %7.0f ms  "
                "%6.0f/s, floor %6.0f/s; names at %.0f ms, tags read at %.0f ms; anonymous %.0f B/song%s\n",
        size, load, firstMs, emptyMs, treeFloor, ProgramStart::medianRatio(first.ms, none.ms, treeFloors),
        perSong(first), FloorScan::median(first.cpu) - emptyCpu, perSecond(firstMs - emptyMs),
        perSecond(treeFloor), FloorScan::median(names), FloorScan::median(tagsRead), anonPerSong(first),
        listedRight ? "" : "  LISTED SONGS DIFFER");
    std::string opened = std::to_string(opens.count()) + " audio files opened";
    if (!opens.why().empty())
        opened = "audio files opened not counted (" + opens.why() + ")";
    else if (opens.lost())
        opened += " at least (events lost)";
    for (const std::string &name : opens.names())
        opened += (&name == &opens.names().front() ? ": " : ", ") + name;
    std::printf("%7d  %-7s  cached    %8.1f ms  %8.1f ms  %8.1f ms  %5.2fx  %6.0f B/song  %7.0f ms  %s; "
                "anonymous %.0f B/song\n",
        size, load, FloorScan::median(cached.ms), emptyMs, FloorScan::median(flatFloors),
        ProgramStart::medianRatio(cached.ms, none.ms, flatFloors), perSong(cached),
        FloorScan::median(cached.cpu) - emptyCpu, opened.c_str(), anonPerSong(cached));
    std::fflush(stdout);
    resident.push_back({ size, load, FloorScan::median(first.rss), FloorScan::median(cached.rss) });
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    ProgramStart::Options options;
    options.runs = 5;
    // The threads the program reads tags with.
    int threads = std::clamp(int(std::thread::hardware_concurrency()) * 2, 2, 8);
    if (!ProgramStart::parseOptions(
            argc, argv, options, [&threads](const std::string &name, const char *value) {
                threads = std::max(1, std::atoi(value));
                return name == "--threads";
            })) {
        std::fprintf(stderr,
            "usage: bench_tree_start --binary DISCORA --libs ROOT [--sizes 100000] [--runs K] [--threads T] "
            "[--busy]\n");
        return 2;
    }
    const std::string work = ProgramStart::makeWorkFolder(options.runs);
    if (work.empty())
        return 1;
    std::printf("  songs  load     start            time        empty        floor   ratio  memory          "
                "processor\n");
    std::vector<Resident> resident;
    const bool ok = ProgramStart::measureSizes(
        options, [&options, threads, &work, &resident](int size, const char *load) {
            return measure(options, threads, size, load, work, resident);
        });
    std::sort(resident.begin(), resident.end(), [](const Resident &a, const Resident &b) {
        return std::tie(a.load, a.size) < std::tie(b.load, b.size);
    });
    for (size_t k = 1; k < resident.size(); ++k) {
        const Resident &small = resident[k - 1], &large = resident[k];
        if (small.load != large.load || small.size == large.size)
            continue;
        const double songs = large.size - small.size;
        std::printf("%7d  %-7s  each song between %d and %d songs: first %.0f B/song, cached %.0f B/song\n",
            large.size, large.load.c_str(), small.size, large.size, (large.first - small.first) / songs,
            (large.cached - small.cached) / songs);
    }
    std::printf(
        "first: no discora.TAG, until the tags of every song are shown; floor: the tree listed and the first "
        "64 KiB of every song read, %d threads; goal: ratio <= 3x\n"
        "cached: discora.TAG as the first start wrote it, until idle; floor: the folder library of the same "
        "size, one thread (bench_start's); goals: ratio <= 1.0x, no audio file opened\n"
        "ratio: (start - empty) / floor, the median of each round's own; memory: resident, beyond the empty "
        "folder's at the end of the start, goal <= 600 B/song (anonymous: the part of it no file backs); "
        "each song between two sizes: the "
        "difference of their memory over the difference of their songs; processor: all threads, beyond the "
        "empty folder's\n",
        threads);
    std::filesystem::remove_all(work);
    return ok ? 0 : 1;
}
