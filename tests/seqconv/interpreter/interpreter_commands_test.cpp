// Delay and duration groups, the time step after notes and commands, and the
// operands and effects of every command.

#include "tests/seqconv/interpreter/interpreter_fixture.h"

namespace {

TEST_F(InterpreterTest, DelayGroupsContinueOnlyAcrossBytesOfTheSameKind) {
    GemsBankBuilder bank;
    bank.song().channel().raw({0xC1, 0xC5, 0x3C, 0x3D, 0x60});  // delay 1*64+5
    bank.song().channel().raw({0xC1, 0x81, 0xC5, 0x3C, 0x3D, 0x60});  // duration breaks the run
    bank.song().channel().raw({0x81, 0x82, 0x3C, 0x60});  // duration 1*64+2
    load(bank);

    pass(0);
    EXPECT_EQ(events(), "+3C@0 -3C@0 +3D@69 -3D@69");
    pass(1);
    EXPECT_EQ(events(), "c100:+3C@0 c100:-3C@1 c100:+3D@5 c100:-3D@6");
    pass(2);
    EXPECT_EQ(events(), "c200:+3C@0 c200:-3C@66");
}

TEST_F(InterpreterTest, DelayAndDurationStickUntilReplacedAndResetAtChannelStart) {
    GemsBankBuilder bank;
    auto& song = bank.song();
    // A note between two delay bytes clears continuation: C2 3C C3 gives delay 3.
    song.channel().duration(5).delay(2).note(0x30).note(0x31).delay(3).note(0x32).note(0x33).eos();
    song.channel().note(0x40).note(0x41).eos();
    load(bank);
    pass(0);
    EXPECT_EQ(events(),
              "+30@0 -30@5 +31@2 -31@7 +32@4 -32@9 +33@7 -33@12 "
              "c1:+40@0 c1:-40@0 c1:+41@0 c1:-41@0");
}

TEST_F(InterpreterTest, CommandsTakeTheDelayNotesDoExceptTheTimelessOnes) {
    GemsBankBuilder bank;
    auto& ch = bank.song().channel();
    // 61 02 3C with delay 4: patch at 0, note at 4, time 8 after it.
    ch.delay(4).patch(2).note(0x3C).note(0x3D);
    // 0x6F with operands, 0x73 and a loop start take no time.
    ch.jmp(0x1234).raw({0x73}).loop(1).note(0x3E).eol().note(0x3F).eos();
    load(bank);
    pass(0);
    EXPECT_EQ(events(), "+3C@4 -3C@4 +3D@8 -3D@8 +3E@12 -3E@12 +3F@16 -3F@16");
    EXPECT_EQ(run->lists.events[0].patch, 2);
}

TEST_F(InterpreterTest, UnassignedCommandsKeepContinuationOtherCommandsClearIt) {
    GemsBankBuilder bank;
    bank.song().channel().raw({0xC1, 0x73, 0xC5, 0x3C, 0x3D, 0x60});  // 0x73: delay 69
    bank.song().channel().raw({0xC1, 0x6F, 0x00, 0x00, 0xC5, 0x3C, 0x3D, 0x60});  // 0x6F: delay 5
    bank.song().channel().raw({0xC1, 0x63, 0xC5, 0x3C, 0x3D, 0x60});  // nop (takes 1): delay 5
    load(bank);
    pass(0);
    EXPECT_EQ(events(), "+3C@0 -3C@0 +3D@69 -3D@69");
    pass(1);
    EXPECT_EQ(events(), "c100:+3C@0 c100:-3C@0 c100:+3D@5 c100:-3D@5");
    pass(2);
    EXPECT_EQ(events(), "c200:+3C@1 c200:-3C@1 c200:+3D@6 c200:-3D@6");
}

TEST_F(InterpreterTest, NoteRecordsCarryTheRegistersOfTheirNote) {
    GemsBankBuilder bank;
    auto& ch = bank.song().channel();
    ch.duration(10).delay(4).patch(7).priority(9).volume(0x30).pitch(-2).note(0x3C);
    ch.patch(8).volume(0x10).pitch(5).note(0x3D).eos();
    load(bank);
    pass(0);
    ASSERT_EQ(run->lists.events.size(), 6u);
    const SeqEvent& on = run->lists.events[1];
    const SeqEvent& off = run->lists.events[2];
    EXPECT_EQ(on.time, 16);
    EXPECT_EQ(off.time, 26);  // after the patch change at 20: still patch 7
    for (const SeqEvent* e : {&on, &off}) {
        EXPECT_EQ(e->note, 0x3C);
        EXPECT_EQ(e->patch, 7);
        EXPECT_EQ(e->priority, 9);
        EXPECT_EQ(e->volume, 0x30);
        EXPECT_EQ(e->pitch, -2);
        EXPECT_EQ(e->pitchEvent, 0);
    }
    EXPECT_EQ(on.on, 1);
    EXPECT_EQ(off.on, 0);
    EXPECT_EQ(run->lists.events[5].patch, 8);
    EXPECT_EQ(run->lists.events[5].volume, 0x10);
    // spare numbers the records of the pass in production order.
    for (size_t i = 0; i < run->lists.events.size(); ++i) EXPECT_EQ(run->lists.events[i].spare, static_cast<int32_t>(i));
}

TEST_F(InterpreterTest, PitchExtremesMakePitchRecords) {
    GemsBankBuilder bank;
    bank.song().channel().delay(3).raw({0x6C, 0x00, 0x80, 0x3C, 0x6C, 0xFF, 0x7F, 0x3D, 0x60});
    load(bank);
    pass(0);
    EXPECT_EQ(events(), "P-32768@0 +3C@3 -3C@3 P32767@6 +3D@9 -3D@9");
    EXPECT_EQ(run->lists.events[0].note, 0);
    EXPECT_EQ(run->lists.events[0].on, 1);
    EXPECT_EQ(run->lists.events[1].pitch, -32768);
    EXPECT_EQ(run->lists.events[4].pitch, 32767);
}

TEST_F(InterpreterTest, TempoCarriesOverSongsThatSetNone) {
    GemsBankBuilder bank;
    bank.song().channel().tempo(0x78).eos();
    bank.song().channel().note(1).eos();
    bank.song().channel().tempo(0x78).sfx().eos();
    load(bank);
    pass(0);
    EXPECT_EQ(run->state.tempo, 160);
    pass(1);
    pass(1, 5);
    EXPECT_EQ(run->state.tempo, 160);
    pass(2);
    EXPECT_EQ(run->state.tempo, 150);
}

TEST_F(InterpreterTest, Command72SubcommandsAndTheirTraceLines) {
    run->flags.logEnabled = true;
    GemsBankBuilder bank;
    bank.song().channel().delay(2).raw({0x72, 0x05, 0x40, 0x3C, 0x72, 0x04, 0x41, 0x72, 0x09, 0x01,
                                        0x72, 0x02, 0x07, 0x3D, 0x60});
    load(bank);
    pass(0);
    EXPECT_EQ(events(), "+3C@2 -3C@2 +3D@10 -3D@10");
    EXPECT_EQ(run->lists.events[2].volume, 64);  // sub 4 stores nothing
    const std::string trace = capture.text();
    EXPECT_NE(trace.find("volume 64\nwasdelay = false\n"), std::string::npos) << trace;
    EXPECT_NE(trace.find("mastervolume 65\nwasdelay = false\n$72 unk 9 1\nwasdelay = false\n"
                         "wasdelay = false\nnote = 3D"),
              std::string::npos)
        << trace;
}

TEST_F(InterpreterTest, TraceOfEveryCommand) {
    run->flags.logEnabled = true;
    GemsBankBuilder bank;
    auto& ch = bank.song().channel();
    ch.delay(0x41).duration(0xA).note(0x3C).patch(0x1D).modulation(0xAB).nop().param(0x66, 5);
    ch.param(0x6E, 0xFE).tempo(0x78).priority(200).play(5).pitch(-1).sfx().jmp(0xBEEF);
    ch.set(0x1F, 0xA0).jmpUnknown(1, 0x22, 3, 0xF4).raw({0x7F}).loop(2).eol().eos();
    load(bank);
    pass(0);
    const uint32_t noteEnd = bank.channelOffset(0, 0) + 4;
    EXPECT_EQ(capture.text(),
              "parseseq 0 0\n"
              "delay = 1\ndelay = 41\nduration = A\n"
              "note = 3C t = 0 offs = " + hex(static_cast<int32_t>(noteEnd)) + "\nwasdelay = false\n"
              "patch 1D\nwasdelay = false\n"
              "modulation AB\nwasdelay = false\n"
              "nop\nwasdelay = false\n"
              "param 05\nwasdelay = false\n"
              "param FE\nwasdelay = false\n"
              "tempo 120+40=160 (dec)\nwasdelay = false\n"
              "priority 200 (dec)\nwasdelay = false\n"
              "play 05\nwasdelay = false\n"
              "pitch FF FF\nwasdelay = false\n"
              "sfx\nwasdelay = false\n"
              "jmp BEEF\n"
              "set _1F = A0\nwasdelay = false\n"
              "jmp ? 1 22 3 F4\nwasdelay = false\n"
              "Unknown command 7F\n"
              "loop 2 times\neol\neol\n"
              "eos\n");
    // Without flag s the play command only traced; the jump was not followed.
    EXPECT_EQ(run->lists.playSongs.size(), 1u);
    EXPECT_EQ(run->state.time, 0x41 * 13);  // 13 commands and notes took the delay
}

TEST_F(InterpreterTest, ChannelIdsAndChannelCountZero) {
    run->flags.logEnabled = true;
    GemsBankBuilder bank;
    bank.song();  // song 0: no channels
    auto& song = bank.song();
    song.channel().note(1).eos();
    song.channel().note(2).eos();
    song.channel().note(3).eos();
    load(bank);
    pass(0);
    EXPECT_TRUE(run->lists.events.empty());
    EXPECT_EQ(capture.text(), "");
    pass(1);
    EXPECT_EQ(events(), "c100:+1@0 c100:-1@0 c101:+2@0 c101:-2@0 c102:+3@0 c102:-3@0");
    EXPECT_EQ(countLines("parseseq 1 102"), 1u);
}

TEST_F(InterpreterTest, ThreeBytePointersAreLowByteFirst) {
    GemsBankBuilder bank;
    bank.threeBytePointers().codeAt(0x11234);
    bank.song().channel().note(0x3C).eos();
    load(bank);
    ASSERT_EQ(bank.channelOffset(0, 0), 0x11234u);
    const std::vector<uint8_t>& bytes = run->sequences.bytes;
    EXPECT_EQ(bytes[0], 2);  // song table entries stay 2 bytes
    EXPECT_EQ(bytes[1], 0);
    EXPECT_EQ(bytes[3], 0x34);
    EXPECT_EQ(bytes[4], 0x12);
    EXPECT_EQ(bytes[5], 0x01);
    run->flags.threeBytePointers = true;
    pass(0);
    EXPECT_EQ(events(), "+3C@0 -3C@0");
    // Read as two bytes the pointer leads to 0x1234, inside the zero padding:
    // a run of notes 0 up to the real byte code.
    run->flags.threeBytePointers = false;
    pass(0);
    ASSERT_FALSE(run->lists.events.empty());
    EXPECT_EQ(run->lists.events[0].note, 0);
}

TEST_F(InterpreterTest, JumpIsNotFollowed) {
    GemsBankBuilder bank;
    auto& ch = bank.song().channel();
    ch.note(1);
    ch.jmp(static_cast<int>(bank.channelOffset(0, 0))).note(2).eos();
    load(bank);
    pass(0);
    EXPECT_EQ(events(), "+1@0 -1@0 +2@0 -2@0");
}

TEST_F(InterpreterTest, DelayAndDurationAreThirtyTwoBitRegisters) {
    run->flags.logEnabled = true;
    GemsBankBuilder bank;
    // Six delay groups of 63 wrap the register to -1: the step after the
    // first note would take time below zero, which ends the channel.
    bank.song().channel().raw({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x3C, 0x3D, 0x3E, 0x60});
    // Six duration groups of 63 wrap to -1: each note-off lies one tick
    // before its note-on.
    bank.song().channel().raw({0xBF, 0xBF, 0xBF, 0xBF, 0xBF, 0xBF, 0xC1, 0x3C, 0x3D, 0x60});
    // 4 * 64^5 + 5 wraps to a delay of 5, and the channel goes on with it.
    bank.song().channel().raw({0xC4, 0xC0, 0xC0, 0xC0, 0xC0, 0xC5, 0x3C, 0x3D, 0x60});
    // Delay 2^30, duration 2^30 + 1: the second note-off lies past INT32_MAX
    // and wraps negative; the step after it leaves the 32-bit range.
    bank.song().channel().raw({0xC1, 0xC0, 0xC0, 0xC0, 0xC0, 0xC0, 0x81, 0x80, 0x80, 0x80, 0x80, 0x81,
                               0x3C, 0x3D, 0x3E, 0x60});
    // A negative delay would take time back: the channel ends instead.
    bank.song().channel().raw({0xC5, 0x3C, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x3D, 0x3E, 0x60});
    load(bank);
    pass(0);
    EXPECT_EQ(events(), "+3C@0 -3C@0");
    EXPECT_EQ(run->state.delay, -1);
    EXPECT_EQ(countLines("delay = FFFFFFFF"), 1u);
    pass(1);
    EXPECT_EQ(events(), "c100:+3C@0 c100:-3C@-1 c100:+3D@1 c100:-3D@0");
    EXPECT_EQ(countLines("duration = FFFFFFFF"), 1u);
    pass(2);
    EXPECT_EQ(events(), "c200:+3C@0 c200:-3C@0 c200:+3D@5 c200:-3D@5");
    pass(3);
    EXPECT_EQ(events(), "c300:+3C@0 c300:-3C@1073741825 c300:+3D@1073741824 c300:-3D@-2147483647");
    pass(4);
    EXPECT_EQ(events(), "c400:+3C@0 c400:-3C@0 c400:+3D@5 c400:-3D@5");
}

}  // namespace
