#pragma once
// A seqconv run as tests set it up: its messages captured, its output files in
// a file system the test can look into or make fail (in memory unless the test
// names another), the run object (64 KiB of instrument bank) on the heap.

#include <memory>
#include <string>
#include <vector>

#include "seqconv/seqconv_driver.h"
#include "seqconv/seqconv_run.h"
#include "tests/support/memory_file_system.h"
#include "tests/support/output_capture.h"

template <typename Files = MemoryFileSystem>
struct SeqconvTestRunOn {
    OutputCapture out;
    Files files;
    std::unique_ptr<SeqconvRun> run = std::make_unique<SeqconvRun>();
    int exitCode = -1;  // of the last start(), -1 before

    SeqconvTestRunOn() { printTo(out); }

    // The program with these arguments after its name.
    SeqconvExit start(const std::vector<std::string>& args) {
        std::vector<const char*> argv{"seqconv"};
        for (const std::string& a : args) argv.push_back(a.c_str());
        const SeqconvExit code = runSeqconv(*run, static_cast<int>(argv.size()), argv.data());
        exitCode = code;
        return code;
    }

    // Replaces the run object by a new one printing to `printed`, on the same files.
    void freshRun(OutputCapture& printed) {
        run = std::make_unique<SeqconvRun>();
        printTo(printed);
    }

    std::string text() { return out.text(); }

private:
    void printTo(OutputCapture& printed) {
        run->out = printed.file();
        run->files = &files;
    }
};

using SeqconvTestRun = SeqconvTestRunOn<>;
