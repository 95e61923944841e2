#pragma once
// What the synthetic-library generators share: a small random source that
// gives the same numbers on every platform, and files and folders made or
// the program ended with the reason.

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>

namespace Synthetic
{

// splitmix64: small, fast and the same on every platform and library
// (std::uniform_int_distribution is not).
class Rng
{
public:
    explicit Rng(uint64_t seed)
        : m_state(seed)
    {
    }
    uint64_t next()
    {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // A whole number in [lo, hi].
    int range(int lo, int hi) { return lo + int(next() % uint64_t(hi - lo + 1)); }
    bool chance(int percent) { return range(0, 99) < percent; }
    template <size_t N> const char *pick(const char *const (&list)[N]) { return list[next() % N]; }

private:
    uint64_t m_state;
};

// Ends the program with what failed and the system's reason.
[[noreturn]] inline void fail(const std::string &what)
{
    std::fprintf(stderr, "%s: %s: %s\n", program_invocation_short_name, what.c_str(), std::strerror(errno));
    std::exit(1);
}

// Creates path (which must not exist) holding bytes; a size beyond them
// extends the file with a hole, so it takes no room on disk.
inline void writeFile(const std::string &path, const std::string &bytes, off_t size = -1)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        fail("cannot create " + path);
    if (::write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size()))
        fail("cannot write " + path);
    if (size > off_t(bytes.size()) && ::ftruncate(fd, size) != 0)
        fail("cannot size " + path);
    ::close(fd);
}

// Makes the folder and any missing above it.
inline void makeFolder(const std::string &path)
{
    std::error_code error;
    std::filesystem::create_directories(path, error);
    if (error) {
        errno = error.value();
        fail("cannot create folder " + path);
    }
}

// What every generator is told: how many songs, where, and the seed.
struct Arguments {
    long songs = 1000;
    std::string out;
    uint64_t seed = 20240611;
};

// Reads "--name value" pairs: --songs, --out and --seed, any other through
// other (false for a name it does not take). Ends the program with usage
// when a pair is incomplete or unknown, or --out or a positive --songs is
// missing.
inline Arguments parseArguments(int argc, char **argv, const char *usage,
    const std::function<bool(const std::string &, const char *)> &other)
{
    Arguments arguments;
    bool good = argc % 2 == 1;
    for (int i = 1; good && i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const char *value = argv[i + 1];
        if (name == "--songs")
            arguments.songs = std::atol(value);
        else if (name == "--out")
            arguments.out = value;
        else if (name == "--seed")
            arguments.seed = std::strtoull(value, nullptr, 10);
        else
            good = other(name, value);
    }
    if (!good || arguments.out.empty() || arguments.songs < 1) {
        std::fprintf(stderr, "usage: %s\n", usage);
        std::exit(2);
    }
    return arguments;
}

} // namespace Synthetic
