// The GEMS sample bank: header decoding, the table's extent, rates, the
// frames and loops of 8-bit and packed data, and banks that lie.

#include <gtest/gtest.h>

#include <vector>

#include "seqconv/bank_files/dac_key_map.h"
#include "seqconv/bank_files/sample_bank.h"

namespace {

struct RawHeader {
    uint8_t flags;
    uint32_t offset;
    uint16_t skip, first, loop, end;
};

void putHeader(std::vector<uint8_t>& bank, size_t at, const RawHeader& h) {
    if (bank.size() < at + kSampleHeaderSize) bank.resize(at + kSampleHeaderSize);
    uint8_t* p = bank.data() + at;
    p[0] = h.flags;
    p[1] = h.offset & 0xFF, p[2] = (h.offset >> 8) & 0xFF, p[3] = (h.offset >> 16) & 0xFF;
    p[4] = h.skip & 0xFF, p[5] = h.skip >> 8;
    p[6] = h.first & 0xFF, p[7] = h.first >> 8;
    p[8] = h.loop & 0xFF, p[9] = h.loop >> 8;
    p[10] = h.end & 0xFF, p[11] = h.end >> 8;
}

SampleBank bankOf(std::vector<uint8_t> bytes) {
    SampleBank bank;
    bank.bytes = std::move(bytes);
    readSampleHeaders(bank);
    return bank;
}

TEST(SampleBankTest, HeaderFieldsAndFlags) {
    std::vector<uint8_t> bytes;
    putHeader(bytes, 0, {0x93, 0x123456, 0x0102, 0x0304, 0x0506, 0x0708});
    const SampleHeader h = bankOf(bytes).headers.at(0);
    EXPECT_EQ(h.offset, 0x123456u);
    EXPECT_EQ(h.skip, 0x0102);
    EXPECT_EQ(h.first, 0x0304);
    EXPECT_EQ(h.loop, 0x0506);
    EXPECT_EQ(h.end, 0x0708);
    EXPECT_EQ(h.rateCode(), 3);
    EXPECT_TRUE(h.loops() && h.packed());
    EXPECT_FALSE(h.cutAtNoteOff());
    EXPECT_TRUE(SampleHeader{0x25}.cutAtNoteOff());
    EXPECT_FALSE(SampleHeader{0x25}.loops() || SampleHeader{0x25}.packed());
}

TEST(SampleBankTest, TableEndsAtTheLowestDataOffset) {
    struct Case {
        const char* what;
        std::vector<RawHeader> headers;
        size_t fileSize;
        size_t expected;
    };
    const std::vector<Case> cases = {
        {"three headers before data at 36", {{5, 36, 0, 4, 0, 0}, {0, 0, 0, 0, 0, 0}, {5, 40, 0, 4, 0, 0}}, 44, 3},
        {"a later header points lower", {{5, 60, 0, 1, 0, 0}, {5, 24, 0, 1, 0, 0}, {5, 0, 0, 0, 0, 0}}, 72, 2},
        {"lowest offset not a multiple of 12", {{5, 30, 0, 1, 0, 0}, {5, 31, 0, 1, 0, 0}, {5, 0, 0, 0, 0, 0}}, 40, 2},
        {"table longer than the file", {{5, 0x10000, 0, 1, 0, 0}}, 20, 1},
        {"no data offset at all", {{0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}}, 24, 2},
        {"shorter than one header", {}, 11, 0},
        {"empty", {}, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> bytes;
        for (size_t i = 0; i < c.headers.size(); ++i) putHeader(bytes, i * kSampleHeaderSize, c.headers[i]);
        bytes.resize(c.fileSize);
        EXPECT_EQ(bankOf(bytes).headers.size(), c.expected);
    }
}

TEST(SampleBankTest, RatesFromTheDriverClock) {
    EXPECT_EQ(sampleRate(5, false), 10653u);  // 7,670,454 / 720
    EXPECT_EQ(sampleRate(5, true), 10556u);   // 7,600,489 / 720
    EXPECT_EQ(sampleRate(1, false), 53267u);
    EXPECT_EQ(sampleRate(15, false), 3551u);
    EXPECT_EQ(sampleRate(0, false), 0u);
}

TEST(SampleBankTest, DacNotesPickSamplesModulo96) {
    const std::pair<int32_t, int32_t> cases[] = {{48, 0}, {49, 1}, {40, 88}, {0, 48}, {143, 95}, {144, 0}, {255, 15}};
    for (const auto& [note, sample] : cases) EXPECT_EQ(dacSampleNumber(note), sample) << note;
}

TEST(SampleBankTest, FramesAndLoopsOfPlainAndPackedData) {
    std::vector<uint8_t> bytes;
    putHeader(bytes, 0, {0x15, 24, 2, 4, 3, 0});     // looping, skip 2: bytes 26..29, loop the last 3
    putHeader(bytes, 12, {0x95, 30, 0, 2, 9, 0});    // packed, looping, loop longer than the sample
    bytes.resize(32);
    for (size_t i = 24; i < 32; ++i) bytes[i] = static_cast<uint8_t>(0x10 * i + 1);
    bytes[30] = 0x2F;
    bytes[31] = 0xA0;
    const SampleBank bank = bankOf(bytes);
    ASSERT_EQ(bank.headers.size(), 2u);

    const SampleHeader& plain = bank.headers[0];
    EXPECT_EQ(samplePcm(bank, plain), (std::vector<uint8_t>{bytes[26], bytes[27], bytes[28], bytes[29]}));
    const SampleLoopFrames loop = sampleLoop(plain);
    EXPECT_TRUE(loop.looping);
    EXPECT_EQ(loop.firstFrame, 1u);
    EXPECT_EQ(loop.lastFrame, 3u);

    const SampleHeader& packed = bank.headers[1];
    EXPECT_EQ(sampleFrames(packed), 4u);
    // Low nibble first, each nibble times 16.
    EXPECT_EQ(samplePcm(bank, packed), (std::vector<uint8_t>{0xF0, 0x20, 0x00, 0xA0}));
    const SampleLoopFrames whole = sampleLoop(packed);
    EXPECT_EQ(whole.firstFrame, 0u);
    EXPECT_EQ(whole.lastFrame, 3u);

    EXPECT_FALSE(sampleLoop(SampleHeader{0x05, 0, 0, 4, 3, 0}).looping);  // loop length without the flag
    EXPECT_FALSE(sampleLoop(SampleHeader{0x15, 0, 0, 4, 0, 0}).looping);  // the flag without a length
}

TEST(SampleBankTest, ProblemsOfHostileHeaders) {
    std::vector<uint8_t> bytes;
    putHeader(bytes, 0, {0x05, 60, 0, 4, 0, 0});         // fine: 60..63
    putHeader(bytes, 12, {0x05, 0, 0, 0, 0, 0});         // empty
    putHeader(bytes, 24, {0x05, 62, 0, 65535, 0, 0});    // first = 65,535
    putHeader(bytes, 36, {0x05, 60, 3, 2, 0, 0});        // skip carries it past the end
    putHeader(bytes, 48, {0x80, 63, 0, 1, 0, 0});        // packed, last byte of the bank, code 0
    bytes.resize(64);
    const SampleBank bank = bankOf(bytes);
    ASSERT_EQ(bank.headers.size(), 5u);
    EXPECT_EQ(sampleProblem(bank, 0, 5), SampleProblem::kNone);
    EXPECT_EQ(sampleProblem(bank, 1, 5), SampleProblem::kEmpty);
    EXPECT_EQ(sampleProblem(bank, 2, 5), SampleProblem::kOutsideBank);
    EXPECT_EQ(sampleProblem(bank, 3, 5), SampleProblem::kOutsideBank);
    EXPECT_EQ(sampleProblem(bank, 4, 0), SampleProblem::kNoRate);
    EXPECT_EQ(sampleProblem(bank, 4, 7), SampleProblem::kNone);  // a DAC patch can give it a rate
    EXPECT_EQ(samplePcm(bank, bank.headers[4]).size(), 2u);
    EXPECT_EQ(sampleProblem(bank, 5, 5), SampleProblem::kNoHeader);
    EXPECT_EQ(sampleProblem(bank, -1, 5), SampleProblem::kNoHeader);
}

TEST(SampleBankTest, DacPatchOverridesTheRateCode) {
    InstrumentBank instruments;
    // Patch 0 at 8: DAC, code byte 4 (keep); patch 1 at 12: DAC, code 7;
    // patch 2 at 16: FM with 7 in its second byte (no DAC patch: no override).
    const uint8_t table[] = {8, 0, 12, 0, 16, 0};
    std::copy(std::begin(table), std::end(table), instruments.bytes.begin());
    instruments.bytes[8] = 1, instruments.bytes[9] = 4;
    instruments.bytes[12] = 1, instruments.bytes[13] = 7;
    instruments.bytes[16] = 0, instruments.bytes[17] = 7;
    EXPECT_EQ(effectiveRateCode(instruments, 0, 5), 5);
    EXPECT_EQ(effectiveRateCode(instruments, 1, 5), 7);
    EXPECT_EQ(effectiveRateCode(instruments, 2, 5), 5);
    EXPECT_EQ(effectiveRateCode(instruments, -1, 5), 5);
    EXPECT_EQ(sampleFileName(3, 5, 5), "sample_03.wav");
    EXPECT_EQ(sampleFileName(3, 7, 5), "sample_03_07.wav");
}

}  // namespace
