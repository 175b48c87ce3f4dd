// A whole seqconv conversion on a pair of banks taken from one buffer:
//   byte 0: flag bits 0..4 = '3' 'p' 's' 'c' 'l'; bit 5 leaves the flags
//           argument out altogether;
//   bytes 1-2: length of the instrument bank (little-endian, cut to what is
//           there), then the instrument bank, then the sequence bank.
// The first song-table entry (which also counts the songs) is capped at 64
// songs: every song is converted alike, and tens of thousands of them would
// only make one execution take a minute.
// The run-wide work budget is charged in advance so that one execution
// interprets at most kFuzzRecords records and kFuzzBytes bytes: the full
// bounds make a hostile bank take seconds under the sanitizers, and the
// fuzzer learns nothing more from the millionth identical loop. Reaching
// these bounds exercises the same exhaustion paths as the real ones.
// The banks are handed over as files in a RAM-backed directory, as the
// program reads paths; the outputs go to memory. Beyond the sanitizers, the
// harness checks that the exit status is 0 and that every file lies in the
// output directory.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "seqconv/seqconv_driver.h"
#include "seqconv/seqconv_run.h"
#include "tests/support/memory_file_system.h"

namespace {

constexpr uint32_t kMaxFirstEntry = 2 * 64;
constexpr int64_t kFuzzRecords = 20'000;
constexpr int64_t kFuzzBytes = 400'000;

std::string& scratchDir() {
    static std::string dir;
    return dir;
}

// The two bank files and their directory go when the fuzzer exits.
void removeScratch() {
    const std::string& dir = scratchDir();
    if (dir.empty() || dir == "/tmp") return;
    std::remove((dir + "/seq.bin").c_str());
    std::remove((dir + "/ins.bin").c_str());
    rmdir(dir.c_str());
}

std::string scratchPath(const char* name) {
    std::string& dir = scratchDir();
    if (dir.empty()) {
        char pattern[] = "/dev/shm/seqconv-fuzz-XXXXXX";
        const char* made = mkdtemp(pattern);
        if (made == nullptr) {
            char fallback[] = "/tmp/seqconv-fuzz-XXXXXX";
            made = mkdtemp(fallback);
        }
        dir = made != nullptr ? made : "/tmp";
        std::atexit(removeScratch);
    }
    return dir + "/" + name;
}

void writeFile(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) __builtin_trap();  // the harness itself cannot work
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    static FILE* devNull = std::fopen("/dev/null", "w");
    const char letters[] = {'3', 'p', 's', 'c', 'l'};
    std::string flags;
    for (int i = 0; i < 5; ++i)
        if (data[0] & (1 << i)) flags += letters[i];
    size_t instrumentSize = static_cast<size_t>(data[1] | (data[2] << 8));
    if (instrumentSize > size - 3) instrumentSize = size - 3;
    const std::string seqPath = scratchPath("seq.bin");
    const std::string insPath = scratchPath("ins.bin");
    writeFile(insPath, data + 3, instrumentSize);
    std::vector<uint8_t> sequences(data + 3 + instrumentSize, data + size);
    if (sequences.size() >= 2 && (sequences[0] | (sequences[1] << 8)) > kMaxFirstEntry) {
        sequences[0] = static_cast<uint8_t>(kMaxFirstEntry);
        sequences[1] = 0;
    }
    writeFile(seqPath, sequences.data(), sequences.size());

    MemoryFileSystem files;
    auto run = std::make_unique<SeqconvRun>();
    run->out = devNull;
    run->files = &files;
    run->budget.runRecords = kRunRecordLimit - kFuzzRecords;
    run->budget.runBytes = kRunByteLimit - kFuzzBytes;
    const std::string program = "seqconv", out = "out";
    const char* argv[] = {program.c_str(), seqPath.c_str(), insPath.c_str(), out.c_str(), flags.c_str()};
    const int argc = (data[0] & 0x20) ? 4 : 5;
    const SeqconvExit code = runSeqconv(*run, argc, argv);
    // Files that are not banks of their kind are refused before anything is made.
    if (code == kSeqconvExitCannotStart) {
        if (!files.files.empty() || !files.createdDirectories.empty()) __builtin_trap();
        return 0;
    }
    if (code != kSeqconvExitOk) __builtin_trap();
    for (const auto& entry : files.files) {
        const std::string& path = entry.first;
        if (path.compare(0, 4, "out/") != 0 || path.find('/', 4) != std::string::npos) __builtin_trap();
    }
    return 0;
}
