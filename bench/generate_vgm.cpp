// Generates large VGM files shaped like real Mega Drive logs, for benchmarks.
//   generate_vgm dense <megabytes> <output>   FM on both ports, PSG, waits of every kind,
//                                               DAC streamed from PCM blocks via 0x80-0x8F
//   generate_vgm dac <megabytes> <output>     mostly direct 0x52 0x2A DAC writes
// The output is deterministic for given arguments.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/vgm_builder.h"

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

std::vector<uint8_t> drum(int length, int seed) {
    std::vector<uint8_t> d(static_cast<size_t>(length));
    for (int i = 0; i < length; ++i) d[static_cast<size_t>(i)] = static_cast<uint8_t>(0x80 + ((i * seed) % 97) - 48);
    return d;
}

void dense(VgmBuilder& v, size_t targetBytes) {
    Rng rng;
    const int blockLengths[4] = {6000, 9000, 12000, 16000};
    uint32_t blockStart[4];
    uint32_t at = 0;
    for (int b = 0; b < 4; ++b) {
        blockStart[b] = at;
        at += static_cast<uint32_t>(blockLengths[b]);
    }
    // Several PCM blocks; only the last one stored is the PCM source, so the
    // seeks address offsets inside it.
    for (int b = 0; b < 4; ++b) v.dataBlock(0x00, drum(blockLengths[b], b + 3));
    int current[6] = {-1, -1, -1, -1, -1, -1};
    bool sounding[6] = {};
    while (v.commands().size() < targetBytes) {
        // One 60 Hz frame, split into pieces by different kinds of wait.
        for (int ch = 0; ch < 6; ++ch) {
            const int port = ch / 3, sub = ch % 3;
            if (rng.below(4) == 0) {
                if (sounding[ch]) v.keyOff(ch);
                const int instrument = rng.below(kInstruments);
                if (instrument != current[ch]) setInstrument(v, ch, instrument);
                current[ch] = instrument;
                v.frequency(ch, 2 + rng.below(4), 600 + rng.below(700));
                v.keyOn(ch, 0xF0);
                sounding[ch] = true;
            } else if (sounding[ch]) {
                // vibrato and volume
                v.ym(port, 0xA4 + sub, 0x22);
                v.ym(port, 0xA0 + sub, rng.below(256));
                v.ym(port, 0x4C + sub, rng.below(40));
            }
        }
        for (int c = 0; c < 3; ++c) {
            v.psg(static_cast<uint8_t>(0x80 | (c << 5) | rng.below(16)));
            v.psg(static_cast<uint8_t>(rng.below(64)));
            v.psg(static_cast<uint8_t>(0x90 | (c << 5) | rng.below(16)));
        }
        v.psg(static_cast<uint8_t>(0xE0 | rng.below(8)));
        v.psg(static_cast<uint8_t>(0xF0 | rng.below(16)));
        switch (rng.below(4)) {
            case 0: {  // a drum hit streamed from the PCM block
                const int b = rng.below(4);
                v.ym(0, 0x2B, 0x80);
                v.pcmSeek(blockStart[b] % 16000);
                for (int i = 0; i < 245; ++i) v.pcmWrite(3);
                v.ym(0, 0x2B, 0x00);
                break;
            }
            case 1:
                v.raw({0x62});
                break;
            case 2:
                v.wait(300).raw({0x7F, 0x7F}).wait(403);
                break;
            default:
                v.raw({0x63});
                break;
        }
    }
}

void dacHeavy(VgmBuilder& v, size_t targetBytes) {
    Rng rng;
    v.ym(0, 0x2B, 0x80);
    int phase = 0;
    while (v.commands().size() < targetBytes) {
        for (int i = 0; i < 4000; ++i) {
            v.ym(0, 0x2A, 0x80 + ((phase++ * 7) % 64) - 32);
            v.raw({static_cast<uint8_t>(0x70 + rng.below(3))});
        }
        v.ym(0, 0x2B, 0x00).ym(0, 0x2B, 0x80);  // a new sample every few thousand bytes
        v.frequency(0, 4, 644 + rng.below(600)).keyOn(0).wait(100).keyOff(0);
    }
    v.ym(0, 0x2B, 0x00);
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
