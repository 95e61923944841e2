#include "FloorScan.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
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

Result run(const std::string &musicFolder, const std::string &infoFolder)
{
    Result result;
    const double start = nowMs();
    const std::vector<std::string> songs = listSongs(musicFolder);
    const Folder music(musicFolder);
    const Folder info(infoFolder);
    result.songs = songs.size();
    statSongs(music.fd(), songs);
    std::vector<char> buffer(64 * 1024);
    std::string infoName;
    for (const std::string &song : songs) {
        infoName.assign(song, 0, song.rfind('.'));
        infoName += ".INI";
        const size_t bytes = readWhole(info.fd(), infoName.c_str(), buffer);
        if (bytes != size_t(-1)) {
            ++result.infoFiles;
            result.infoBytes += bytes;
        }
    }
    result.ms = nowMs() - start;
    return result;
}

Result runCaseless(const std::string &musicFolder, const std::string &infoFolder)
{
    Result result;
    const double start = nowMs();
    const std::vector<std::string> songs = listSongs(musicFolder);
    const Folder music(musicFolder);
    const Folder info(infoFolder);
    result.songs = songs.size();

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
    statSongs(music.fd(), songs);
    std::vector<char> buffer(64 * 1024);
    std::string key;
    for (const std::string &song : songs) {
        key.assign(song, 0, song.rfind('.'));
        key += ".INI";
        const auto found = infoNames.find(lower(key));
        if (found == infoNames.end())
            continue;
        const size_t bytes = readWhole(info.fd(), found->second.c_str(), buffer);
        if (bytes != size_t(-1)) {
            ++result.infoFiles;
            result.infoBytes += bytes;
        }
    }
    result.ms = nowMs() - start;
    return result;
}

} // namespace FloorScan
