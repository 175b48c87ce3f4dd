#include "tonepick/kit_sfz.h"

#include <algorithm>
#include <cstdio>

#include "common/sfz_writer.h"
#include "tonepick/instruments/wav_file.h"
#include "tonepick/midi/dac_track.h"

namespace {

constexpr int kLastNote = 127;
constexpr uint32_t kSharedFrom = kLastNote - kFirstDacNote;  // the first sample on the last note
constexpr uint16_t kPercussionBank = 128;

}  // namespace

uint32_t kitMappedSampleCount(uint32_t sampleCount) {
    // A note several samples share can only sound one of them: none is mapped then.
    return sampleCount > kSharedFrom + 1 ? kSharedFrom : sampleCount;
}

std::string kitSfzText(uint32_t sampleCount) {
    std::string sfz;
    appendSfzComment(sfz,
                     "Drum kit of vgm.mid's DAC track (MIDI channel 10): one region per sample, on its note,\n"
                     "played one-shot at its own rate.");
    const uint32_t mapped = kitMappedSampleCount(sampleCount);
    for (uint32_t n = 0; n < mapped; ++n) {
        const int note = dacNoteOf(n);
        appendSfzRegion(sfz, {wavFileName(static_cast<int32_t>(n)), note, note, SfzLoopMode::kOneShot, 0, 0});
    }
    if (mapped < sampleCount) {
        appendSfzComment(sfz, wavFileName(static_cast<int32_t>(mapped)) + " to " +
                                  wavFileName(static_cast<int32_t>(sampleCount - 1)) +
                                  " share note 127 and have no region.");
    }
    return sfz;
}

Sf2Bank kitSf2Bank(const std::vector<uint64_t>& bytes, const std::vector<uint32_t>& rates) {
    Sf2Bank bank;
    bank.name = "tonepick drum kit";
    bank.presetName = "DAC kit";
    bank.bank = kPercussionBank;
    bank.preset = 0;
    const uint32_t mapped = kitMappedSampleCount(static_cast<uint32_t>(bytes.size()));
    for (uint32_t n = 0; n < mapped; ++n) {
        const auto note = static_cast<uint8_t>(dacNoteOf(n));
        Sf2Sample s;
        char name[24];
        std::snprintf(name, sizeof name, "sample_%03u", static_cast<unsigned>(n));
        s.name = name;
        s.frames = static_cast<uint32_t>(std::min<uint64_t>(bytes[n], UINT32_MAX));
        s.rate = rates[n];
        s.originalPitch = note;
        bank.samples.push_back(s);
        bank.zones.push_back(Sf2Zone{note, note, static_cast<uint16_t>(n), false, 0});
    }
    return bank;
}
