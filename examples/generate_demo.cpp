// Writes the demo tune (see demo_tune.h) to the file named on the command line.
// The committed examples/demo.vgm was made with: generate_demo examples/demo.vgm

#include <cstdio>

#include "examples/demo_tune.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::printf("Usage: generate_demo output.vgm\n");
        return 1;
    }
    const auto bytes = buildDemoVgm();
    std::FILE* f = std::fopen(argv[1], "wb");
    if (f == nullptr) {
        std::printf("Error: Can't create file \"%s\"\n", argv[1]);
        return 1;
    }
    const size_t written = std::fwrite(bytes.data(), 1, bytes.size(), f);
    const bool closed = std::fclose(f) == 0;
    if (written != bytes.size() || !closed) {
        std::printf("Error: Can't write file \"%s\"\n", argv[1]);
        return 1;
    }
    std::printf("Wrote %zu bytes to %s\n", bytes.size(), argv[1]);
    return 0;
}
