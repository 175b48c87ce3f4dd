#include "seqconv/bank_files/song_sf2.h"

#include <cstdio>
#include <string>

namespace {

// A release of this many times the sample's length: the player fades a
// released voice linearly in decibels down to silence over the release time,
// so the sample, which ends its voice by itself, loses at most 96 dB / 16 =
// 6 dB by its last point, as the driver plays it to its end at full level.
constexpr double kReleasePerLength = 16.0;
constexpr int32_t kLastMidiKey = 127;

std::string sampleName(const DacKeySample& k) {
    // "sample_NN_CC_kKK": the WAV file's stem and the key, 19 characters at most.
    std::string stem = k.file.substr(0, k.file.rfind('.'));
    char key[8];
    std::snprintf(key, sizeof key, "_k%d", static_cast<int>(k.midiKey));
    return stem + key;
}

}  // namespace

SongSf2 buildSongSf2(int32_t song, const std::vector<DacKeySample>& keys) {
    SongSf2 sf2;
    char name[40];
    std::snprintf(name, sizeof name, "seqconv song %03d", static_cast<int>(song));
    sf2.bank.name = name;
    std::snprintf(name, sizeof name, "Song %03d DAC", static_cast<int>(song));
    sf2.bank.presetName = name;
    sf2.bank.bank = 0;
    sf2.bank.preset = 0;
    for (const DacKeySample& k : keys) {
        // MIDI has no key past 127 to put a zone on.
        if (k.problem != SampleProblem::kNone || k.midiKey > kLastMidiKey) continue;
        const auto key = static_cast<uint8_t>(k.midiKey);
        Sf2Sample s;
        s.name = sampleName(k);
        s.frames = k.frames;
        s.rate = k.rate;
        s.originalPitch = key;
        s.hasLoop = k.loop.looping;
        s.loopStart = k.loop.firstFrame;
        s.loopEnd = k.loop.lastFrame + 1;  // the format names the point after the loop
        Sf2Zone z{key, key, static_cast<uint16_t>(sf2.bank.samples.size()), k.loop.looping, 0};
        if (!k.loop.looping && !k.cutAtNoteOff && k.rate > 0)
            z.releaseSeconds = kReleasePerLength * static_cast<double>(k.frames) / static_cast<double>(k.rate);
        sf2.bank.samples.push_back(s);
        sf2.bank.zones.push_back(z);
        sf2.headers.push_back(k.header);
    }
    return sf2;
}
