// -t: vgm.mid with every FM and PSG note moved by N semitones and clamped to
// 0..127, everything else (deltas, bends, controllers, the drum track, which
// events strike a note) byte for byte as without it; the warning counts the
// clamped note-ons.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "builders/vgm_builder.h"
#include "common/byte_order.h"
#include "common/output_files.h"
#include "tests/support/tonepick_test_run.h"
#include "tonepick/midi/note_transpose.h"

namespace {

TEST(NoteTranspose, AddsAndClampsToTheMidiRange) {
    struct Case {
        int note, semitones, moved;
        bool clamps;
    };
    for (const Case c : {Case{48, 12, 60, false}, Case{5, -12, 0, true}, Case{12, -12, 0, false},
                         Case{115, 12, 127, false}, Case{116, 12, 127, true}, Case{0, 127, 127, false},
                         Case{1, 127, 127, true}, Case{127, -127, 0, false}, Case{33, -127, 0, true},
                         Case{60, 0, 60, false}}) {
        SCOPED_TRACE(std::to_string(c.note) + " + " + std::to_string(c.semitones));
        EXPECT_EQ(transposeNote(c.note, c.semitones), c.moved);
        EXPECT_EQ(transposeClamps(c.note, c.semitones), c.clamps);
    }
}

// FM notes from the bottom (block 0, note 0) to the top (note 95) with a
// vibrato under one of them, PSG notes 33 to 96 with re-strikes between
// neighbours at the top (95 and 96 clamp to one note at +127, yet stay two
// notes), a note-off on a channel that never sounded, and a DAC drum.
std::vector<uint8_t> wideLog() {
    VgmBuilder v;
    v.keyOff(1).wait(3);  // note-off of note 0, written as such
    v.frequency(0, 0, 644).keyOn(0).wait(10).keyOff(0);              // note 0
    v.frequency(0, 4, 663).keyOn(0).wait(10);                        // note 49 with a bend
    v.frequency(0, 4, 670).wait(10).frequency(0, 4, 660).wait(10);   // vibrato: bends only
    v.keyOff(0).frequency(0, 7, 2047).keyOn(0).wait(10).keyOff(0);   // note 95
    v.psg(0x8F).psg(0x3F).psg(0x90).wait(10);                        // period 1023: note 33
    v.psg(0x8C).psg(0x01).wait(10);                                  // period 28: note 95
    v.psg(0x8B).psg(0x01).wait(10);                                  // period 27: note 96
    v.psg(0x8C).psg(0x01).wait(10).psg(0x9F).wait(5);                // back to 95, off
    v.dataBlock(0x00, {1, 2, 3, 4}).ym(0, 0x2B, 0x80);
    v.pcmSeek(0).pcmWrite(2).pcmWrite(2).pcmWrite(2).ym(0, 0x2B, 0x00);
    return v.end().bytes();
}

struct Converted {
    std::vector<uint8_t> midi;
    std::string text;
};

Converted convertWith(const std::vector<uint8_t>& vgm, int semitones, VgmMidiMode mode) {
    TonepickTestRun t;
    t.run.settings.transpose = semitones;
    t.run.settings.sampleKit = true;
    t.run.settings.midiMode = mode;
    EXPECT_EQ(t.convert(vgm), kExitOk);
    return {t.files.at(joinOutputPath("out", "vgm.mid")), t.text()};
}

size_t vlqEnd(const std::vector<uint8_t>& f, size_t at) {
    while (f[at] & 0x80) ++at;
    return at + 1;
}

// Walks `base` (no running status: a meta event or a three-byte channel
// event after each delta) and checks that `moved` differs only in the note
// numbers of FM and PSG notes, by `semitones` clamped; returns the clamped
// note-ons.
uint64_t expectOnlyNotesMoved(const std::vector<uint8_t>& base, const std::vector<uint8_t>& moved, int semitones) {
    EXPECT_EQ(base.size(), moved.size());
    if (base.size() != moved.size()) return 0;
    uint64_t clamped = 0;
    size_t notes = 0;
    for (size_t chunk = 14; chunk < base.size(); chunk += 8 + readBe32(base.data() + chunk + 4)) {
        const size_t end = chunk + 8 + readBe32(base.data() + chunk + 4);
        for (size_t i = chunk + 8; i < end;) {
            i = vlqEnd(base, i);
            if (base[i] == 0xFF) {
                const size_t data = vlqEnd(base, i + 2);
                i = data + base[i + 2];
                continue;
            }
            const uint8_t kind = base[i] & 0xF0;
            const bool note = (kind == 0x80 || kind == 0x90) && (base[i] & 0x0F) != 9;
            for (size_t k = i; k < i + 3; ++k) {
                if (note && k == i + 1) {
                    EXPECT_EQ(moved[k], transposeNote(base[k], semitones)) << "note at byte " << k;
                    if (kind == 0x90 && transposeClamps(base[k], semitones)) ++clamped;
                    ++notes;
                } else {
                    EXPECT_EQ(moved[k], base[k]) << "byte " << k;
                }
            }
            i += 3;
        }
    }
    EXPECT_GT(notes, 0u);
    return clamped;
}

std::string clampWarning(uint64_t n) {
    return n == 0 ? "" : "Warning: " + std::to_string(n) + " notes were clamped to the MIDI range\n";
}

TEST(NoteTranspose, MovesOnlyFmAndPsgNotesAndCountsTheClampedNoteOns) {
    const std::vector<uint8_t> vgm = wideLog();
    struct Case {
        int semitones;
        uint64_t clamped;  // note-ons: FM 0, 49, 95; PSG 33, 95, 96, 95
    };
    for (const VgmMidiMode mode : {VgmMidiMode::kPlain, VgmMidiMode::kLevels}) {
        const Converted base = convertWith(vgm, 0, mode);
        EXPECT_EQ(base.text.find("clamped"), std::string::npos);
        for (const Case c : {Case{12, 0}, Case{-12, 1}, Case{40, 4}, Case{127, 6}, Case{-127, 7}}) {
            SCOPED_TRACE("-t " + std::to_string(c.semitones));
            const Converted t = convertWith(vgm, c.semitones, mode);
            EXPECT_EQ(expectOnlyNotesMoved(base.midi, t.midi, c.semitones), c.clamped);
            EXPECT_EQ(t.text, base.text + clampWarning(c.clamped));
        }
    }
}

TEST(NoteTranspose, TheWarningComesBeforeVgmMidAndEvenWhenItCannotBeCreated) {
    TonepickTestRun t;
    t.run.settings.transpose = -127;
    t.files.refusedPaths.insert(joinOutputPath("out", "vgm.mid"));
    EXPECT_EQ(t.convert(wideLog()), kExitFailed);
    const std::string text = t.text();
    const size_t warning = text.find(clampWarning(7));
    ASSERT_NE(warning, std::string::npos) << text;
    EXPECT_LT(warning, text.find("Error: Can't create file"));
}

TEST(NoteTranspose, CorpusLogsMoveOnlyTheirNotes) {
    const std::filesystem::path log = std::filesystem::path(MDTOOLS_SHARED_DIR) / "corpus/vgm/sk_staff_roll.vgm";
    if (!std::filesystem::exists(log)) GTEST_SKIP() << "no corpus log at " << log;
    TonepickTestRun plain;
    ASSERT_EQ(plain.start({log.string(), "out"}), kExitOk);
    for (const int semitones : {12, -12}) {
        TonepickTestRun t;
        ASSERT_EQ(t.start({log.string(), "out", "-t", std::to_string(semitones)}), kExitOk);
        const uint64_t clamped = expectOnlyNotesMoved(plain.files.at(joinOutputPath("out", "vgm.mid")),
                                                      t.files.at(joinOutputPath("out", "vgm.mid")), semitones);
        EXPECT_EQ(t.text(), plain.text() + clampWarning(clamped));
    }
}

}  // namespace
