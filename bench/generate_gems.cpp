// Generates large GEMS sequence banks and a matching instrument bank, for benchmarks.
//   generate_gems songs <songs> <length> <sequences> <instruments>
//       <songs> songs of 8-16 channels: a tempo, patches and volumes, a short intro,
//       then an infinite loop per channel whose length (2 to 16 bars) differs from
//       channel to channel. Every loop starts at the same bar, so the loops line
//       up (flag c) after the least common multiple of their lengths.
//   generate_gems play <songs> <length> <sequences> <instruments>
//       the same main songs, plus one song in four a short "layer" song; the main
//       songs start layers with command 0x6B (flag s), in the intro and inside
//       their loops, and some layers start further layers.
// <length> multiplies every intro and loop (1 = realistic lengths); it scales the
// events of a song linearly. Channel pointers are 3 bytes wide: run seqconv with
// flag 3. The output is deterministic for given arguments.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/byte_order.h"
#include "builders/gems_bank_builder.h"

namespace {

struct Rng {
    uint32_t s = 0x2545F491;
    uint32_t next() {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return s;
    }
    int below(int n) { return static_cast<int>(next() % static_cast<uint32_t>(n)); }
};

constexpr int kTicksPerBar = 96;  // 24 ticks per quarter note, 4/4
// Loop lengths in bars: all divide 48, so the loops of a song line up within 48 bars.
constexpr int kLoopBars[] = {2, 3, 4, 6, 8, 12, 16};
constexpr int kLoopBarChoices = sizeof kLoopBars / sizeof kLoopBars[0];

// Instrument bank: patch numbers by type.
constexpr int kFmPatches = 48;
constexpr int kFirstDacPatch = kFmPatches;  // type 1
constexpr int kDacPatches = 6;
constexpr int kFirstPsgPatch = kFirstDacPatch + kDacPatches;  // type 2
constexpr int kPsgPatches = 4;
constexpr int kNoisePatch = kFirstPsgPatch + kPsgPatches;  // type 3
constexpr int kPatchCount = kNoisePatch + 1;
constexpr size_t kFmPatchSize = 39;  // type byte and the 38 bytes of a GEMS FM patch

// What a channel plays: a drum part on the DAC, a bass or lead line, chords or a PSG part.
enum class Role { kDrums, kBass, kLead, kPad, kPsg };

// Note lengths in ticks that the roles pick from (16th, 8th, dotted 8th, quarter, half, whole).
constexpr int kStepsDrums[] = {6, 6, 12};
constexpr int kStepsBass[] = {12, 12, 24, 6};
constexpr int kStepsLead[] = {6, 12, 18, 24, 12, 48};
constexpr int kStepsPad[] = {48, 96, 96, 192};

int stepFor(Rng& rng, Role role) {
    switch (role) {
        case Role::kDrums: return kStepsDrums[rng.below(3)];
        case Role::kBass: return kStepsBass[rng.below(4)];
        case Role::kPad: return kStepsPad[rng.below(4)];
        default: return kStepsLead[rng.below(6)];
    }
}

int noteFor(Rng& rng, Role role, int base) {
    switch (role) {
        case Role::kDrums: return rng.below(4);  // a few DAC keys per drum patch
        case Role::kBass: return 24 + base + rng.below(12);
        case Role::kPad: return 36 + base + rng.below(12);
        default: return 48 + base + rng.below(24);
    }
}

// Notes, rests, patch, volume and pitch changes filling exactly `ticks` ticks.
// Delay and duration bytes are written only when they change, as a driver's
// compiler does.
struct PhraseWriter {
    GemsChannelBuilder& ch;
    Rng& rng;
    Role role;
    int base;
    int lastDelay = -1;
    int lastDuration = -1;

    // Every command but the loop ones takes the delay in force, like a note:
    // a patch, volume or pitch change stands in for a rest of one step.
    void fill(int ticks) {
        while (ticks > 0) {
            int step = stepFor(rng, role);
            if (step > ticks) step = ticks;
            const int duration = role == Role::kDrums || step < 12 ? step : step - rng.below(step / 4);
            if (duration != lastDuration) {
                ch.duration(static_cast<uint32_t>(duration));
                lastDuration = duration;
            }
            if (step != lastDelay) {
                ch.delay(static_cast<uint32_t>(step));
                lastDelay = step;
            }
            const int dice = rng.below(64);
            if (dice == 0 && role == Role::kLead) {
                ch.pitch(rng.below(512) - 256);
            } else if (dice == 1) {
                ch.volume(rng.below(24));
            } else if (dice == 2 && role == Role::kLead) {
                ch.patch(rng.below(kFmPatches));
            } else if (dice < 6 && role != Role::kDrums) {
                ch.nop();
            } else {
                ch.note(noteFor(rng, role, base));
            }
            ticks -= step;
        }
    }

    // 0x6B at the current time: with delay 0 it takes no time.
    void play(int song) {
        if (lastDelay != 0) ch.delay(0);
        lastDelay = 0;
        ch.play(song);
    }
};

// Channel k of a song plays kRoles[k % 8].
constexpr Role kRoles[] = {Role::kDrums, Role::kBass, Role::kLead, Role::kPad,
                           Role::kLead,  Role::kPsg,  Role::kPad,  Role::kLead};

Role roleOf(int k) { return kRoles[k % 8]; }

int patchFor(Rng& rng, Role role) {
    switch (role) {
        case Role::kDrums: return kFirstDacPatch + rng.below(kDacPatches);
        case Role::kPsg: return rng.below(8) == 0 ? kNoisePatch : kFirstPsgPatch + rng.below(kPsgPatches);
        default: return rng.below(kFmPatches);
    }
}

// A main song: every channel plays the same number of intro bars, then loops
// forever on a body of its own length. With `layers` non-empty, channel 0
// starts those songs (0x6B): all but the last spread over the intro, the last
// one at the top of every repetition of its loop.
void mainSong(GemsSongBuilder& song, Rng& rng, int length, const std::vector<int>& layers) {
    const int channels = 8 + rng.below(9);
    const int introTicks = (1 + rng.below(4)) * length * kTicksPerBar;
    const int base = rng.below(12);
    for (int k = 0; k < channels; ++k) {
        GemsChannelBuilder& ch = song.channel();
        const Role role = roleOf(k);
        // At channel start the delay is 0: these take no time.
        if (k == 0) ch.tempo(60 + rng.below(100));
        ch.priority(rng.below(128)).patch(patchFor(rng, role)).volume(rng.below(16));
        PhraseWriter phrase{ch, rng, role, base};
        phrase.lastDelay = 0;
        const int introStarts = k == 0 && !layers.empty() ? static_cast<int>(layers.size()) - 1 : 0;
        if (introStarts > 0) {
            const int slot = introTicks / introStarts;
            for (int i = 0; i < introStarts; ++i) {
                phrase.play(layers[static_cast<size_t>(i)]);
                phrase.fill(i + 1 < introStarts ? slot : introTicks - slot * (introStarts - 1));
            }
        } else {
            phrase.fill(introTicks);
        }
        ch.loopForever();
        // The delay in force at the top of a repetition is the body's last one:
        // write the body's first delay and duration whatever came before.
        phrase.lastDelay = phrase.lastDuration = -1;
        if (k == 0 && !layers.empty()) phrase.play(layers.back());
        phrase.fill(kLoopBars[rng.below(kLoopBarChoices)] * length * kTicksPerBar);
        ch.eol().eos();
    }
}

// A layer started by 0x6B: two to four channels of a bar or two, some with a
// loop of their own, some starting a further layer.
void layerSong(GemsSongBuilder& song, Rng& rng, int length, int furtherLayer) {
    const int channels = 2 + rng.below(3);
    for (int k = 0; k < channels; ++k) {
        GemsChannelBuilder& ch = song.channel();
        const Role role = roleOf(k + 2);
        ch.patch(patchFor(rng, role)).volume(rng.below(32));
        PhraseWriter phrase{ch, rng, role, rng.below(12)};
        phrase.lastDelay = 0;
        if (k == 0 && furtherLayer >= 0) phrase.play(furtherLayer);
        phrase.fill((1 + rng.below(2)) * length * kTicksPerBar);
        if (rng.below(3) == 0) {
            ch.loopForever();
            phrase.lastDelay = phrase.lastDuration = -1;
            phrase.fill(kLoopBars[rng.below(3)] * length * kTicksPerBar);
            ch.eol();
        }
        ch.eos();
    }
}

std::vector<uint8_t> instrumentBank(Rng& rng) {
    std::vector<std::vector<uint8_t>> patches;
    for (int p = 0; p < kPatchCount; ++p) {
        std::vector<uint8_t> data;
        if (p < kFirstDacPatch) {
            data.push_back(0);  // FM
            for (size_t i = 1; i < kFmPatchSize; ++i) data.push_back(static_cast<uint8_t>(rng.below(128)));
        } else if (p < kFirstPsgPatch) {
            data = {1, static_cast<uint8_t>(p - kFirstDacPatch), 0x00, 0x10, 0x00};  // DAC: sample number, rate
        } else if (p < kNoisePatch) {
            data = {2, 0x00, 0x0F, 0x04, 0x02, 0x00};  // PSG tone envelope
        } else {
            data = {3, 0x04, 0x0F, 0x02, 0x01, 0x00};  // PSG noise
        }
        patches.push_back(data);
    }
    std::vector<uint8_t> out;
    size_t offset = 2 * patches.size();
    for (const auto& patch : patches) {
        appendLe16(out, static_cast<uint16_t>(offset));
        offset += patch.size();
    }
    for (const auto& patch : patches) out.insert(out.end(), patch.begin(), patch.end());
    return out;
}

bool writeFile(const char* path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path, "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    const bool play = argc == 6 && std::strcmp(argv[1], "play") == 0;
    if (argc != 6 || (!play && std::strcmp(argv[1], "songs") != 0)) {
        std::printf("usage: generate_gems songs|play <songs> <length> <sequences> <instruments>\n");
        return 1;
    }
    const int songs = std::atoi(argv[2]);
    const int length = std::atoi(argv[3]);
    // Song table entries and song headers must stay below 64 KiB; 0x6B names songs 0..255.
    if (songs < 1 || songs > 1200 || (play && songs > 256) || length < 1 || length > 64) {
        std::printf("songs must be 1..1200 (1..256 for play), length 1..64\n");
        return 1;
    }
    Rng rng;
    GemsBankBuilder bank;
    bank.threeBytePointers();
    const int firstLayer = play ? songs - songs / 4 : songs;
    for (int s = 0; s < songs; ++s) {
        GemsSongBuilder& song = bank.song();
        if (s < firstLayer) {
            std::vector<int> layers;
            if (play && firstLayer < songs) {
                const int count = 2 + rng.below(4);
                for (int i = 0; i < count; ++i) layers.push_back(firstLayer + rng.below(songs - firstLayer));
            }
            mainSong(song, rng, length, layers);
        } else {
            // The first half of the layers may start one of the second half.
            const int half = firstLayer + (songs - firstLayer) / 2;
            const int further = s < half && rng.below(2) == 0 ? half + rng.below(songs - half) : -1;
            layerSong(song, rng, length, further);
        }
    }
    const std::vector<uint8_t> sequences = bank.bytes();
    if (sequences.size() >= (1u << 24)) {
        std::printf("bank too large for 3-byte pointers: %zu bytes\n", sequences.size());
        return 1;
    }
    if (!writeFile(argv[4], sequences) || !writeFile(argv[5], instrumentBank(rng))) {
        std::printf("cannot write the output files\n");
        return 1;
    }
    std::printf("%s: %zu bytes, %d songs\n", argv[4], sequences.size(), songs);
    return 0;
}
