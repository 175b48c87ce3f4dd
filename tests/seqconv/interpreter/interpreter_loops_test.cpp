// Infinite loops in both passes, finite loops, nesting, and how a channel ends.

#include "tests/seqconv/interpreter/interpreter_fixture.h"

namespace {

std::string notesAt(std::initializer_list<int> times, int note) {
    std::string text;
    char item[32];
    for (int t : times) {
        std::snprintf(item, sizeof item, "%s+%X@%d -%X@%d", text.empty() ? "" : " ", note, t, note, t);
        text += item;
    }
    return text;
}

TEST_F(InterpreterTest, FortyEightTickLoopRepeatsUpToMaxTime) {
    GemsBankBuilder bank;
    bank.song().channel().delay(12).loopForever().note(1).note(1).note(1).note(1).eol().note(2).eos();
    load(bank);
    pass(0);
    EXPECT_EQ(events(), notesAt({0, 12, 24, 36}, 1) + " " + notesAt({48}, 2));
    EXPECT_EQ(run->lists.loops.starts, std::vector<int32_t>({0}));
    EXPECT_EQ(run->lists.loops.lengths, std::vector<int32_t>({48}));

    run->flags.logEnabled = true;
    pass(0, 200);
    // Four whole bodies (time 192 < 200), then the fifth up to the first byte
    // at which time exceeds 200: the note at 192 is the last one.
    EXPECT_EQ(events(), notesAt({0, 12, 24, 36, 48, 60, 72, 84, 96, 108, 120, 132, 144, 156, 168, 180, 192}, 1));
    const std::string trace = capture.text();
    EXPECT_EQ(trace.substr(trace.size() - 17), "wasdelay = false\n");
    EXPECT_NE(trace.find("note = 1 t = C0"), std::string::npos);
    EXPECT_EQ(countLines("eol"), 4u);
    // The second pass measures nothing.
    EXPECT_EQ(run->lists.loops.starts.size(), 1u);
}

TEST_F(InterpreterTest, ThePassKindNotTheEndTimeDecidesWhatLoopsDo) {
    GemsBankBuilder bank;
    bank.song().channel().delay(12).loopForever().note(1).note(1).eol().note(2).eos();
    load(bank);
    // The end time of an earlier song left in the registers: the first pass
    // still plays the body once, measures it and runs on past that time.
    run->state.maxTime = 5;
    passOfKind(0, Pass::kMeasure);
    EXPECT_EQ(events(), notesAt({0, 12}, 1) + " " + notesAt({24}, 2));
    EXPECT_EQ(run->lists.loops.lengths, std::vector<int32_t>({24}));
    // The second pass with end time 48: repeated up to it, then on to the
    // note after the loop; nothing more measured.
    run->state.maxTime = 48;
    passOfKind(0, Pass::kRepeat);
    EXPECT_EQ(events(), notesAt({0, 12, 24, 36}, 1) + " " + notesAt({48}, 2));
    EXPECT_EQ(run->lists.loops.lengths.size(), 1u);
}

TEST_F(InterpreterTest, LoopRecordsStartAndLengthInAbsoluteTicks) {
    GemsBankBuilder bank;
    bank.song().channel().delay(24).note(1).loopForever().note(2).note(2).note(2).note(2).eol().eos();
    load(bank);
    pass(0);
    EXPECT_EQ(run->lists.loops.starts, std::vector<int32_t>({24}));
    EXPECT_EQ(run->lists.loops.lengths, std::vector<int32_t>({96}));
}

TEST_F(InterpreterTest, NestedLoopsRecordInnerFirstAndStopAtMaxTime) {
    GemsBankBuilder bank;
    auto& ch = bank.song().channel();
    ch.delay(6).loopForever().note(1).note(1).note(1).note(1);  // P: 24 ticks
    ch.loopForever().note(2).note(2).eol();                     // Q: 12 ticks
    ch.note(3).eol().eos();                                     // R: 6 ticks
    load(bank);
    pass(0);
    EXPECT_EQ(events(), notesAt({0, 6, 12, 18}, 1) + " " + notesAt({24, 30}, 2) + " " + notesAt({36}, 3));
    EXPECT_EQ(run->lists.loops.starts, std::vector<int32_t>({24, 0}));
    EXPECT_EQ(run->lists.loops.lengths, std::vector<int32_t>({12, 42}));

    // Q repeats until 60; R lies exactly at maxTime and still plays; then the
    // outer loop does not repeat and the channel is over.
    pass(0, 60);
    EXPECT_EQ(events(), notesAt({0, 6, 12, 18}, 1) + " " + notesAt({24, 30, 36, 42, 48, 54}, 2) + " " +
                            notesAt({60}, 3));
}

TEST_F(InterpreterTest, LoopMetAtMaxTimeIsReadAsPartOfItsLevel) {
    // In the second pass a loop reached at exactly maxTime is not entered: the
    // level reads its body as its own bytes and the body's 0x65 ends it.
    run->flags.logEnabled = true;
    GemsBankBuilder bank;
    bank.song().channel().delay(10).note(1).loopForever().raw({0x73}).eol().note(3).eos();
    load(bank);
    pass(0, 10);
    EXPECT_EQ(events(), notesAt({0}, 1));
    EXPECT_NE(capture.text().find("loop 7F times\nUnknown command 73\neol\n"), std::string::npos);
    EXPECT_EQ(capture.text().find("note = 3"), std::string::npos);
    // Entered (maxTime above), the timeless body plays once and note 3 follows.
    pass(0, 11);
    EXPECT_EQ(events(), notesAt({0}, 1) + " " + notesAt({10}, 3));
}

TEST_F(InterpreterTest, SecondPassDoesNotRepeatABodyThatTakesNoTime) {
    run->flags.logEnabled = true;
    GemsBankBuilder bank;
    bank.song().channel().loopForever().nop().eol().delay(5).note(1).note(2).eos();
    load(bank);
    pass(0);
    EXPECT_EQ(run->lists.loops.lengths, std::vector<int32_t>({0}));
    pass(0, 100);
    EXPECT_EQ(events(), notesAt({0}, 1) + " " + notesAt({5}, 2));
    EXPECT_EQ(countLines("nop"), 2u);  // once per pass
}

TEST_F(InterpreterTest, FiniteLoopsRepeatAndGoOnAfterTheirEnd) {
    GemsBankBuilder bank;
    bank.song().channel().delay(5).loop(3).note(1).note(2).eol().note(3).eos();
    bank.song().channel().delay(5).loop(0).note(1).eol().note(3).eos();
    bank.song().channel().delay(1).loop(2).note(1).loop(3).note(2).eol().eol().note(3).eos();
    load(bank);
    pass(0);
    EXPECT_EQ(events(), "+1@0 -1@0 +2@5 -2@5 +1@10 -1@10 +2@15 -2@15 +1@20 -1@20 +2@25 -2@25 +3@30 -3@30");
    EXPECT_TRUE(run->lists.loops.starts.empty());
    pass(1);
    EXPECT_EQ(events(), "c100:+1@0 c100:-1@0 c100:+3@5 c100:-3@5");
    pass(2);
    EXPECT_EQ(run->lists.events.size(), 2u * (2 + 6 + 1));
    EXPECT_EQ(run->lists.events.back().time, 8);
    // The same in the second pass, where maxTime may cut them short.
    pass(0, 12);
    EXPECT_EQ(events(), "+1@0 -1@0 +2@5 -2@5 +1@10 -1@10");
}

TEST_F(InterpreterTest, InfiniteLoopInsideAFiniteLoopIsMeasuredEachTime) {
    GemsBankBuilder bank;
    bank.song().channel().delay(4).loop(2).note(1).loopForever().note(2).eol().eol().eos();
    load(bank);
    pass(0);
    EXPECT_EQ(run->lists.loops.starts, std::vector<int32_t>({4, 12}));
    EXPECT_EQ(run->lists.loops.lengths, std::vector<int32_t>({4, 4}));
}

TEST_F(InterpreterTest, SixtyFourNestedLoopsAndNoMore) {
    run->flags.logEnabled = true;
    for (int depth : {64, 65}) {
        GemsBankBuilder bank;
        auto& ch = bank.song().channel();
        for (int i = 0; i < depth; ++i) ch.loop(depth == 64 && i == 0 ? 0x7F : 1);
        ch.note(1);
        for (int i = 0; i < depth; ++i) ch.eol();
        ch.note(2).eos();
        load(bank);
        pass(0);
        if (depth == 64) {
            EXPECT_EQ(events(), "+1@0 -1@0 +2@0 -2@0");
            EXPECT_EQ(run->lists.loops.starts.size(), 1u);
        } else {
            // The 65th loop start reads and traces its count, then the channel ends.
            EXPECT_EQ(events(), "");
            EXPECT_EQ(countLines("loop 1 times"), 63u + 65u);
            EXPECT_EQ(capture.text().substr(capture.text().size() - 13), "loop 1 times\n");
        }
    }
}

TEST_F(InterpreterTest, EndOfSequenceInsideALoopEndsTheChannel) {
    GemsBankBuilder bank;
    auto& song = bank.song();
    song.channel().note(1).loopForever().note(2).eos().eol().note(3).eos();
    song.channel().loop(2).note(4).eos().eol().note(5).eos();
    load(bank);
    pass(0);
    EXPECT_EQ(events(), "+1@0 -1@0 +2@0 -2@0 c1:+4@0 c1:-4@0");
    EXPECT_TRUE(run->lists.loops.starts.empty());
}

TEST_F(InterpreterTest, EndOfBankInsideALoopEndsTheChannelUnrecorded) {
    GemsBankBuilder bank;
    auto& song = bank.song();
    song.channel().note(1).eos();
    song.channel().delay(3).loopForever().note(2).note(2);  // runs off the end
    load(bank);
    pass(0);
    EXPECT_EQ(events(), "+1@0 -1@0 c1:+2@0 c1:-2@0 c1:+2@3 c1:-2@3");
    EXPECT_TRUE(run->lists.loops.starts.empty());
    pass(0, 50);
    EXPECT_EQ(run->lists.events.size(), 6u);
}

TEST_F(InterpreterTest, CommandWithOperandsCutOffByTheEndIsNotExecuted) {
    run->flags.logEnabled = true;
    const std::vector<std::vector<uint8_t>> tails = {
        {0x61}, {0x6C, 0x10}, {0x68}, {0x64}, {0x71, 1, 2, 3}, {0x72, 0x05}, {0x6F, 0x00}};
    for (const std::vector<uint8_t>& tail : tails) {
        GemsBankBuilder bank;
        bank.song().channel().delay(7).raw(tail);
        load(bank);
        const int32_t tempo = run->state.tempo;
        pass(0);
        EXPECT_TRUE(run->lists.events.empty());
        EXPECT_EQ(run->state.time, 0);
        EXPECT_EQ(run->state.tempo, tempo);
        EXPECT_EQ(run->state.volume, 0);
        EXPECT_EQ(run->state.patch, -1);
    }
    // Nothing but the delay bytes and the channel lines were traced.
    EXPECT_EQ(countLines("parseseq 0 0"), tails.size());
    EXPECT_EQ(countLines("delay = 7"), tails.size());
    EXPECT_EQ(capture.text().size(), tails.size() * (13 + 10));
}

TEST_F(InterpreterTest, TableCountOrPointerPastTheEndYieldsNothing) {
    run->flags.logEnabled = true;
    // Song 0 at offset 2: three channels, pointer 0 leads to 3C at offset 5,
    // pointer 1 would need byte 6.
    run->sequences.bytes = {0x02, 0x00, 0x03, 0x05, 0x00, 0x3C};
    pass(0);
    EXPECT_EQ(events(), "+3C@0 -3C@0");
    EXPECT_EQ(capture.text(), "parseseq 0 0\nnote = 3C t = 0 offs = 6\nwasdelay = false\n");
    pass(3);  // table entry at 6..7: past the end
    pass(2);  // table entry 0x3C00 beyond the bank: no channel count
    EXPECT_TRUE(run->lists.events.empty());
    EXPECT_EQ(countLines("parseseq 0 0"), 1u);
    EXPECT_EQ(capture.text().find("parseseq 2"), std::string::npos);
}

TEST_F(InterpreterTest, PlayCommandStartsSongsWithFlagS) {
    GemsBankBuilder bank;
    auto& first = bank.song();
    first.channel().delay(10).note(1).play(2).note(1).eos();
    first.channel().note(9).eos();
    bank.song().channel().note(5).eos();
    auto& third = bank.song();
    third.channel().note(2).eos();
    third.channel().delay(3).note(3).note(3).eos();
    load(bank);

    pass(0);
    EXPECT_EQ(events(), "+1@0 -1@0 +1@20 -1@20 c1:+9@0 c1:-9@0");
    run->flags.playOthers = true;
    pass(0);
    EXPECT_EQ(events(), "+1@0 -1@0 +1@20 -1@20 c1:+9@0 c1:-9@0 "
                        "c200:+2@10 c200:-2@10 c201:+3@10 c201:-3@10 c201:+3@13 c201:-3@13");
    EXPECT_EQ(run->lists.playSongs, std::vector<int32_t>({0, 2}));
    EXPECT_EQ(run->lists.playTimes, std::vector<int32_t>({0, 10}));
}

TEST_F(InterpreterTest, RepeatedSongsPlayOnlyInTheSecondPass) {
    run->flags.playOthers = true;
    run->flags.logEnabled = true;
    GemsBankBuilder bank;
    for (int s = 0; s < 6; ++s) bank.song();
    bank.song(3).channel().delay(8).play(5).play(5).eos();
    bank.song(5).channel().delay(1).loopForever().note(7).eol().eos();
    load(bank);
    pass(3);
    EXPECT_EQ(events(), "c500:+7@0 c500:-7@0");
    EXPECT_EQ(run->lists.playSongs, std::vector<int32_t>({3, 5, 5}));
    EXPECT_EQ(run->lists.loops.starts, std::vector<int32_t>({0}));
    EXPECT_EQ(countLines("parseseq 3 500"), 1u);
    pass(3, 10);
    EXPECT_EQ(run->lists.events.size(), 2u * (10 + 2));  // ticks 0..9 and 8..9
    EXPECT_EQ(countLines("parseseq 3 500"), 3u);
}

TEST_F(InterpreterTest, PlayListHoldsAtMost4096Entries) {
    run->flags.playOthers = true;
    GemsBankBuilder bank;
    bank.song().channel().play(0).note(1).eos();  // starts itself without time passing
    load(bank);
    pass(0);
    EXPECT_EQ(run->lists.playSongs.size(), 2u);
    EXPECT_EQ(run->lists.events.size(), 2u);
    pass(0, 100);
    EXPECT_EQ(run->lists.playSongs.size(), static_cast<size_t>(kPlayListLimit));
    EXPECT_EQ(run->lists.events.size(), 2u * kPlayListLimit);
}

}  // namespace
