#include <cstdio>
#include <memory>

#if defined(_WIN32)
#include <io.h>
#define SEQCONV_ISATTY(stream) _isatty(_fileno(stream))
#else
#include <unistd.h>
#define SEQCONV_ISATTY(stream) isatty(fileno(stream))
#endif

#include "seqconv/seqconv_driver.h"
#include "seqconv/seqconv_run.h"

int main(int argc, char** argv) {
    // The trace of flag 'l' is one short line per byte-code byte: when it goes
    // to a file or pipe, buffer it fully instead of line by line.
    if (!SEQCONV_ISATTY(stdout)) std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
    DiskFileSystem disk;
    auto run = std::make_unique<SeqconvRun>();  // the instrument bank is 64 KiB: keep it off the stack
    run->files = &disk;
    return static_cast<int>(runSeqconv(*run, argc, argv));
}
