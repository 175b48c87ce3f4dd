// The checks of both banks before conversion: what counts as a pointer
// outside, the width hints, the empty-bank lines, and silence on every kind of
// bank the builders and the demo make.

#include "seqconv/bank_checks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "builders/gems_bank_builder.h"
#include "builders/vgm_builder.h"
#include "common/byte_order.h"
#include "examples/demo_bank.h"
#include "seqconv/interpreter/sequence_bank.h"
#include "seqconv/output/instrument_bank.h"
#include "tests/support/output_capture.h"

namespace {

std::unique_ptr<InstrumentBank> instrumentsOf(const std::vector<uint8_t>& file) {
    auto bank = std::make_unique<InstrumentBank>();
    const size_t n = std::min(file.size(), bank->bytes.size());
    std::copy(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(n), bank->bytes.begin());
    bank->loadedSize = static_cast<int32_t>(n);
    return bank;
}

std::vector<uint8_t> onePatchBank() {
    GemsInstrumentBankBuilder b;
    b.patch(0, {1, 2, 3});
    return b.bytes();
}

std::string warningsFor(const std::vector<uint8_t>& sequences, const std::vector<uint8_t>& instruments,
                        bool threeBytePointers) {
    OutputCapture out;
    printBankWarnings(out.file(), SequenceBank{sequences}, *instrumentsOf(instruments), threeBytePointers);
    return out.text();
}

TEST(BankChecks, BanksOfTheBuildersAndTheDemoRaiseNoWarning) {
    GemsBankBuilder plain;
    plain.song().channel().patch(0).delay(4).note(0x30).eos();
    plain.song().channel().loopForever().note(1).eol().eos();
    plain.song(1).channel().nop().eos();
    plain.song();  // a song without channels
    EXPECT_EQ(warningsFor(plain.bytes(), onePatchBank(), false), "");

    GemsBankBuilder wide;
    wide.threeBytePointers().codeAt(0x12345);
    for (int s = 0; s < 3; ++s) wide.song().channel().note(s).eos();
    wide.song(2).channel().delay(1).note(9).eos();
    EXPECT_EQ(warningsFor(wide.bytes(), onePatchBank(), true), "");

    GemsInstrumentBankBuilder instruments;
    for (uint8_t type = 0; type < 4; ++type) instruments.patch(type, {type, 7});
    EXPECT_EQ(warningsFor(plain.bytes(), instruments.bytes(), false), "");

    EXPECT_EQ(warningsFor(buildDemoSequenceBank(), buildDemoInstrumentBank(), false), "");
}

TEST(BankChecks, TheOtherPointerWidthIsSuggestedWhenItFits) {
    // Two channels with 3-byte pointers read 2 bytes wide: the first still reads
    // its low 16 bits (the top byte is 0), the second reads that top byte and
    // the next pointer's low byte, a value beyond this small bank.
    GemsBankBuilder wide;
    wide.threeBytePointers();
    wide.song().channel().note(1).eos();
    wide.song(0).channel().note(2).eos();
    EXPECT_EQ(warningsFor(wide.bytes(), onePatchBank(), false),
              "Warning: 1 of 3 song and channel pointers point outside the sequence bank (try flag 3)\n");

    // Two-byte pointers read 3 bytes wide: each read takes a byte of the next
    // pointer or of the byte code as its top byte, a value beyond the bank.
    GemsBankBuilder narrow;
    narrow.song().channel().note(1).eos();
    narrow.song(0).channel().note(2).eos();
    EXPECT_EQ(warningsFor(narrow.bytes(), onePatchBank(), true),
              "Warning: 2 of 3 song and channel pointers point outside the sequence bank (try without flag 3)\n");

    // No hint when neither width helps: both song entries point outside.
    EXPECT_EQ(warningsFor({4, 0, 0xFF, 0}, onePatchBank(), false),
              "Warning: 2 of 2 song and channel pointers point outside the sequence bank\n");
    EXPECT_EQ(warningsFor({4, 0, 0xFF, 0}, onePatchBank(), true),
              "Warning: 2 of 2 song and channel pointers point outside the sequence bank\n");
}

TEST(BankChecks, PointersCountAsOutsideByTheirBytesAndTheirValue) {
    // Song table of two entries: 4 and 6. Header at 4: two channels, pointers at
    // 5 and 7. File of 9 bytes.
    std::vector<uint8_t> bank = {4, 0, 0x10, 0, 2, 8, 0, 9, 0};
    PointerCount c = countSongPointers(SequenceBank{bank}, 2);
    // Entry 1 (16) lies beyond the file, so its header is not read; pointer 8
    // is the last byte, inside; pointer 9 equals the size, outside.
    EXPECT_EQ(c.total, 4);
    EXPECT_EQ(c.outside, 2);
    bank[7] = 8;
    EXPECT_EQ(countSongPointers(SequenceBank{bank}, 2).outside, 1);
    // A pointer whose bytes run past the end: the header says three channels.
    bank[4] = 3;
    c = countSongPointers(SequenceBank{bank}, 2);
    EXPECT_EQ(c.total, 5);
    EXPECT_EQ(c.outside, 2);

    for (const std::vector<uint8_t>& empty : {std::vector<uint8_t>{}, {6}, {0, 0, 4, 0}}) {
        EXPECT_EQ(warningsFor(empty, onePatchBank(), false), "Warning: the sequence bank holds no songs\n");
        EXPECT_EQ(warningsFor(empty, onePatchBank(), true), "Warning: the sequence bank holds no songs\n");
    }
}

TEST(BankChecks, PatchOffsetsCountAsOutsideByTheirEntryAndTheirValue) {
    GemsBankBuilder songs;
    songs.song().channel().note(1).eos();
    const std::vector<uint8_t> seq = songs.bytes();
    for (const std::vector<uint8_t>& empty : {std::vector<uint8_t>{}, {4}, {0, 0, 9, 9}}) {
        EXPECT_EQ(warningsFor(seq, empty, false), "Warning: the instrument bank holds no patches\n");
    }
    // Table of 3 entries (first word 6) in a file of 7 bytes: 6 inside, 7 is
    // the size (outside), and the third entry is 0xFFFF.
    EXPECT_EQ(warningsFor(seq, {6, 0, 7, 0, 0xFF, 0xFF, 0}, false),
              "Warning: 2 of 3 patch offsets point outside the instrument bank\n");
    // First word 8 in a 5-byte file: entries 2 and 3 are not wholly in the file.
    EXPECT_EQ(warningsFor(seq, {8, 0, 4, 0, 0}, false),
              "Warning: 3 of 4 patch offsets point outside the instrument bank\n");
    // An odd first word counts its half, rounded down: 0xFFFF is no entry.
    EXPECT_EQ(warningsFor(seq, {5, 0, 4, 0, 0xFF, 0xFF}, false), "");

    // Larger than the loaded part: a 16-bit offset is always below 65,792.
    std::vector<uint8_t> large(kInstrumentBankSize + 10, 0);
    writeLe16(&large[0], 2);
    EXPECT_EQ(countPatchOffsets(*instrumentsOf(large)).outside, 0);
}

TEST(BankChecks, AVgmFileIsNoSequenceBank) {
    VgmBuilder vgm;
    vgm.dataBlock(0x00, std::vector<uint8_t>(900, 0x80)).wait(100).end();
    const std::vector<uint8_t> bytes = vgm.bytes();
    // "Vg" read as the first table entry: 0x6756 bytes of table, 13,227 songs,
    // nearly all of whose entries lie beyond a file of about a kilobyte.
    const PointerCount c = countSongPointers(SequenceBank{bytes}, 2);
    EXPECT_GE(c.total, 13227);
    EXPECT_GE(c.outside, 13227 - static_cast<int32_t>(bytes.size() / 2));
    const std::string text = warningsFor(bytes, onePatchBank(), false);
    EXPECT_EQ(text, "Warning: " + std::to_string(c.outside) + " of " + std::to_string(c.total) +
                        " song and channel pointers point outside the sequence bank\n");
}

}  // namespace
