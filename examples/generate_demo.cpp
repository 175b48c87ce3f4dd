// Writes the demo inputs into the directory named on the command line:
//   demo.vgm               the tune for tonepick (demo_tune.h)
//   demo_sequences.bin     the GEMS sequence bank for seqconv (demo_bank.h)
//   demo_instruments.bin   its GEMS instrument bank
// The committed files in examples/ were made with: generate_demo examples

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "examples/demo_bank.h"
#include "examples/demo_tune.h"

namespace {

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        std::printf("Error: Can't create file \"%s\"\n", path.c_str());
        return false;
    }
    const size_t written = std::fwrite(bytes.data(), 1, bytes.size(), f);
    const bool closed = std::fclose(f) == 0;
    if (written != bytes.size() || !closed) {
        std::printf("Error: Can't write file \"%s\"\n", path.c_str());
        return false;
    }
    std::printf("Wrote %zu bytes to %s\n", bytes.size(), path.c_str());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::printf("Usage: generate_demo output_dir\n");
        return 1;
    }
    const std::string dir = argv[1];
    bool ok = writeFile(dir + "/demo.vgm", buildDemoVgm());
    ok = writeFile(dir + "/demo_sequences.bin", buildDemoSequenceBank()) && ok;
    ok = writeFile(dir + "/demo_instruments.bin", buildDemoInstrumentBank()) && ok;
    return ok ? 0 : 1;
}
