// seqconv on banks that are broken or built to hurt: pointers outside the
// file, songs that start themselves without time passing, loop bodies that
// take no time, loops nested past every sensible depth, loop lengths that
// cannot be aligned, and millions of measured loops.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "common/byte_order.h"
#include "seqconv/interpreter/interpreter.h"
#include "seqconv/interpreter/loop_alignment.h"
#include "builders/gems_bank_builder.h"
#include "tests/support/process_runner.h"
#include "tests/support/seqconv_test_run.h"

namespace {

using Bytes = std::vector<uint8_t>;

// One whole run in process: banks in a temporary folder, outputs in memory.
struct BankRun : SeqconvTestRun {
    TempDir temp;

    BankRun(const Bytes& sequences, const std::string& flags, const Bytes& instruments = {}) {
        writeWholeFile(temp.file("seq.bin"), sequences);
        writeWholeFile(temp.file("ins.bin"), instruments);
        std::vector<std::string> args{temp.file("seq.bin"), temp.file("ins.bin"), "out"};
        if (!flags.empty()) args.push_back(flags);
        start(args);
    }
    size_t count(const std::string& needle) {
        const std::string text = out.text();
        size_t n = 0;
        for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
        return n;
    }
    const Bytes& file(const std::string& name) const { return files.at("out/" + name); }
};

// Number of chunks of a MIDI file, or -1 when its chunk lengths do not cover
// the file exactly or the header's track count disagrees.
int trackCount(const Bytes& midi) {
    if (midi.size() < 14) return -1;
    size_t pos = 14;
    int tracks = 0;
    while (pos < midi.size()) {
        if (midi.size() - pos < 8) return -1;
        const uint32_t length = readBe32(midi.data() + pos + 4);
        if (length > midi.size() - pos - 8) return -1;
        pos += 8 + length;
        ++tracks;
    }
    return static_cast<int>(readBe32(midi.data() + 8) & 0xFFFF) == tracks ? tracks : -1;
}

TEST(SeqconvHostile, PointersOutsideTheBankYieldEmptySongsAndValidFiles) {
    // Four songs, in an 18-byte bank (few enough impossible pointers that it
    // still counts as a bank). Song 0: a channel pointer past the end. Song 1:
    // a note, then a pitch command whose second operand is cut off by the end.
    // Song 2: no channels. Song 3: header at 256, past the end.
    const Bytes bank = {0x08, 0x00, 0x0B, 0x00, 0x0E, 0x00, 0x00, 0x01,
                        0x01, 0xFF, 0x7F,   // 8: song 0
                        0x01, 0x0F, 0x00,   // 11: song 1, code at 15
                        0x00,               // 14: song 2
                        0x30, 0x6C, 0x01};  // 15: note, pitch cut short
    BankRun r(bank, "l");
    ASSERT_EQ(r.exitCode, 0) << r.out.text().substr(0, 300);
    for (int song = 0; song < 4; ++song) {
        char name[16];
        std::snprintf(name, sizeof name, "%03d.mid", song);
        ASSERT_TRUE(r.files.has(std::string("out/") + name)) << name;
        ASSERT_GE(trackCount(r.file(name)), 1) << name;
    }
    EXPECT_EQ(r.files.files.size(), 8u);
    EXPECT_EQ(r.count("note = 30"), 2u) << "song 1 in both passes";
    EXPECT_EQ(r.count("pitch"), 0u) << "a command cut off by the end of the bank is not executed";
    EXPECT_EQ(trackCount(r.file("001.mid")), 2);

    // Five channels announced, only the first pointer present.
    BankRun cut({0x02, 0x00, 0x05, 0x05, 0x00, 0x30}, "l");
    EXPECT_EQ(cut.count("parseseq"), 2u);
    EXPECT_EQ(cut.count("note = 30"), 2u);

    // Three-byte pointers past 16 MiB and a header whose count byte is the last byte.
    GemsBankBuilder b;
    b.threeBytePointers();
    b.song().channel().note(0x30);
    Bytes wide = b.bytes();
    const uint32_t pointerAt = b.songHeaderOffset(0) + 1;
    wide[pointerAt] = 0xFF;
    wide[pointerAt + 1] = 0xFF;
    wide[pointerAt + 2] = 0xFF;
    BankRun w(wide, "3");
    EXPECT_EQ(w.exitCode, 0);
    EXPECT_EQ(trackCount(w.file("000.mid")), 1);
}

TEST(SeqconvHostile, SongThatStartsItselfWithoutTimePassingStopsAtThePlayListBound) {
    GemsBankBuilder b;
    b.song().channel().duration(1).note(0x30).play(0).eos();
    BankRun r(b.bytes(), "sl");
    ASSERT_EQ(r.exitCode, 0);
    // First pass: the song once (repeats are skipped); second pass: every
    // entry of the full play list.
    EXPECT_EQ(r.count("parseseq"), 1u + static_cast<size_t>(kPlayListLimit));
    EXPECT_EQ(r.count("play 00"), 1u + static_cast<size_t>(kPlayListLimit));
    EXPECT_GE(trackCount(r.file("000.mid")), 2);
}

TEST(SeqconvHostile, InfiniteLoopThatTakesNoTimeIsPlayedOnceInEachPass) {
    GemsBankBuilder b;
    b.song().channel().duration(2).loopForever().note(0x30).note(0x31).eol().eos();
    b.song(0).channel().delay(10).duration(5).loopForever().note(0x40).eol().eos();
    BankRun r(b.bytes(), "l");
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.count("note = 30"), 2u);
    EXPECT_EQ(r.count("note = 31"), 2u);
    EXPECT_EQ(trackCount(r.file("000.mid")), 3);
}

TEST(SeqconvHostile, LoopsNestedDeeperThanTheLimitEndTheChannel) {
    GemsBankBuilder b;
    auto& ch = b.song().channel();
    ch.delay(1);
    for (int i = 0; i < 70; ++i) ch.loop(2);
    ch.note(0x30);
    for (int i = 0; i < 70; ++i) ch.eol();
    ch.eos();
    BankRun r(b.bytes(), "l");
    ASSERT_EQ(r.exitCode, 0);
    // In each pass: 64 levels entered, the 65th start traced, then the channel ends.
    EXPECT_EQ(r.count("loop 2 times"), 2u * (static_cast<size_t>(kMaxLoopDepth) + 1));
    EXPECT_EQ(r.count("note ="), 0u);
}

TEST(SeqconvHostile, FiniteLoopsNestedTwentyDeepStopAtTheRecordBound) {
    // 255^20 notes if nothing stopped it; the pass ends at its record bound.
    GemsBankBuilder b;
    addNestedLoopChannel(b.song(), 20);
    BankRun r(b.bytes(), "");
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.run->budget.passRecords, kPassRecordLimit);
    EXPECT_EQ(trackCount(r.file("000.mid")), 2);
}

// Song 0 with one channel per length, each an infinite loop of that many
// ticks (one note per repetition) from time 0.
Bytes coprimeLoops(const std::vector<int>& lengths) {
    GemsBankBuilder b;
    auto& song = b.song();
    for (int length : lengths)
        song.channel().delay(static_cast<uint32_t>(length)).duration(1).loopForever().note(0x30).eol().eos();
    return b.bytes();
}

TEST(SeqconvHostile, CoprimeLoopLengthsAlignWhileTheirPeriodIsSmallAndEndPlainlyBeyond) {
    {
        BankRun r(coprimeLoops({3, 5, 7, 11, 13}), "cl");
        ASSERT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.count("maxtime = 15015\n"), 1u) << r.out.text().substr(0, 2000);
        EXPECT_EQ(r.count("loop_start:0\n"), 1u);
    }
    {
        // 2 * 3 * ... * 23 = 223092870 ticks: far beyond the period bound.
        BankRun r(coprimeLoops({2, 3, 5, 7, 11, 13, 17, 19, 23}), "cl");
        ASSERT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.count("track_end:"), 1u);
        EXPECT_EQ(r.count("loop_start:"), 0u);
        EXPECT_EQ(r.count("maxtime = 1\n"), 1u) << "the last first-pass event (the note-offs at 1) ends the song";
    }
}

TEST(SeqconvHostile, MillionsOfMeasuredLoopsKeepTheLoopListsShort) {
    // 255 * 255 * 4 = 260100 infinite loops of 3 ticks, all measured in the first pass.
    GemsBankBuilder b;
    b.song().channel().delay(3).loop(0xFF).loop(0xFF).loop(4).loopForever().nop().eol().eol().eol().eol().eos();
    BankRun r(b.bytes(), "cl");
    ASSERT_EQ(r.exitCode, 0);
    // The same first pass on its own: the loop log it leaves stayed short.
    SequenceBank bank;
    bank.bytes = b.bytes();
    SeqState state;
    InterpreterBudget budget;
    SongPassLists lists;
    InterpreterOptions options;
    options.crtLoops = true;
    SongInterpreter in{bank, options, stdout, state, budget, lists};
    interpretSongPass(in, 0, Pass::kMeasure);
    EXPECT_EQ(budget.passRecords, 0);
    EXPECT_GT(lists.loops.starts.size(), 0u);
    EXPECT_LT(lists.loops.starts.size(), kLoopListCompactAt);
    // Every loop starts at a multiple of 3: aligned; no event, so the first
    // aligned time not below 1.
    EXPECT_EQ(r.count("maxtime = 3\n"), 1u);
    EXPECT_EQ(r.count("loop_start:0\n"), 1u);
}

// Loops through recordInfiniteLoop (compacted) and through plain lists give
// the same alignment, solution and earliest start, whatever the mix.
TEST(SeqconvHostile, CompactedLoopListsAlignExactlyAsTheFullLists) {
    uint64_t seed = 12345;
    const auto next = [&seed](uint64_t bound) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        return (seed >> 33) % bound;
    };
    // Lengths that divide 720720 keep most cases alignable; a few others break it.
    const int divisors[] = {0, 1, 2, 3, 4, 5, 6, 8, 9, 10, 12, 16, 7, 11, 13, 14, 15, 35, 36, 48, 80, 144, 720720};
    int aligned = 0, unaligned = 0;
    for (int trial = 0; trial < 24; ++trial) {
        LoopLog full, compact;
        const bool crtLoops = trial % 4 != 3;
        const size_t loops = kLoopListCompactAt + 1000 + next(3 * kLoopListCompactAt);
        const bool consistent = trial % 3 != 0;
        const int64_t base = static_cast<int64_t>(next(720720));
        for (size_t i = 0; i < loops; ++i) {
            int length = divisors[next(std::size(divisors))];
            if (trial % 8 == 7 && i == loops / 2) length = 1048573;  // a large prime, late
            const int64_t start = consistent ? base + 720720 * static_cast<int64_t>(next(200))
                                             : static_cast<int64_t>(next(1 << 30));
            full.starts.push_back(static_cast<int32_t>(start));
            full.lengths.push_back(length);
            recordInfiniteLoop(compact, static_cast<int32_t>(start), length, crtLoops);
        }
        EXPECT_LT(compact.starts.size(), kLoopListCompactAt);
        EXPECT_EQ(*std::min_element(full.starts.begin(), full.starts.end()),
                  *std::min_element(compact.starts.begin(), compact.starts.end()));
        const AlignedLoops fullAligned = alignLoops(full, !crtLoops);
        const AlignedLoops compactAligned = alignLoops(compact, !crtLoops);
        const bool noFull = fullAligned.noLoop;
        ASSERT_EQ(noFull, compactAligned.noLoop) << "trial " << trial;
        // Once the song cannot be aligned the moduli are not used any more.
        if (noFull) {
            ++unaligned;
            continue;
        }
        ++aligned;
        EXPECT_EQ(fullAligned.moduli, compactAligned.moduli) << "trial " << trial;
        EXPECT_EQ(fullAligned.residues, compactAligned.residues) << "trial " << trial;
        const LoopSolution a = solveLoopAlignment(fullAligned), b = solveLoopAlignment(compactAligned);
        EXPECT_EQ(a.solvable, b.solvable);
        EXPECT_EQ(a.alignedTime, b.alignedTime);
        EXPECT_EQ(a.loopPeriod, b.loopPeriod);
    }
    EXPECT_GE(aligned, 8);
    EXPECT_GE(unaligned, 8);
}

}  // namespace
