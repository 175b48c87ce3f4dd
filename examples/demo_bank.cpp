#include "examples/demo_bank.h"

#include "examples/demo_instruments.h"
#include "builders/gems_bank_builder.h"

namespace {

constexpr int32_t kQuarter = 24;
constexpr int32_t kEighth = 12;
constexpr int32_t kBar = 4 * kQuarter;
constexpr int32_t kWaltzBar = 3 * kQuarter;
constexpr int kTempoBase = 40;  // the tempo command stores beats per minute - 40

constexpr int kKick = 0x24;
constexpr int kSnare = 0x26;
constexpr int kHat = 0x3C;

DemoEvent note(int32_t time, int32_t length, int key) { return {time, length, key, 0}; }
DemoEvent bend(int32_t time, int pitch) { return {time, 0, -1, pitch}; }

// Notes of equal length spaced `step` ticks apart from tick 0.
std::vector<DemoEvent> run(int32_t step, int32_t length, const std::vector<int>& keys) {
    std::vector<DemoEvent> events;
    for (size_t i = 0; i < keys.size(); ++i) events.push_back(note(static_cast<int32_t>(i) * step, length, keys[i]));
    return events;
}

const DemoSegment kIntroRest{kBar, 1, {}};

std::vector<DemoPart> themeParts() {
    return {
        {0, kDemoPatchLead, 0, 120, 2, {kIntroRest, {2 * kBar, kDemoForever, {
            note(0, 22, 76), note(24, 22, 79), note(48, 22, 84), note(72, 22, 79),
            note(96, 10, 81), note(108, 10, 79), note(120, 22, 76), note(144, 46, 74)}}}},
        {0, kDemoPatchBass, 0, 0, -1, {{kBar, 1, run(kQuarter, 20, {48, 48, 43, 43})},
                                        {kBar, kDemoForever, run(kQuarter, 20, {48, 60, 43, 55})}}},
        {0, kDemoPatchDrums, 0, 0, -1, {{kBar, 1, {note(0, 12, kKick), note(24, 12, kKick), note(48, 12, kSnare),
                                                   note(72, 6, kSnare), note(84, 6, kSnare)}},
                                         {2 * kQuarter, kDemoForever, run(kQuarter, 12, {kKick, kSnare})}}},
        {0, kDemoPatchTone, 16, 0, -1, {kIntroRest, {6 * kQuarter, kDemoForever,
                                                     run(kEighth, 10, {72, 76, 79, 84, 79, 76, 69, 72, 76, 81, 76, 72})}}},
        {0, kDemoPatchNoise, 32, 0, -1, {kIntroRest, {kQuarter, kDemoForever, run(kEighth, 4, {kHat, kHat})}}},
    };
}

std::vector<DemoPart> waltzParts() {
    return {
        {1, kDemoPatchLead, 0, 140, -1, {{2 * kWaltzBar, kDemoForever, {
            note(0, 22, 76), note(24, 22, 74), note(48, 22, 72),
            // G5 slides up from two semitones below.
            bend(72, -512), note(72, 46, 79), bend(80, -256), bend(88, 0), note(120, 22, 77)}}}},
        {1, kDemoPatchTone, 8, 0, -1, {{kWaltzBar, kDemoForever, run(kQuarter, 20, {48, 55, 55})}}},
    };
}

std::vector<DemoPart> fanfareParts() {
    return {
        {2, kDemoPatchPad, 0, 120, -1, {{kQuarter, 3, run(kEighth, 10, {67, 72})}, {kQuarter, 1, {note(0, 22, 79)}}}},
        {2, kDemoPatchTone, 0, 0, -1, {{kBar, 1, run(kQuarter, 22, {60, 64, 67, 72})}}},
    };
}

// Byte code of one run of a segment. Every event sets the delay to the time
// until the next event (or the end of the segment); delay and duration bytes
// are written when they change and at the start of every segment, since a
// loop body must not depend on what the previous repetition left behind.
void emitSegment(GemsChannelBuilder& c, const DemoSegment& s) {
    if (s.events.empty() || s.events.front().time > 0) {
        // A rest: the "nop" command takes the delay's time.
        c.delay(static_cast<uint32_t>(s.events.empty() ? s.length : s.events.front().time)).nop();
    }
    int32_t delay = -1;
    int32_t duration = -1;
    for (size_t i = 0; i < s.events.size(); ++i) {
        const DemoEvent& e = s.events[i];
        const int32_t next = i + 1 < s.events.size() ? s.events[i + 1].time : s.length;
        if (next - e.time != delay) {
            delay = next - e.time;
            c.delay(static_cast<uint32_t>(delay));
        }
        if (e.key < 0) {
            c.pitch(e.pitch);
            continue;
        }
        if (e.length != duration) {
            duration = e.length;
            c.duration(static_cast<uint32_t>(duration));
        }
        c.note(e.key);
    }
}

void emitPart(GemsChannelBuilder& c, const DemoPart& part) {
    // Set-up commands take the delay's time, which is 0 at the start of a channel.
    if (part.tempo != 0) c.tempo(part.tempo - kTempoBase);
    c.patch(part.patch);
    if (part.volume != 0) c.volume(part.volume);
    if (part.startsSong >= 0) c.play(part.startsSong);
    for (const DemoSegment& s : part.segments) {
        if (s.repeat == 1) {
            emitSegment(c, s);
            continue;
        }
        if (s.repeat == kDemoForever) c.loopForever();
        else c.loop(s.repeat);
        emitSegment(c, s);
        c.eol();
    }
    c.eos();
}

// A GEMS FM patch: type, LFO, channel-3 mode, algorithm/feedback, pan/AMS/FMS,
// then six registers per operator in register order S1, S3, S2, S4, the four
// channel-3 frequency pairs, the operator enable bits and a pad byte.
void addFmPatch(GemsInstrumentBankBuilder& bank, const FmInstrument& i) {
    constexpr uint8_t kLfoOff = 0x00;
    constexpr uint8_t kCh3Normal = 0x00;
    constexpr uint8_t kPanBoth = 0xC0;
    constexpr uint8_t kAllOperators = 0x0F;
    bank.patch(kGemsPatchFm,
               {kLfoOff, kCh3Normal, i.algFb, kPanBoth,
                i.dtMul[0], i.tl[0], i.rsAr[0], i.amD1r[0], i.d2r[0], i.d1lRr[0],
                i.dtMul[2], i.tl[2], i.rsAr[2], i.amD1r[2], i.d2r[2], i.d1lRr[2],
                i.dtMul[1], i.tl[1], i.rsAr[1], i.amD1r[1], i.d2r[1], i.d1lRr[1],
                i.dtMul[3], i.tl[3], i.rsAr[3], i.amD1r[3], i.d2r[3], i.d1lRr[3],
                0, 0, 0, 0, 0, 0, 0, 0, kAllOperators, 0x00});
}

}  // namespace

uint8_t demoPatchType(int patch) {
    switch (patch) {
        case kDemoPatchTone: return kGemsPatchPsg;
        case kDemoPatchNoise: return kGemsPatchNoise;
        case kDemoPatchDrums: return kGemsPatchDac;
        default: return kGemsPatchFm;
    }
}

std::vector<DemoPart> demoBankParts() {
    std::vector<DemoPart> parts = themeParts();
    for (const auto& more : {waltzParts(), fanfareParts()}) parts.insert(parts.end(), more.begin(), more.end());
    return parts;
}

std::vector<uint8_t> buildDemoSequenceBank() {
    GemsBankBuilder bank;
    for (int s = 0; s < kDemoSongCount; ++s) bank.song();
    for (const DemoPart& part : demoBankParts()) emitPart(bank.song(static_cast<size_t>(part.song)).channel(), part);
    return bank.bytes();
}

std::vector<uint8_t> buildDemoInstrumentBank() {
    GemsInstrumentBankBuilder bank;
    addFmPatch(bank, kDemoLead);
    addFmPatch(bank, kDemoBass);
    addFmPatch(bank, kDemoPad);
    // Beyond the type byte seqconv only lists these bytes: an envelope for the
    // PSG patches, a sample number and playback settings for the DAC patch.
    bank.patch(kGemsPatchPsg, {0x00, 0x20, 0x04, 0x00, 0x08, 0x10});
    bank.patch(kGemsPatchNoise, {0x04, 0x7F, 0x0C, 0x00, 0x10, 0x20});
    bank.patch(kGemsPatchDac, {0x00, 0x00, 0x0C, 0x40, 0x13});
    return bank.bytes();
}
