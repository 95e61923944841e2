// Runs one fuzz target over the files of its corpus folders once, without
// libFuzzer: the normal build's check that every input found so far still
// passes. Fails when a folder is missing or empty.
//   fuzz_replay_<target> FOLDER...

#include "FuzzCheck.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER...\n", argv[0]);
        return 2;
    }
    size_t total = 0;
    for (int a = 1; a < argc; ++a) {
        std::vector<std::filesystem::path> files;
        std::error_code error;
        for (const auto &entry : std::filesystem::directory_iterator(argv[a], error)) {
            if (entry.is_regular_file())
                files.push_back(entry.path());
        }
        if (error || files.empty()) {
            std::fprintf(stderr, "%s: no inputs in %s\n", argv[0], argv[a]);
            return 1;
        }
        std::sort(files.begin(), files.end());
        for (const auto &file : files) {
            std::ifstream in(file, std::ios::binary);
            const std::string bytes { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
            if (!in.good() && !in.eof()) {
                std::fprintf(stderr, "%s: cannot read %s\n", argv[0], file.c_str());
                return 1;
            }
            std::fprintf(stderr, "%s\n", file.c_str());
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
            ++total;
        }
    }
    std::printf("%zu inputs replayed\n", total);
    return 0;
}
