// A whole tonepick conversion on a byte buffer: reader, both chip models,
// patch capture, the instrument format chosen by the first byte, the MIDI and
// WAV writers. Output goes to memory; messages to /dev/null.
//   byte 0: bits 0..3 the format (taken modulo nine; values 9..15 also ask
//           for -i unique), bit 4 -s kit, bit 5 -m levels, bit 6 an empty
//           output directory (the current one), bit 7 a directory that must
//           exist before files can be created in it (as on a disk);
//   the rest: the VGM file (gzip data when it starts with 1F 8B, as a .vgz).
// Beyond the sanitizers, the harness checks what must hold on any input: the
// exit code is 0 or 2, every file lies in the output directory, and the bytes
// written stay within a fixed multiple of the log (decompressed, for gzip data)
// plus one byte per DAC stream write.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "common/instrument_formats/instrument_formats.h"
#include "tonepick/tonepick_driver.h"
#include "tonepick/tonepick_run.h"
#include "tonepick/vgm/buffered_input.h"
#include "tonepick/vgm/gzip_input.h"
#include "tests/support/memory_file_system.h"

namespace {

// The largest output one input byte can cause is a PSG re-strike in vgm.mid
// (two input bytes, eight MIDI bytes) or a patch file (nine input bytes, at
// most 128 file bytes); the constant covers the fixed parts of vgm.mid.
constexpr size_t kOutputPerInputByte = 32;
constexpr size_t kFixedOutput = 4096;

// Bytes of the log itself: gzip data counts by what it decompresses to.
size_t logSize(const uint8_t* data, size_t size) {
    BufferedInput in;
    openMemoryInput(in, data, size);
    if (!inflateIfGzip(in, kInflateOnDemand)) return size;
    size_t total = 0;
    while (refillInput(in)) {
        total += static_cast<size_t>(in.end - in.next);
        in.next = in.end;
    }
    return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static FILE* devNull = std::fopen("/dev/null", "w");
    const uint8_t option = data[0];
    MemoryFileSystem files;
    files.requireDirectories = (option & 0x80) != 0;
    auto run = std::make_unique<TonepickRun>();
    run->out = devNull;
    run->files = &files;
    run->settings.formatIndex = (option & 0x0F) % kInstrumentTypeCount;
    run->settings.patchExtension = instrumentTypeName(run->settings.formatIndex);
    run->settings.outputDir = (option & 0x40) ? "" : "out";
    run->settings.uniqueInstruments = (option & 0x0F) >= kInstrumentTypeCount;
    run->settings.sampleKit = (option & 0x10) != 0;
    if (option & 0x20) run->settings.midiMode = VgmMidiMode::kLevels;
    run->settings.transpose = std::clamp(((option & 0x0F) - 7) * 18, -127, 127);
    const TonepickExit code = convertVgmBytes(*run, data + 1, size - 1);
    // What is not a VGM log is refused before anything is made.
    if (code == kExitCannotStart) {
        if (!files.files.empty() || !files.createdDirectories.empty()) __builtin_trap();
        return 0;
    }
    if (code != kExitOk && code != kExitFailed) __builtin_trap();

    const std::string& dir = run->settings.outputDir;
    size_t total = 0;
    for (const auto& [path, bytes] : files.files) {
        const bool inside = dir.empty() ? path.find('/') == std::string::npos
                                        : path.compare(0, dir.size() + 1, dir + "/") == 0 &&
                                              path.find('/', dir.size() + 1) == std::string::npos;
        if (!inside) __builtin_trap();
        total += bytes.size();
    }
    // A DAC stream write costs no input byte and reaches a WAV file at most once.
    const uint64_t streamBytes = run->stream.dacStreams.writesMade;
    if (total > kFixedOutput + kOutputPerInputByte * logSize(data + 1, size - 1) + streamBytes) __builtin_trap();
    return 0;
}
