// Generates large VGM files shaped like real Mega Drive logs, for benchmarks.
//   generate_vgm dense <megabytes> <output>   FM on both ports, PSG, waits of every kind,
//                                               drums streamed from a PCM block via 0x80-0x8F
//   generate_vgm dac <megabytes> <output>     mostly direct 0x52 0x2A DAC writes
// The output is deterministic for given arguments.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "builders/vgm_builder.h"

namespace {

// Small deterministic generator (xorshift), so runs are repeatable.
struct Rng {
    uint32_t s = 0x12345678;
    uint32_t next() {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return s;
    }
    int below(int n) { return static_cast<int>(next() % static_cast<uint32_t>(n)); }
};

constexpr int kInstruments = 40;

// Writes a full instrument (all operator registers, algorithm, panning) to channel ch.
void setInstrument(VgmBuilder& v, int ch, int instrument) {
    const int port = ch / 3, sub = ch % 3;
    for (int op = 0; op < 4; ++op) {
        const int off = sub + op * 4;
        const int seed = instrument * 7 + op;
        v.ym(port, 0x30 + off, (seed * 13) & 0x7F);
        v.ym(port, 0x40 + off, (seed * 5) & 0x7F);
        v.ym(port, 0x50 + off, 0x1F | ((seed & 3) << 6));
        v.ym(port, 0x60 + off, (seed * 3) & 0x9F);
        v.ym(port, 0x70 + off, seed & 0x1F);
        v.ym(port, 0x80 + off, (seed * 11) & 0xFF);
        v.ym(port, 0x90 + off, 0);
    }
    v.ym(port, 0xB0 + sub, instrument & 0x3F);
    v.ym(port, 0xB4 + sub, 0xC0);
}

// A drum-like sample: a decaying pseudo-random wave, unsigned 8-bit.
std::vector<uint8_t> drum(int length, Rng& rng) {
    std::vector<uint8_t> d(static_cast<size_t>(length));
    for (int i = 0; i < length; ++i) {
        const int amplitude = 120 * (length - i) / length + 4;
        d[static_cast<size_t>(i)] = static_cast<uint8_t>(128 + rng.below(2 * amplitude + 1) - amplitude);
    }
    return d;
}

constexpr int kFrameSamples = 735;  // one 60 Hz frame at 44100 Hz
constexpr int kDrums = 8;

// The rest of a frame as one of the many ways drivers and loggers write waits.
void frameWait(VgmBuilder& v, Rng& rng, int samples) {
    if (samples <= 0) return;
    if (samples == kFrameSamples && rng.below(2) == 0) {
        v.raw({0x62});
        return;
    }
    switch (rng.below(3)) {
        case 0:
            v.wait(static_cast<uint32_t>(samples));
            break;
        case 1:  // split around short waits
            while (samples > 16) {
                const int piece = samples > 300 ? 100 + rng.below(200) : samples - 16;
                v.wait(static_cast<uint32_t>(piece));
                samples -= piece;
            }
            v.raw({static_cast<uint8_t>(0x70 + samples - 1)});
            break;
        default:
            while (samples > 0) {
                const int piece = samples >= 16 ? 16 : samples;
                v.raw({static_cast<uint8_t>(0x70 + piece - 1)});
                samples -= piece;
                if (samples > 64) {
                    v.wait(static_cast<uint32_t>(samples - 32));
                    samples = 32;
                }
            }
            break;
    }
}

// Frames of music: FM on both ports with key-ons every few milliseconds across
// six channels and 40 instruments, volume and vibrato writes while notes hold,
// PSG tones and envelopes, and drums streamed from the PCM block through
// 0x80-0x8F after a 0xE0 seek, each drum between a DAC switch-on and switch-off.
void dense(VgmBuilder& v, size_t targetBytes) {
    Rng rng;
    // 0x64 redefines the 0x62 wait as the same 735 samples, as some loggers do.
    v.raw({0x64, 0x62, kFrameSamples & 0xFF, kFrameSamples >> 8});
    // An early PCM block superseded by the real one, and a block of another
    // type: only the last type 0x00 block feeds 0x80-0x8F.
    v.dataBlock(0x00, drum(4096, rng));
    v.dataBlock(0x01, drum(2048, rng));
    std::vector<uint8_t> pcm;
    uint32_t drumStart[kDrums];
    int drumLength[kDrums];
    for (int d = 0; d < kDrums; ++d) {
        drumStart[d] = static_cast<uint32_t>(pcm.size());
        drumLength[d] = 1500 + rng.below(3500);
        const std::vector<uint8_t> one = drum(drumLength[d], rng);
        pcm.insert(pcm.end(), one.begin(), one.end());
    }
    v.dataBlock(0x00, pcm);

    int current[6] = {-1, -1, -1, -1, -1, -1};
    bool sounding[6] = {};
    int drumLeft = 0;  // bytes of the drum being streamed
    while (v.commands().size() < targetBytes) {
        for (int ch = 0; ch < 6; ++ch) {
            const int port = ch / 3, sub = ch % 3;
            if (rng.below(3) == 0) {
                if (sounding[ch]) v.keyOff(ch);
                if (rng.below(4) == 0) {
                    const int instrument = rng.below(kInstruments);
                    if (instrument != current[ch]) setInstrument(v, ch, instrument);
                    current[ch] = instrument;
                }
                v.frequency(ch, 2 + rng.below(4), 600 + rng.below(700));
                v.keyOn(ch, 0xF0);
                sounding[ch] = true;
            } else if (sounding[ch]) {
                v.ym(port, 0xA4 + sub, 0x22);  // vibrato
                v.ym(port, 0xA0 + sub, rng.below(256));
                v.ym(port, 0x4C + sub, rng.below(40));  // volume envelope
            }
        }
        for (int c = 0; c < 3; ++c) {
            if (rng.below(4) == 0) {
                v.psg(static_cast<uint8_t>(0x80 | (c << 5) | rng.below(16)));
                v.psg(static_cast<uint8_t>(rng.below(64)));
            }
            v.psg(static_cast<uint8_t>(0x90 | (c << 5) | rng.below(16)));
        }
        if (rng.below(8) == 0) v.psg(static_cast<uint8_t>(0xE0 | rng.below(8)));
        v.psg(static_cast<uint8_t>(0xF0 | rng.below(16)));

        if (drumLeft == 0 && rng.below(8) == 0) {
            const int d = rng.below(kDrums);
            v.ym(0, 0x2B, 0x80);
            v.pcmSeek(drumStart[d]);
            drumLeft = drumLength[d];
        }
        int samples = kFrameSamples;
        if (drumLeft > 0) {
            // About 14.7 kHz: a byte every three samples, now and then two or four.
            while (drumLeft > 0 && samples > 4) {
                const int wait = 2 + (rng.below(8) == 0 ? rng.below(3) : 1);
                v.pcmWrite(wait);
                samples -= wait;
                --drumLeft;
            }
            if (drumLeft == 0) v.ym(0, 0x2B, 0x00);
        }
        frameWait(v, rng, samples);
    }
}

// Mostly direct DAC writes (0x52 0x2A) with short waits, as logs of drivers
// that feed the DAC from the Z80 look: drums and voices of a few kilobytes
// between switch-on and switch-off, now and then a stretch of several
// megabytes during which the DAC stays on, and a little FM in between.
void dacHeavy(VgmBuilder& v, size_t targetBytes) {
    Rng rng;
    int phase = 0;
    while (v.commands().size() < targetBytes) {
        v.ym(0, 0x2B, 0x80);
        const int bytes = rng.below(64) == 0 ? 1000000 + rng.below(2000000) : 1000 + rng.below(7000);
        for (int i = 0; i < bytes && v.commands().size() < targetBytes; ++i) {
            v.ym(0, 0x2A, 0x80 + ((phase++ * 7) % 64) - 32);
            v.raw({static_cast<uint8_t>(0x70 + rng.below(3))});
            if (i % 512 == 511) {
                v.frequency(1, 4, 644 + rng.below(600)).keyOn(1).ym(0, 0x4D, rng.below(40));
            } else if (i % 512 == 255) {
                v.keyOff(1);
            }
        }
        v.ym(0, 0x2B, 0x00);
        v.frequency(0, 4, 644 + rng.below(600)).keyOn(0).wait(100 + rng.below(400)).keyOff(0);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::printf("usage: generate_vgm dense|dac <megabytes> <output>\n");
        return 1;
    }
    const size_t target = static_cast<size_t>(std::strtod(argv[2], nullptr) * 1024 * 1024);
    VgmBuilder v(0x150);
    if (std::strcmp(argv[1], "dac") == 0) {
        dacHeavy(v, target);
    } else {
        dense(v, target);
    }
    v.end();
    const std::vector<uint8_t> bytes = v.bytes();
    FILE* f = std::fopen(argv[3], "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
        std::printf("cannot write %s\n", argv[3]);
        return 1;
    }
    std::fclose(f);
    std::printf("%s: %zu bytes\n", argv[3], bytes.size());
    return 0;
}
