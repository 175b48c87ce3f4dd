#include "tonepick/instruments/patch_files.h"

#include <array>
#include <cstdio>
#include <memory>
#include <string>

#include "common/output_files.h"
#include "tonepick/instruments/instrument_formats.h"
#include "tonepick/tonepick_run.h"

namespace {

std::string patchFileName(size_t index, const std::string& extension) {
    std::array<char, 32> number{};
    std::snprintf(number.data(), number.size(), "patch_%02zu.", index);
    return std::string(number.data()) + extension;
}

}  // namespace

void writePatchFiles(TonepickRun& run) {
    const int type = run.settings.formatIndex;
    const int size = instrumentTypeSize(type);
    if (size == 0) return;
    std::array<uint8_t, kMaxInstrumentSize> buffer{};
    const std::vector<PatchRecord>& patches = run.patches.patches;
    for (size_t i = 0; i < patches.size(); ++i) {
        const std::string path =
            joinOutputPath(run.settings.outputDir, patchFileName(i, run.settings.patchExtension));
        std::unique_ptr<OutputFile> file = run.files->create(path);
        if (!file) {
            std::fprintf(run.out, "Error: Can't create file \"%s\"\n", path.c_str());
            continue;
        }
        writeInstrument(patches[i], type, buffer.data());
        if (file->write(buffer.data(), static_cast<size_t>(size)) != static_cast<size_t>(size) || !file->flush()) {
            std::fprintf(run.out, "Error: Can't write file \"%s\"\n", path.c_str());
        }
    }
}
