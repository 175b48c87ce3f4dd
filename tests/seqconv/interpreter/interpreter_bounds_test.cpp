// The work bounds that keep any bank finite: per pass and per run, for records
// and byte-code bytes, and where exactly a pass stops.

#include "tests/seqconv/interpreter/interpreter_fixture.h"

namespace {

bool hasChannel(const std::vector<SeqEvent>& events, int32_t channelId) {
    for (const SeqEvent& e : events)
        if (e.channelId == channelId) return true;
    return false;
}

TEST_F(InterpreterTest, PassStopsAtTwoMillionRecords) {
    GemsBankBuilder bank;
    auto& song = bank.song();
    // 255^3 notes, far more than a pass may produce.
    song.channel().loop(255).loop(255).loop(255).note(1).eol().eol().eol().eos();
    song.channel().note(2).eos();
    bank.song().channel().note(3).eos();
    load(bank);
    pass(0);
    EXPECT_EQ(run->lists.events.size(), static_cast<size_t>(kPassRecordLimit));
    EXPECT_EQ(run->lists.events.back().spare, kPassRecordLimit - 1);
    EXPECT_FALSE(hasChannel(run->lists.events, 1));  // the next channel never starts
    EXPECT_EQ(run->budget.passRecords, kPassRecordLimit);

    // The next pass starts afresh; the run total carries on.
    pass(1);
    EXPECT_EQ(events(), "c100:+3@0 c100:-3@0");
    EXPECT_EQ(run->budget.runRecords, kPassRecordLimit + 2);
}

TEST_F(InterpreterTest, PassStopsAtOneHundredMillionBytes) {
    run->flags.playOthers = true;
    GemsBankBuilder bank;
    auto& song = bank.song();
    // Timeless bytes only: 255^4 repetitions of 0x73 0x65.
    song.channel().play(1).loop(255).loop(255).loop(255).loop(255).raw({0x73}).eol().eol().eol().eol().eos();
    song.channel().note(2).eos();
    bank.song().channel().note(3).eos();
    load(bank);
    pass(0);
    EXPECT_EQ(run->budget.passBytes, kPassByteLimit);
    EXPECT_EQ(run->budget.runBytes, kPassByteLimit);
    EXPECT_TRUE(run->lists.events.empty());  // neither channel 1 nor the started song 1
    EXPECT_EQ(run->lists.playSongs.size(), 2u);
}

TEST_F(InterpreterTest, RunByteTotalEndsEveryLaterPass) {
    run->flags.logEnabled = true;
    GemsBankBuilder bank;
    bank.song().channel().nop().nop().nop().nop().note(1).eos();
    load(bank);
    run->budget.runBytes = kRunByteLimit - 3;
    pass(0);
    // Three bytes read, the check before the fourth ends the pass.
    EXPECT_EQ(capture.text(), "parseseq 0 0\nnop\nwasdelay = false\nnop\nwasdelay = false\nnop\nwasdelay = false\n");
    EXPECT_EQ(run->budget.passBytes, 3);
    pass(0, 10);
    pass(0);
    EXPECT_TRUE(run->lists.events.empty());
    EXPECT_EQ(countLines("parseseq 0 0"), 1u);
    EXPECT_EQ(run->budget.runBytes, kRunByteLimit);
}

TEST_F(InterpreterTest, RunRecordTotalEndsEveryLaterPass) {
    GemsBankBuilder bank;
    bank.song().channel().note(1).note(2).eos();
    load(bank);
    run->budget.runRecords = kRunRecordLimit - 2;
    pass(0);
    EXPECT_EQ(events(), "+1@0 -1@0");
    pass(0);
    EXPECT_TRUE(run->lists.events.empty());
}

}  // namespace
