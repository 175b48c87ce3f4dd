#pragma once
// A tonepick run as tests set it up: its messages captured, its output files in
// a file system the test can look into or make fail (in memory unless the test
// names another), the run object on the heap. Output directory "out" and
// extension "gems" are set for conversions from memory; a run through the
// command line starts from empty settings, as main() gives them, so that
// only its arguments set them.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/memory_file_system.h"
#include "tests/support/output_capture.h"
#include "tonepick/tonepick_driver.h"
#include "tonepick/tonepick_run.h"

template <typename Files = MemoryFileSystem>
struct TonepickTestRunOn {
    OutputCapture out;
    Files files;
    std::unique_ptr<TonepickRun> owned = std::make_unique<TonepickRun>();
    TonepickRun& run = *owned;
    int exitCode = -1;  // of the last start() or convert(), -1 before

    TonepickTestRunOn() {
        run.out = out.file();
        run.files = &files;
        run.settings.outputDir = "out";
        run.settings.patchExtension = "gems";
    }

    // The program with these arguments after its name.
    TonepickExit start(const std::vector<std::string>& args) {
        std::vector<const char*> argv{"tonepick"};
        for (const std::string& a : args) argv.push_back(a.c_str());
        run.settings = TonepickSettings{};
        const TonepickExit code = runTonepick(run, static_cast<int>(argv.size()), argv.data());
        exitCode = code;
        return code;
    }

    // The conversion of `vgm` with the settings as they are.
    TonepickExit convert(const std::vector<uint8_t>& vgm) {
        const TonepickExit code = convertVgmBytes(run, vgm.data(), vgm.size());
        exitCode = code;
        return code;
    }

    std::string text() { return out.text(); }
};

using TonepickTestRun = TonepickTestRunOn<>;
