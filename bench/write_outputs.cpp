// Times creating and writing a copy of every file of a directory the way the
// tools write theirs: one fopen, one buffered stream of 64 KiB, fwrite, fclose
// per file. A log that streams its drums through the DAC yields tens of
// thousands of WAV files, and this is the floor they put under a conversion's
// wall time, whatever the conversion does, just as `cat` is the floor of
// reading its input.
//
//   write_outputs RUNS SOURCE_DIR SCRATCH_DIR
//
// Reads every regular file of SOURCE_DIR into memory first, then RUNS times:
// empties SCRATCH_DIR (untimed) and writes all copies into it (timed). Prints
// the median time in seconds and the number of files.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Copy {
    std::string path;  // in the scratch directory
    std::vector<char> bytes;
};

bool writeAll(const std::vector<Copy>& copies) {
    constexpr size_t kBufferSize = 64 * 1024;
    const std::unique_ptr<char[]> buffer(new char[kBufferSize]);
    for (const Copy& c : copies) {
        std::FILE* f = std::fopen(c.path.c_str(), "wb");
        if (f == nullptr) return false;
        std::setvbuf(f, buffer.get(), _IOFBF, kBufferSize);
        const bool ok = std::fwrite(c.bytes.data(), 1, c.bytes.size(), f) == c.bytes.size();
        if (std::fclose(f) != 0 || !ok) return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: write_outputs RUNS SOURCE_DIR SCRATCH_DIR\n");
        return 2;
    }
    const int runs = std::max(1, std::atoi(argv[1]));
    const fs::path source = argv[2];
    const fs::path scratch = argv[3];

    std::vector<Copy> copies;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(source, ec)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        Copy c{(scratch / entry.path().filename()).string(),
               std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>())};
        copies.push_back(std::move(c));
    }
    if (ec) {
        std::fprintf(stderr, "write_outputs: cannot list %s\n", source.string().c_str());
        return 1;
    }

    std::vector<double> times;
    for (int r = 0; r < runs; ++r) {
        fs::remove_all(scratch, ec);
        fs::create_directories(scratch, ec);
        const auto start = std::chrono::steady_clock::now();
        if (!writeAll(copies)) {
            std::fprintf(stderr, "write_outputs: cannot write into %s\n", scratch.string().c_str());
            return 1;
        }
        times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    fs::remove_all(scratch, ec);
    std::sort(times.begin(), times.end());
    std::printf("%.4f %zu\n", times[times.size() / 2], copies.size());
    return 0;
}
