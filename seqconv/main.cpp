#include <memory>

#include "seqconv/seqconv_driver.h"
#include "seqconv/seqconv_run.h"

int main(int argc, char** argv) {
    DiskFileSystem disk;
    auto run = std::make_unique<SeqconvRun>();  // the instrument bank is 64 KiB: keep it off the stack
    run->files = &disk;
    return runSeqconv(*run, argc, argv);
}
