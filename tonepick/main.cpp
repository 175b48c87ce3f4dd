#include <cstdio>

#if __has_include(<unistd.h>)
#include <unistd.h>
#define TONEPICK_HAS_ISATTY 1
#endif

#include "tonepick/tonepick_driver.h"
#include "tonepick/tonepick_run.h"

namespace {

// A long VGM prints a line per unhandled command; when the output goes to a
// file or a pipe, collect it in a large buffer instead of a write per line.
void bufferStdoutUnlessTerminal() {
#ifdef TONEPICK_HAS_ISATTY
    if (isatty(fileno(stdout))) return;
#endif
    std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
}

// The progress line of a pack run goes to standard error, and only to a terminal.
std::FILE* progressTerminal() {
#ifdef TONEPICK_HAS_ISATTY
    if (isatty(fileno(stderr))) return stderr;
#endif
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    bufferStdoutUnlessTerminal();
    DiskFileSystem disk;
    TonepickRun run;
    run.files = &disk;
    run.progress = progressTerminal();
    const TonepickExit code = runTonepick(run, argc, argv);
    std::fflush(stdout);
    return static_cast<int>(code);
}
