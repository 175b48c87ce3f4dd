// A whole tonepick conversion on a byte buffer: reader, both chip models,
// patch capture, the instrument format chosen by the first byte, the MIDI and
// WAV writers. Output goes to memory; messages to /dev/null.

#include <cstdint>
#include <cstdio>

#include "tonepick/instruments/instrument_formats.h"
#include "tonepick/tonepick_driver.h"
#include "tonepick/tonepick_run.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static FILE* devNull = std::fopen("/dev/null", "w");
    MemoryFileSystem files;
    files.requireDirectories = (data[0] & 0x80) != 0;
    auto run = std::make_unique<TonepickRun>();
    run->out = devNull;
    run->files = &files;
    run->settings.formatIndex = data[0] % kInstrumentTypeCount;
    run->settings.patchExtension = instrumentTypeName(run->settings.formatIndex);
    run->settings.outputDir = (data[0] & 0x40) ? "" : "out";
    const int code = convertVgmBytes(*run, data + 1, size - 1);
    if (code != 0 && code != 2) __builtin_trap();
    return 0;
}
