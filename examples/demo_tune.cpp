#include "examples/demo_tune.h"

#include <array>
#include <cstddef>

#include "examples/demo_instruments.h"
#include "builders/vgm_builder.h"

namespace {

// ---- YM2612 -------------------------------------------------------------

constexpr int kRegLfo = 0x22;
constexpr int kRegCh3Mode = 0x27;
constexpr int kCh3Special = 0x40;
constexpr int kRegDacData = 0x2A;
constexpr int kRegDacEnable = 0x2B;
constexpr int kDacOn = 0x80;
constexpr int kRegDtMul = 0x30, kRegTl = 0x40, kRegRsAr = 0x50, kRegAmD1r = 0x60;
constexpr int kRegD2r = 0x70, kRegD1lRr = 0x80, kRegSsgEg = 0x90;
constexpr int kRegAlgFb = 0xB0, kRegPan = 0xB4;
constexpr int kPanBoth = 0xC0, kPanLeft = 0x80, kPanRight = 0x40;
// Register offsets of operators S1..S4 (the chip's register order is S1, S3, S2, S4).
constexpr std::array<int, 4> kSlot{0x0, 0x8, 0x4, 0xC};
// Channel 3 special mode: per-operator frequency registers (high byte, low byte).
constexpr std::array<std::array<int, 2>, 4> kCh3OpFreq{{{0xAD, 0xA9}, {0xAE, 0xAA}, {0xAC, 0xA8}, {0xA6, 0xA2}}};

void setInstrument(VgmBuilder& v, int ch, const FmInstrument& ins, int pan) {
    const int port = ch / 3;
    const int sub = ch % 3;
    for (int op = 0; op < 4; ++op) {
        const int r = kSlot[op] + sub;
        v.ym(port, kRegDtMul + r, ins.dtMul[op]).ym(port, kRegTl + r, ins.tl[op]);
        v.ym(port, kRegRsAr + r, ins.rsAr[op]).ym(port, kRegAmD1r + r, ins.amD1r[op]);
        v.ym(port, kRegD2r + r, ins.d2r[op]).ym(port, kRegD1lRr + r, ins.d1lRr[op]);
        v.ym(port, kRegSsgEg + r, ins.ssgEg[op]);
    }
    v.ym(port, kRegAlgFb + sub, ins.algFb).ym(port, kRegPan + sub, pan);
}

// F-numbers of C..B in the octave whose block number equals the MIDI octave
// (C4 = MIDI 60 is block 4), at the NTSC clock of 7670454 Hz.
constexpr std::array<int, 12> kFnum{644, 681, 722, 765, 810, 858, 910, 964, 1021, 1081, 1146, 1214};
int blockOf(int midi) { return midi / 12 - 1; }
int fnumOf(int midi) { return kFnum[midi % 12]; }

// ---- SN76489 ------------------------------------------------------------

// Tone periods of C4..B4 at 3579545 Hz (clock / (32 * frequency)).
constexpr std::array<int, 12> kPsgPeriod4{428, 404, 381, 360, 339, 320, 302, 285, 269, 254, 240, 226};
constexpr uint8_t kPsgLatch = 0x80, kPsgVolume = 0x10, kPsgSilent = 0x0F;
constexpr uint8_t kNoiseWhiteFast = 0xE4;

int psgPeriod(int midi) {
    const int octave = midi / 12 - 1;
    const int p = kPsgPeriod4[midi % 12];
    return octave >= 4 ? p >> (octave - 4) : p << (4 - octave);
}

void psgTone(VgmBuilder& v, int ch, int midi) {
    const int p = psgPeriod(midi);
    v.psg(static_cast<uint8_t>(kPsgLatch | (ch << 5) | (p & 0x0F))).psg(static_cast<uint8_t>((p >> 4) & 0x3F));
}

void psgVolume(VgmBuilder& v, int ch, int attenuation) {
    v.psg(static_cast<uint8_t>(kPsgLatch | (ch << 5) | kPsgVolume | attenuation));
}

// ---- DAC samples ----------------------------------------------------------

// Kick: a triangle wave falling in pitch under a decaying envelope.
std::vector<uint8_t> kick() {
    std::vector<uint8_t> s;
    uint32_t phase = 0;
    uint32_t step = 2600;
    int amp = 127;
    for (int i = 0; i < 1100; ++i) {
        phase += step;
        if (step > 500) step -= 2;
        const int tri = static_cast<int>((phase >> 8) & 0xFF);
        const int wave = tri < 128 ? tri * 2 - 128 : 383 - tri * 2;  // -128..127
        if (i % 9 == 8 && amp > 0) --amp;
        s.push_back(static_cast<uint8_t>(128 + wave * amp / 128));
    }
    return s;
}

// Snare: noise from a linear congruential generator, decaying faster.
std::vector<uint8_t> snare() {
    std::vector<uint8_t> s;
    uint32_t seed = 12345;
    int amp = 110;
    for (int i = 0; i < 900; ++i) {
        seed = seed * 1103515245u + 12345u;
        const int noise = static_cast<int>((seed >> 16) & 0xFF) - 128;
        if (i % 8 == 7 && amp > 0) --amp;
        s.push_back(static_cast<uint8_t>(128 + noise * amp / 128));
    }
    return s;
}

// ---- The score -----------------------------------------------------------

constexpr uint32_t kEighth = 11025;  // 120 beats per minute at 44100 Hz
constexpr int kBars = 4;
constexpr int kEighths = kBars * 8;
constexpr int kDacWait = 5;  // 0x85: one byte every 5 samples, 8820 Hz
// The last bar's drums come from a DAC stream (VGM 1.60) at the same rate.
constexpr int kStreamedBar = kBars - 1;
constexpr uint8_t kDrumStream = 0x00;
constexpr uint32_t kStreamHz = 44100 / kDacWait;

struct Note {
    int start, length, midi;  // in eighths
};

// Channel 0 lead, 1 bass, 3 harmony (lead instrument, left only).
const std::vector<Note> kLeadPart{{0, 2, 76},  {2, 2, 79},  {4, 2, 84},  {6, 2, 79},  {8, 2, 76},  {10, 2, 72},
                                  {12, 4, 69}, {16, 2, 77}, {18, 2, 81}, {20, 2, 84}, {22, 2, 81}, {24, 3, 79},
                                  {27, 1, 77}, {28, 2, 74}, {30, 2, 71}};
const std::vector<Note> kHarmonyPart{{0, 4, 72},  {4, 4, 76},  {8, 4, 69},  {12, 4, 72},
                                     {16, 4, 69}, {20, 4, 72}, {24, 4, 71}, {28, 4, 74}};
// Chord roots C, A, F, G: root, octave, root, fifth in quarters.
constexpr std::array<int, kBars> kRoots{36, 33, 29, 31};
// Special-mode chords of channel 3: one note per operator.
constexpr std::array<std::array<int, 4>, kBars> kChords{
    {{48, 55, 60, 64}, {45, 52, 57, 60}, {41, 48, 53, 57}, {43, 50, 55, 59}}};
// PSG: a counter melody on tone 0 in bars 3-4, long notes on tone 1.
const std::vector<Note> kPsgMelody{{16, 2, 72}, {18, 2, 74}, {20, 2, 76}, {22, 2, 77},
                                   {24, 2, 79}, {26, 2, 77}, {28, 2, 76}, {30, 2, 74}};
const std::vector<Note> kPsgLong{{0, 8, 64}, {8, 8, 60}, {16, 8, 65}, {24, 8, 62}};

std::vector<Note> bassPart() {
    std::vector<Note> notes;
    for (int bar = 0; bar < kBars; ++bar) {
        const int r = kRoots[bar];
        for (int q = 0; q < 4; ++q) notes.push_back({bar * 8 + q * 2, 2, r + std::array<int, 4>{0, 12, 0, 7}[q]});
    }
    return notes;
}

void fmPart(VgmBuilder& v, int ch, const std::vector<Note>& part, int t) {
    for (const Note& n : part)
        if (n.start + n.length == t) v.keyOff(ch);
    for (const Note& n : part) {
        if (n.start != t) continue;
        v.frequency(ch, blockOf(n.midi), fnumOf(n.midi)).keyOn(ch);
    }
}

void psgPart(VgmBuilder& v, int ch, const std::vector<Note>& part, int t, int attenuation) {
    for (const Note& n : part)
        if (n.start + n.length == t) psgVolume(v, ch, kPsgSilent);
    for (const Note& n : part) {
        if (n.start != t) continue;
        psgTone(v, ch, n.midi);
        psgVolume(v, ch, attenuation);
    }
}

void specialChord(VgmBuilder& v, int t) {
    constexpr int kCh3 = 2;
    if (t % 8 != 0) return;
    v.keyOff(kCh3);
    if (t == kEighths) return;
    for (int op = 0; op < 4; ++op) {
        const int midi = kChords[t / 8][op];
        v.ym(0, kCh3OpFreq[op][0], (blockOf(midi) << 3) | (fnumOf(midi) >> 8));
        v.ym(0, kCh3OpFreq[op][1], fnumOf(midi) & 0xFF);
    }
    v.keyOn(kCh3);
}

// Sample time of a stream's write k after its start: the stream adds
// floor(hz * 2^32 / 44100) to a counter every sample and writes once per 2^32.
uint32_t streamWriteTime(uint64_t k) {
    const uint64_t increment = (uint64_t{kStreamHz} << 32) / 44100;
    return static_cast<uint32_t>(((k << 32) + increment - 1) / increment);
}

void putLe32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// Sets up the drum stream: the YM2612 DAC, the PCM bank, the rate.
void setUpDrumStream(VgmBuilder& v) {
    v.raw({0x90, kDrumStream, 0x02, 0x00, kRegDacData});
    v.raw({0x91, kDrumStream, 0x00, 0x01, 0x00});
    std::vector<uint8_t> frequency{0x92, kDrumStream};
    putLe32(frequency, kStreamHz);
    v.raw(frequency);
}

// Plays one sample through the drum stream; returns the samples waited (up to
// one after its last write, when the DAC is switched off again).
uint32_t streamDrum(VgmBuilder& v, uint32_t offset, size_t length) {
    std::vector<uint8_t> start{0x93, kDrumStream};
    putLe32(start, offset);
    start.push_back(0x01);  // length in writes
    putLe32(start, static_cast<uint32_t>(length));
    v.ym(0, kRegDacEnable, kDacOn).raw(start);
    const uint32_t used = streamWriteTime(length - 1) + 1;
    v.wait(used).ym(0, kRegDacEnable, 0x00);
    return used;
}

// Streams one sample from the PCM block to the DAC; returns the samples waited.
uint32_t playDrum(VgmBuilder& v, uint32_t offset, size_t length) {
    v.ym(0, kRegDacEnable, kDacOn).pcmSeek(offset);
    for (size_t i = 0; i < length; ++i) v.pcmWrite(kDacWait);
    v.ym(0, kRegDacEnable, 0x00);
    return static_cast<uint32_t>(length) * kDacWait;
}

}  // namespace

std::vector<uint8_t> buildDemoVgm() {
    VgmBuilder v(0x160);
    const std::vector<uint8_t> kickSample = kick();
    const std::vector<uint8_t> snareSample = snare();
    std::vector<uint8_t> pcm = kickSample;
    pcm.insert(pcm.end(), snareSample.begin(), snareSample.end());
    const auto snareOffset = static_cast<uint32_t>(kickSample.size());

    v.dataBlock(0x00, pcm);
    v.ym(0, kRegLfo, 0x00).ym(0, kRegCh3Mode, kCh3Special).ym(0, kRegDacData, 0x80);
    for (int ch = 0; ch < 6; ++ch) v.keyOff(ch);
    for (int ch = 0; ch < 4; ++ch) psgVolume(v, ch, kPsgSilent);
    setInstrument(v, 0, kDemoLead, kPanBoth);
    setInstrument(v, 1, kDemoBass, kPanBoth);
    setInstrument(v, 2, kDemoPad, kPanBoth);
    setInstrument(v, 3, kDemoLead, kPanLeft);
    v.ym(1, kRegPan + 2, kPanBoth);  // channel 6 carries the DAC
    v.ym(1, kRegPan + 1, kPanRight);
    setUpDrumStream(v);

    const std::vector<Note> bass = bassPart();
    for (int t = 0; t <= kEighths; ++t) {
        fmPart(v, 0, kLeadPart, t);
        fmPart(v, 1, bass, t);
        fmPart(v, 3, kHarmonyPart, t);
        specialChord(v, t);
        psgPart(v, 0, kPsgMelody, t, 2);
        psgPart(v, 1, kPsgLong, t, 6);
        if (t == kEighths) break;
        // Hi-hat on the off-beats: white noise for one eighth.
        if (t % 2 == 1) {
            v.psg(kNoiseWhiteFast);
            psgVolume(v, 3, 5);
        } else if (t > 0) {
            psgVolume(v, 3, kPsgSilent);
        }
        uint32_t used = 0;
        const bool streamed = t / 8 == kStreamedBar;
        if (t % 4 == 0) used = (streamed ? streamDrum : playDrum)(v, 0, kickSample.size());
        if (t % 4 == 2) used = (streamed ? streamDrum : playDrum)(v, snareOffset, snareSample.size());
        v.wait(kEighth - used);
    }
    psgVolume(v, 3, kPsgSilent);
    v.wait(kEighth * 2).end();
    return v.bytes();
}

DemoTuneContent demoTuneContent() {
    DemoTuneContent c;
    c.fmNotes = {static_cast<int>(kLeadPart.size()), static_cast<int>(bassPart().size()), kBars,
                 static_cast<int>(kHarmonyPart.size()), 0, 0};
    c.psgNotes = {static_cast<int>(kPsgMelody.size()), static_cast<int>(kPsgLong.size()), 0, kEighths / 2};
    c.endTime = kEighths * kEighth;
    for (int t = 0; t < kEighths; t += 2) {
        const size_t n = t % 4 == 0 ? kick().size() : snare().size();
        c.samples.push_back(n);
        c.sampleSpans.push_back(t / 8 == kStreamedBar ? streamWriteTime(n - 1)
                                                      : static_cast<uint32_t>((n - 1) * kDacWait));
    }
    return c;
}
