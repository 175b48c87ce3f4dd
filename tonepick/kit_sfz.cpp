#include "tonepick/kit_sfz.h"

#include "common/sfz_writer.h"
#include "tonepick/instruments/wav_file.h"
#include "tonepick/midi/dac_track.h"

namespace {

constexpr int kLastNote = 127;

}  // namespace

std::string kitSfzText(uint32_t sampleCount) {
    std::string sfz;
    appendSfzComment(sfz,
                     "Drum kit of vgm.mid's DAC track (MIDI channel 10): one region per sample, on its note,\n"
                     "played one-shot at its own rate.");
    // The first sample on the last note: a note several samples share can
    // only sound one of them, so none is mapped then.
    const auto sharedFrom = static_cast<uint32_t>(kLastNote - kFirstDacNote);
    const bool shared = sampleCount > sharedFrom + 1;
    for (uint32_t n = 0; n < sampleCount && !(shared && n >= sharedFrom); ++n) {
        const int note = dacNoteOf(n);
        appendSfzRegion(sfz, {wavFileName(static_cast<int32_t>(n)), note, note, SfzLoopMode::kOneShot, 0, 0});
    }
    if (shared) {
        appendSfzComment(sfz, wavFileName(static_cast<int32_t>(sharedFrom)) + " to " +
                                  wavFileName(static_cast<int32_t>(sampleCount - 1)) +
                                  " share note 127 and have no region.");
    }
    return sfz;
}
