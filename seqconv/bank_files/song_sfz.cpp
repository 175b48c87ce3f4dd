#include "seqconv/bank_files/song_sfz.h"

#include <cstdio>

#include "common/sfz_writer.h"

namespace {

SfzLoopMode loopModeOf(const DacKeySample& k) {
    if (k.loop.looping) return SfzLoopMode::kLoopContinuous;
    // The driver stops a cut sample at note-off, which is the players' default.
    if (k.cutAtNoteOff) return SfzLoopMode::kNoLoop;
    return SfzLoopMode::kOneShot;
}

}  // namespace

std::string buildSongSfz(int32_t song, const std::vector<DacKeySample>& keys) {
    std::string sfz;
    char line[160];
    std::snprintf(line, sizeof line,
                  "Song %03d: the DAC samples of %03d.mid, keys 48 and up.\n"
                  "Load it on the MIDI channel of the track named \"Patch XX(DAC)\".",
                  static_cast<int>(song), static_cast<int>(song));
    appendSfzComment(sfz, line);
    for (const DacKeySample& k : keys) {
        const auto patch = static_cast<unsigned>(k.dacKey >> 8);
        const auto note = static_cast<unsigned>(k.dacKey & 0xFF);
        if (k.problem != SampleProblem::kNone) {
            std::snprintf(line, sizeof line, "key %d: DAC %02X %02X plays sample %d: no file (%s)",
                          static_cast<int>(k.midiKey), patch, note, static_cast<int>(k.header),
                          sampleProblemText(k.problem));
            appendSfzComment(sfz, line);
            continue;
        }
        std::snprintf(line, sizeof line, "key %d: DAC %02X %02X, sample %d at %u Hz", static_cast<int>(k.midiKey),
                      patch, note, static_cast<int>(k.header), static_cast<unsigned>(k.rate));
        appendSfzComment(sfz, line);
        SfzRegion region;
        region.sample = k.file;
        region.key = k.midiKey;
        region.pitchKeycenter = k.midiKey;
        region.loopMode = loopModeOf(k);
        region.loopStart = k.loop.firstFrame;
        region.loopEnd = k.loop.lastFrame;
        appendSfzRegion(sfz, region);
    }
    return sfz;
}
