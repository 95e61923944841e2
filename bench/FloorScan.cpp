#include "FloorScan.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>

namespace FloorScan
{

namespace
{

bool isSongName(const char *name, size_t length)
{
    return length >= 4 && name[0] != '.' && strcasecmp(name + length - 4, ".mp3") == 0;
}

bool isRegular(int dirFd, const dirent *entry)
{
    if (entry->d_type == DT_REG)
        return true;
    if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
        return false;
    struct stat st;
    return ::fstatat(dirFd, entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
}

class Folder
{
public:
    explicit Folder(const std::string &path)
        : m_fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
    }
    ~Folder()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int fd() const { return m_fd; }

private:
    int m_fd;
};

// Reads the file whole into buffer; a short read of a regular file is its
// end, so a small file costs open, one read and close.
size_t readWhole(int dirFd, const char *name, std::vector<char> &buffer)
{
    const int fd = ::openat(dirFd, name, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return size_t(-1);
    size_t total = 0;
    for (;;) {
        if (buffer.size() - total < 4096)
            buffer.resize(buffer.size() * 2);
        const ssize_t n = ::read(fd, buffer.data() + total, buffer.size() - total);
        if (n <= 0)
            break;
        total += size_t(n);
        if (total < buffer.size())
            break;
    }
    ::close(fd);
    return total;
}

} // namespace

double nowMs()
{
    timespec ts;
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

double timedRuns(int runs, const std::function<bool()> &prepare, const std::function<void()> &work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        if (!prepare())
            return -1;
        const double start = nowMs();
        work();
        times.push_back(nowMs() - start);
    }
    return median(times);
}

std::vector<std::string> listSongs(const std::string &musicFolder)
{
    std::vector<std::string> songs;
    DIR *dir = ::opendir(musicFolder.c_str());
    if (!dir)
        return songs;
    while (const dirent *entry = ::readdir(dir)) {
        if (isSongName(entry->d_name, std::strlen(entry->d_name)) && isRegular(::dirfd(dir), entry))
            songs.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    std::sort(songs.begin(), songs.end(),
        [](const std::string &a, const std::string &b) { return strcasecmp(a.c_str(), b.c_str()) < 0; });
    return songs;
}

size_t statSongs(int musicDirFd, const std::vector<std::string> &songs)
{
    size_t found = 0;
    for (const std::string &song : songs) {
        struct stat st;
        if (::fstatat(musicDirFd, song.c_str(), &st, 0) == 0)
            ++found;
    }
    return found;
}

namespace
{

// The floor itself, timed from start: list and stat the songs, then read
// the song information file that infoName (song, scratch) names, if any.
template <typename InfoName>
Result timedScan(
    const std::string &musicFolder, const std::string &infoFolder, double start, InfoName infoName)
{
    Result result;
    const std::vector<std::string> songs = listSongs(musicFolder);
    const Folder music(musicFolder);
    const Folder info(infoFolder);
    result.songs = songs.size();
    statSongs(music.fd(), songs);
    std::vector<char> buffer(64 * 1024);
    std::string scratch;
    for (const std::string &song : songs) {
        const char *name = infoName(song, scratch);
        if (!name)
            continue;
        const size_t bytes = readWhole(info.fd(), name, buffer);
        if (bytes != size_t(-1)) {
            ++result.infoFiles;
            result.infoBytes += bytes;
        }
    }
    result.ms = nowMs() - start;
    return result;
}

// "Artist-Title.mp3" -> "Artist-Title.INI", in scratch.
const std::string &iniName(const std::string &song, std::string &scratch)
{
    scratch.assign(song, 0, song.rfind('.'));
    scratch += ".INI";
    return scratch;
}

} // namespace

Result run(const std::string &musicFolder, const std::string &infoFolder)
{
    return timedScan(musicFolder, infoFolder, nowMs(),
        [](const std::string &song, std::string &scratch) { return iniName(song, scratch).c_str(); });
}

Result runCaseless(const std::string &musicFolder, const std::string &infoFolder)
{
    const double start = nowMs();
    auto lower = [](std::string text) {
        for (char &c : text)
            if (c >= 'A' && c <= 'Z')
                c = char(c + 32);
        return text;
    };
    std::unordered_map<std::string, std::string> infoNames;
    if (DIR *dir = ::opendir(infoFolder.c_str())) {
        while (const dirent *entry = ::readdir(dir))
            if (entry->d_name[0] != '.')
                infoNames.emplace(lower(entry->d_name), entry->d_name);
        ::closedir(dir);
    }
    return timedScan(
        musicFolder, infoFolder, start, [&](const std::string &song, std::string &scratch) -> const char * {
            const auto found = infoNames.find(lower(iniName(song, scratch)));
            return found == infoNames.end() ? nullptr : found->second.c_str();
        });
}

bool dropCaches(std::string &why)
{
    ::sync();
    const int fd = ::open("/proc/sys/vm/drop_caches", O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        why = std::string("cannot open /proc/sys/vm/drop_caches: ") + std::strerror(errno);
        return false;
    }
    const bool written = ::write(fd, "3\n", 2) == 2;
    if (!written)
        why = std::string("writing /proc/sys/vm/drop_caches failed: ") + std::strerror(errno);
    ::close(fd);
    return written;
}

bool isAudioName(const char *name, size_t length)
{
    if (name[0] == '.')
        return false;
    for (const char *ext : { ".mp3", ".flac", ".ogg", ".oga", ".opus", ".m4a" }) {
        const size_t n = std::strlen(ext);
        if (length >= n && strcasecmp(name + length - n, ext) == 0)
            return true;
    }
    return false;
}

namespace
{

// Adds the songs of the folder open as dirFd (closing it) and of the folders
// below it, their paths starting with prefix.
void walkTree(int dirFd, const std::string &prefix, std::vector<std::string> &songs)
{
    DIR *dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return;
    }
    while (const dirent *entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        unsigned char type = entry->d_type;
        if (type == DT_LNK || type == DT_UNKNOWN) {
            struct stat st;
            if (::fstatat(::dirfd(dir), entry->d_name, &st, 0) != 0)
                continue;
            type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
        }
        if (type == DT_DIR) {
            const int fd = ::openat(::dirfd(dir), entry->d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (fd >= 0)
                walkTree(fd, prefix + entry->d_name + '/', songs);
        } else if (type == DT_REG && isAudioName(entry->d_name, std::strlen(entry->d_name))) {
            songs.push_back(prefix + entry->d_name);
        }
    }
    ::closedir(dir);
}

} // namespace

std::vector<std::string> listTree(const std::string &musicFolder)
{
    std::vector<std::string> songs;
    const int fd = ::open(musicFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0)
        walkTree(fd, std::string(), songs);
    std::sort(songs.begin(), songs.end(),
        [](const std::string &a, const std::string &b) { return strcasecmp(a.c_str(), b.c_str()) < 0; });
    return songs;
}

TreeResult runTree(const std::string &musicFolder, int threads)
{
    TreeResult result;
    const double start = nowMs();
    const std::vector<std::string> songs = listTree(musicFolder);
    result.listMs = nowMs() - start;
    result.songs = songs.size();
    const Folder music(musicFolder);
    constexpr size_t Step = 16;
    std::atomic<size_t> next { 0 };
    std::atomic<size_t> bytes { 0 };
    auto work = [&] {
        std::vector<char> buffer(TreeReadBytes);
        size_t read = 0;
        for (size_t first; (first = next.fetch_add(Step)) < songs.size();) {
            for (size_t i = first; i < std::min(first + Step, songs.size()); ++i) {
                const int fd = ::openat(music.fd(), songs[i].c_str(), O_RDONLY | O_CLOEXEC);
                if (fd < 0)
                    continue;
                for (size_t got = 0; got < TreeReadBytes;) {
                    const ssize_t n = ::read(fd, buffer.data() + got, TreeReadBytes - got);
                    if (n <= 0)
                        break;
                    got += size_t(n);
                    read += size_t(n);
                }
                ::close(fd);
            }
        }
        bytes += read;
    };
    std::vector<std::thread> workers;
    for (int t = 1; t < threads; ++t)
        workers.emplace_back(work);
    work();
    for (std::thread &w : workers)
        w.join();
    result.bytes = bytes;
    result.ms = nowMs() - start;
    return result;
}

} // namespace FloorScan
