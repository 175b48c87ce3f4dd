// A whole seqconv conversion on a pair of banks taken from one buffer:
//   byte 0: flag bits (3 p s c l), bytes 1-2: length of the instrument bank,
//   then the instrument bank, then the sequence bank.
// The banks are handed over as files in a RAM-backed directory, as the
// program reads paths; the outputs go to memory.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "seqconv/seqconv_driver.h"
#include "seqconv/seqconv_run.h"

namespace {

std::string scratchPath(const char* name) {
    static const std::string dir = [] {
        char pattern[] = "/dev/shm/seqconv-fuzz-XXXXXX";
        const char* made = mkdtemp(pattern);
        return std::string(made ? made : "/tmp");
    }();
    return dir + "/" + name;
}

void writeFile(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
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
    writeFile(seqPath, data + 3 + instrumentSize, size - 3 - instrumentSize);

    MemoryFileSystem files;
    auto run = std::make_unique<SeqconvRun>();
    run->out = devNull;
    run->files = &files;
    std::string program = "seqconv", out = "out";
    const char* argv[] = {program.c_str(), seqPath.c_str(), insPath.c_str(), out.c_str(), flags.c_str()};
    const int argc = (data[0] & 0x20) ? 4 : 5;
    if (runSeqconv(*run, argc, argv) != 0) __builtin_trap();
    return 0;
}
