#pragma once
// One tonepick conversion of VGM bytes held in memory, into an in-memory file
// system, with its messages collected: the fast way to throw thousands of
// hostile inputs at the whole program.

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/tonepick_test_run.h"
#include "common/instrument_formats/instrument_formats.h"

struct MemoryConversion : TonepickTestRun {
    // Converts `vgm` with instrument format `format` into directory "out".
    explicit MemoryConversion(const std::vector<uint8_t>& vgm, int format = 0, const std::string& dir = "out") {
        run.settings.formatIndex = format;
        run.settings.patchExtension = instrumentTypeName(format);
        run.settings.outputDir = dir;
        convert(vgm);
    }
    // Number of files whose name (after "out/") starts with prefix.
    size_t count(const std::string& prefix) const {
        size_t n = 0;
        for (const auto& entry : files.files)
            if (entry.first.compare(0, 4 + prefix.size(), "out/" + prefix) == 0) ++n;
        return n;
    }
    const std::vector<uint8_t>& file(const std::string& name) const { return files.at("out/" + name); }
};
