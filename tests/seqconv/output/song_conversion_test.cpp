// Whole songs from GEMS banks to MIDI and text files, byte by byte, through
// convertSong and through the program's entry with banks on disk.
#include "seqconv/output/song_conversion.h"

#include <gtest/gtest.h>

#include "tests/seqconv/output/song_output_fixture.h"
#include "tests/support/midi_dump.h"
#include "tests/support/process_runner.h"
#include "tests/support/seqconv_test_run.h"

namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kEndOfTrack = {0xFF, 0x2F, 0x00};

Bytes tempo(uint8_t a, uint8_t b, uint8_t c) { return {0x00, 0xFF, 0x51, 0x03, a, b, c}; }
const Bytes kTempo120 = tempo(0x07, 0xA1, 0x20);

struct ConversionTest : ::testing::Test, SongOutputFixture {
    GemsBankBuilder sequences;

    ConversionTest() {
        GemsInstrumentBankBuilder bank;
        bank.patch(0, {0x11, 0x22, 0x33, 0x44});  // 0: FM
        bank.patch(1, {0x05, 0x06, 0x07, 0x08});  // 1: DAC
        setInstruments(bank);
    }

    void convert(int32_t song) {
        run->sequences.bytes = sequences.bytes();
        convertInto(song);
    }
};

// The worked example of the loop alignment as byte code: a loop of 6 ticks
// from 0 and a loop of 4 ticks from 2; the last first-pass event at 20.
void addAlignmentSong(GemsBankBuilder& b, int secondStart, int secondLength) {
    GemsSongBuilder& song = b.song();
    song.channel().patch(0).duration(3).delay(6).loopForever().note(0x30).eol().eos();
    GemsChannelBuilder& second = song.channel().patch(0).delay(static_cast<uint32_t>(secondStart)).nop();
    second.duration(20 - static_cast<uint32_t>(secondStart)).delay(static_cast<uint32_t>(secondLength));
    second.loopForever().note(0x40).eol().eos();
}

}  // namespace

TEST_F(ConversionTest, WorkedExampleFromByteCode) {
    sequences.song().channel().tempo(80).patch(0).duration(24).note(0x3C).eos();
    run->flags.logEnabled = true;
    convert(0);
    const Bytes expected = midiFile({
        bytesOf({kTempo120, metaText(24, 0x06, "end"), {0x00}, kEndOfTrack}),
        bytesOf({trackStart("Patch 00(FM)", 0), {0x00, 0x90, 0x3C, 0x7F}, {0x18}, kEndOfTrack}),
    });
    EXPECT_EQ(dumpMidiFile(midiBytes()), dumpMidiFile(expected));
    EXPECT_EQ(midiBytes(), expected);
    EXPECT_EQ(textFile(),
              "time=0 channel=0 note=3C on=1\n"
              "time=18 channel=0 note=3C on=0\n"
              "Patch 00 (FM): 00 11 22 33 44\n");
    // The interpreter's trace of both passes, "maxtime" once between them, and
    // the writer's lines at the end.
    const std::string trace = printed.text();
    const size_t between = trace.find("maxtime = 24\n");
    ASSERT_NE(between, std::string::npos) << trace;
    const std::string firstPass = trace.substr(0, between);
    EXPECT_EQ(firstPass.rfind("parseseq 0 0\n", 0), 0u) << trace;
    EXPECT_EQ(trace.substr(between), "maxtime = 24\n" + firstPass + "output\ntrack_end:24\n");
}

TEST_F(ConversionTest, WithoutLogNothingIsPrintedAndTheTextHoldsTheListings) {
    sequences.song().channel().patch(0).duration(24).note(0x3C).eos();
    convert(0);
    EXPECT_EQ(printed.text(), "");
    EXPECT_EQ(textFile(), "Patch 00 (FM): 00 11 22 33 44\n");
}

TEST_F(ConversionTest, SongWithoutChannelsEndsAtOne) {
    sequences.song();
    run->flags.crtLoops = true;
    run->flags.logEnabled = true;
    convert(0);
    EXPECT_EQ(midiBytes(), midiFile({bytesOf({kTempo120, metaText(1, 0x06, "end"), {0x00}, kEndOfTrack})}));
    EXPECT_EQ(printed.text(), "maxtime = 1\noutput\ntrack_end:1\n");
    EXPECT_EQ(textFile(), "");
}

TEST_F(ConversionTest, LoopsAlignedWithFlagC) {
    addAlignmentSong(sequences, 2, 4);
    run->flags.crtLoops = true;
    convert(0);
    EXPECT_EQ(run->state.maxTime, 30);
    // Channel 0 repeats its 6-tick loop five times; channel 1 its 4-tick loop
    // seven times, each 18-tick note struck again while it sounds.
    const Bytes expected = midiFile({
        bytesOf({kTempo120, metaText(0, 0x06, "loop start"), metaText(30, 0x06, "loop end"), {0x00}, kEndOfTrack}),
        bytesOf({trackStart("Patch 00(FM)", 0),
                 {0, 0x90, 0x30, 0x7F}, {3, 0x80, 0x30, 0x7F}, {3, 0x90, 0x30, 0x7F}, {3, 0x80, 0x30, 0x7F},
                 {3, 0x90, 0x30, 0x7F}, {3, 0x80, 0x30, 0x7F}, {3, 0x90, 0x30, 0x7F}, {3, 0x80, 0x30, 0x7F},
                 {3, 0x90, 0x30, 0x7F}, {3, 0x80, 0x30, 0x7F}, {3}, kEndOfTrack}),
        bytesOf({trackStart("Patch 00(FM)", 1),
                 {2, 0x91, 0x40, 0x7F},
                 {4, 0x81, 0x40, 0x7F}, {0, 0x91, 0x40, 0x7F},
                 {4, 0x81, 0x40, 0x7F}, {0, 0x91, 0x40, 0x7F},
                 {4, 0x81, 0x40, 0x7F}, {0, 0x91, 0x40, 0x7F},
                 {4, 0x81, 0x40, 0x7F}, {0, 0x91, 0x40, 0x7F},
                 {2, 0x81, 0x40, 0x7F},   // 20: the note struck at 2 ends
                 {2, 0x91, 0x40, 0x7F},   // 22
                 {2, 0x81, 0x40, 0x7F},   // 24
                 {2, 0x91, 0x40, 0x7F},   // 26
                 {2, 0x81, 0x40, 0x7F},   // 28
                 {2}, kEndOfTrack}),
    });
    EXPECT_EQ(dumpMidiFile(midiBytes()), dumpMidiFile(expected));
    EXPECT_EQ(midiBytes(), expected);
}

TEST_F(ConversionTest, LoopsWithoutFlagCEndAtTheLastEvent) {
    addAlignmentSong(sequences, 2, 4);
    run->flags.logEnabled = true;
    convert(0);
    EXPECT_EQ(run->state.maxTime, 20);
    EXPECT_NE(printed.text().find("maxtime = 20\n"), std::string::npos);
    EXPECT_NE(printed.text().find("track_end:20\n"), std::string::npos);
    const Bytes conductor = midiChunks(midiBytes()).at(1);
    EXPECT_EQ(conductor, bytesOf({kTempo120, metaText(20, 0x06, "end"), {0x00}, kEndOfTrack}));
}

TEST_F(ConversionTest, DisagreeingLoopsEndAtTheLastEvent) {
    addAlignmentSong(sequences, 1, 2);
    run->flags.crtLoops = true;
    convert(0);
    EXPECT_EQ(run->state.maxTime, 20);
    const Bytes conductor = midiChunks(midiBytes()).at(1);
    EXPECT_EQ(conductor, bytesOf({kTempo120, metaText(20, 0x06, "end"), {0x00}, kEndOfTrack}));
}

TEST_F(ConversionTest, PerSongListsStartEmpty) {
    // Song 0 uses DAC keys and patch 1; song 1 only patch 0: its listing and
    // numbering owe nothing to song 0.
    sequences.song().channel().patch(1).duration(1).delay(2).note(0x31).note(0x33).eos();
    sequences.song().channel().patch(1).duration(1).delay(2).note(0x33).patch(0).note(0x20).eos();
    convert(0);
    text = files.create("001.txt");
    midi = files.create("001.mid");
    convertInto(1);
    const std::vector<uint8_t>& t = files.at("001.txt");
    EXPECT_EQ(std::string(t.begin(), t.end()),
              "Patch 01 (DAC): 01 05 06 07 08\n"
              "Patch 00 (FM): 00 11 22 33 44\n"
              "DAC (0) 01 33\n");
    // Song 1's first DAC key is note 48 again; its last note-off lies at the end time.
    EXPECT_EQ(midiChunks(files.at("001.mid")).at(2),
              bytesOf({trackStart("Patch 01(DAC)", 0), {0x00, 0x90, 0x30, 0x7F}, {0x01, 0x80, 0x30, 0x7F},
                       {0x03, 0x90, 0x20, 0x7F}, {0x01}, kEndOfTrack}));
}

// Three songs with every flag: 3-byte pointers, PAL tempo, song 0 starting
// song 2, loops aligned, logs. Run through the program's entry point with the
// banks on disk and the output in memory.
TEST(SeqconvProgram, SeveralSongsWithAllFlags) {
    GemsBankBuilder sequences;
    sequences.threeBytePointers();
    sequences.song().channel().tempo(110).patch(1).duration(2).delay(4).note(0x30).note(0x32).play(2)
        .loopForever().note(0x30).eol().eos();
    sequences.song().channel().patch(2).pitch(256).duration(10).note(0x40).eos();
    sequences.song().channel().patch(0).delay(3).duration(3).loopForever().note(0x24).eol().eos();
    GemsInstrumentBankBuilder instruments;
    instruments.patch(0, {0x3A, 0x01, 0x02, 0x03});
    instruments.patch(1, {0x10, 0x20, 0x30, 0x40});
    instruments.patch(2, {0x0F, 0x0E, 0x0D, 0x0C});

    TempDir dir;
    ASSERT_TRUE(writeWholeFile(dir.file("seq.bin"), sequences.bytes()));
    ASSERT_TRUE(writeWholeFile(dir.file("ins.bin"), instruments.bytes()));
    SeqconvTestRun f;
    EXPECT_EQ(f.start({dir.file("seq.bin"), dir.file("ins.bin"), "out", "3pscl"}), kSeqconvExitOk);

    // Tempo 110 + 40 = 150, PAL: 480,000 microseconds, kept by the later songs.
    const Bytes tempoPal150 = tempo(0x07, 0x53, 0x00);
    const std::string out0 = joinOutputPath("out", "000.mid");
    // Song 0: loops (12, 4) and song 2's (8, 3) align at 8 + 12 = 20.
    const Bytes song0 = midiFile({
        bytesOf({tempoPal150, metaText(8, 0x06, "loop start"), metaText(12, 0x06, "loop end"), {0x00}, kEndOfTrack}),
        bytesOf({trackStart("Patch 01(DAC)", 0),
                 {0, 0x90, 0x30, 0x7F}, {2, 0x80, 0x30, 0x7F}, {2, 0x90, 0x31, 0x7F}, {2, 0x80, 0x31, 0x7F},
                 {6, 0x90, 0x30, 0x7F}, {2, 0x80, 0x30, 0x7F}, {2, 0x90, 0x30, 0x7F}, {2, 0x80, 0x30, 0x7F},
                 {2}, kEndOfTrack}),
        bytesOf({trackStart("Patch 00(FM)", 1),
                 {8, 0x91, 0x24, 0x7F}, {3, 0x81, 0x24, 0x7F}, {0, 0x91, 0x24, 0x7F}, {3, 0x81, 0x24, 0x7F},
                 {0, 0x91, 0x24, 0x7F}, {3, 0x81, 0x24, 0x7F}, {0, 0x91, 0x24, 0x7F}, {3}, kEndOfTrack}),
    });
    EXPECT_EQ(dumpMidiFile(f.files.at(out0)), dumpMidiFile(song0));
    const std::vector<uint8_t>& text0 = f.files.at(joinOutputPath("out", "000.txt"));
    EXPECT_EQ(std::string(text0.begin(), text0.end()),
              "time=0 channel=0 note=30 on=1\n"
              "time=2 channel=0 note=30 on=0\n"
              "time=4 channel=0 note=32 on=1\n"
              "time=6 channel=0 note=32 on=0\n"
              "time=C channel=0 note=30 on=1\n"
              "time=E channel=0 note=30 on=0\n"
              "time=10 channel=0 note=30 on=1\n"
              "time=12 channel=0 note=30 on=0\n"
              "time=8 channel=200 note=24 on=1\n"
              "time=B channel=200 note=24 on=0\n"
              "time=B channel=200 note=24 on=1\n"
              "time=E channel=200 note=24 on=0\n"
              "time=E channel=200 note=24 on=1\n"
              "time=11 channel=200 note=24 on=0\n"
              "time=11 channel=200 note=24 on=1\n"
              "time=14 channel=200 note=24 on=0\n"
              "Patch 01 (DAC): 01 10 20 30 40\n"
              "Patch 00 (FM): 00 3A 01 02 03\n"
              "DAC (0) 01 30\n"
              "DAC (1) 01 32\n");

    // Song 1: no loop; its note-off at the end time 10 is not written.
    const Bytes song1 = midiFile({
        bytesOf({tempoPal150, metaText(10, 0x06, "end"), {0x00}, kEndOfTrack}),
        bytesOf({trackStart("Patch 02(PSG)", 0), {0, 0xE0, 0x2A, 0x45}, {0, 0x90, 0x40, 0x7F}, {10}, kEndOfTrack}),
    });
    EXPECT_EQ(dumpMidiFile(f.files.at(joinOutputPath("out", "001.mid"))), dumpMidiFile(song1));
    const std::vector<uint8_t>& text1 = f.files.at(joinOutputPath("out", "001.txt"));
    EXPECT_EQ(std::string(text1.begin(), text1.end()),
              "time=0 channel=100 note=0 on=1\n"
              "time=0 channel=100 note=40 on=1\n"
              "time=A channel=100 note=40 on=0\n"
              "Patch 02 (PSG): 02 0F 0E 0D 0C\n");

    // Song 2 on its own: one loop of 3 from 0, aligned at 0, stepped to 3.
    const Bytes song2 = midiFile({
        bytesOf({tempoPal150, metaText(0, 0x06, "loop start"), metaText(3, 0x06, "loop end"), {0x00}, kEndOfTrack}),
        bytesOf({trackStart("Patch 00(FM)", 0), {0, 0x90, 0x24, 0x7F}, {3}, kEndOfTrack}),
    });
    EXPECT_EQ(dumpMidiFile(f.files.at(joinOutputPath("out", "002.mid"))), dumpMidiFile(song2));
    EXPECT_EQ(f.files.at(joinOutputPath("out", "002.mid")), song2);
    EXPECT_EQ(f.files.at(out0), song0);
    EXPECT_EQ(f.files.at(joinOutputPath("out", "001.mid")), song1);

    // The writer's trace lines, one set per song, in order.
    const std::string trace = f.text();
    std::string writerLines;
    for (size_t pos = 0; pos < trace.size();) {
        const size_t end = trace.find('\n', pos);
        const std::string line = trace.substr(pos, end - pos + 1);
        if (line.rfind("maxtime", 0) == 0 || line == "output\n" || line.rfind("loop_start", 0) == 0 ||
            line.rfind("track_end", 0) == 0)
            writerLines += line;
        pos = end + 1;
    }
    EXPECT_EQ(writerLines,
              "maxtime = 20\noutput\nloop_start:8\n"
              "maxtime = 10\noutput\ntrack_end:10\n"
              "maxtime = 3\noutput\nloop_start:0\n");
}
