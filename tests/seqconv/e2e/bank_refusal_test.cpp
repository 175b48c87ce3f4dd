// Refusal of files that are not banks: the kinds of file recognised, the
// thresholds of the song-table and patch-table checks, the messages with the
// swap line, and the real Spinball banks given in every wrong place.

#include "seqconv/bank_refusal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "builders/gems_bank_builder.h"
#include "builders/vgm_builder.h"
#include "common/byte_order.h"
#include "examples/demo_bank.h"
#include "tests/support/output_capture.h"
#include "tests/support/process_runner.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A file of `size` bytes with `magic` at `at`, cut off where the file ends.
Bytes withMagic(const std::string& magic, size_t at = 0, size_t size = 0x200) {
    Bytes b(size, 0x11);
    const size_t fits = at < size ? std::min(magic.size(), size - at) : 0;
    std::copy_n(magic.begin(), fits, b.begin() + static_cast<std::ptrdiff_t>(at));
    return b;
}

TEST(BankRefusal, KindsOfFileAreKnownByTheirFirstBytes) {
    struct Case {
        Bytes bytes;
        const char* kind;
    };
    const std::vector<Case> cases{
        {withMagic("Vgm "), "a VGM log"},
        {withMagic("\x1F\x8B"), "gzip data"},
        {withMagic("RIFF"), "a WAV file"},
        {withMagic("MThd"), "a MIDI file"},
        {withMagic(std::string("PK\x03\x04", 4)), "a zip archive"},
        {withMagic("SEGA", 0x100), "a Mega Drive ROM"},
        {withMagic("SEGA", 0x100, 0x103), nullptr},  // cut inside the ROM's "SEGA"
        {withMagic("Vgm", 0, 3), nullptr},
        {withMagic("vgm "), nullptr},
        {withMagic("SEGA", 0xFF), nullptr},
        {{}, nullptr},
    };
    for (const Case& c : cases) {
        const char* kind = otherFileKind(c.bytes);
        EXPECT_STREQ(kind, c.kind) << c.bytes.size();
        const BankProblem expected = c.kind ? BankProblem::OtherKind : BankProblem::None;
        if (c.kind) {
            EXPECT_EQ(checkSequenceBank(c.bytes).problem, expected);
            EXPECT_EQ(checkInstrumentBank(c.bytes).problem, expected);
        }
    }
}

// A bank of `songs` song-table entries, every header one channel-count byte.
Bytes songTable(const std::vector<uint16_t>& entries, const Bytes& headers) {
    Bytes b;
    for (uint16_t e : entries) appendLe16(b, e);
    b.insert(b.end(), headers.begin(), headers.end());
    return b;
}

TEST(BankRefusal, SongTableAndChannelCounts) {
    struct Case {
        const char* what;
        Bytes bank;
        BankProblem problem;
        uint32_t bad, total;
    };
    // Table of 4 entries (8 bytes), headers at 8..11.
    const std::vector<Case> cases{
        {"no songs: too short", {5}, BankProblem::None, 0, 0},
        {"no songs: first entry 0", {0, 0, 9}, BankProblem::None, 0, 0},
        {"first entry equals the size", {2, 0}, BankProblem::ImpossibleSongTable, 0, 0},
        {"first entry past the size", {9, 0, 1}, BankProblem::ImpossibleSongTable, 0, 0},
        {"one of four entries inside the table", songTable({8, 4, 10, 11}, {1, 1, 1, 1}), BankProblem::None, 0, 0},
        {"two of four entries impossible", songTable({8, 4, 10, 12}, {1, 1, 1, 1}),
         BankProblem::ImpossibleSongTable, 0, 0},
        {"three of four without channels", songTable({8, 9, 10, 11}, {0, 0, 0, 1}), BankProblem::None, 0, 0},
        {"four of four without channels", songTable({8, 9, 10, 11}, {0, 0, 0, 0}),
         BankProblem::SongsWithoutChannels, 4, 4},
        // An odd first entry counts one more song; its entry still lies in the file.
        {"odd first entry", songTable({7, 8, 8, 8}, {0}), BankProblem::SongsWithoutChannels, 4, 4},
        // An entry past the end has no channel count: it is not empty, and one
        // of four is not too many.
        {"header past the end is not empty", songTable({8, 9, 10, 40}, {0, 0, 0}), BankProblem::None, 0, 0},
        // An entry inside the table reads its channel count there: byte 1 is
        // the high byte of the first entry.
        {"entry inside the table", songTable({8, 9, 10, 1}, {0, 0, 0}), BankProblem::SongsWithoutChannels, 4, 4},
    };
    for (const Case& c : cases) {
        const BankVerdict v = checkSequenceBank(c.bank);
        EXPECT_EQ(v.problem, c.problem) << c.what;
        EXPECT_EQ(v.bad, c.bad) << c.what;
        EXPECT_EQ(v.total, c.total) << c.what;
    }
}

// An FM patch of `size` bytes (type 0 first).
Bytes fm(size_t size) {
    Bytes p(size, 0x22);
    p[0] = 0;
    return p;
}

Bytes patchTable(const std::vector<uint16_t>& offsets, const Bytes& body) {
    Bytes b;
    for (uint16_t o : offsets) appendLe16(b, o);
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes b;
    for (const Bytes& p : parts) b.insert(b.end(), p.begin(), p.end());
    return b;
}

TEST(BankRefusal, PatchEntriesThatHoldNoPatch) {
    struct Case {
        const char* what;
        Bytes bank;
        BankProblem problem;
        uint32_t bad, total;
    };
    const std::vector<Case> cases{
        {"shorter than an entry", {7}, BankProblem::None, 0, 0},
        {"first entry 0", {0, 0}, BankProblem::None, 0, 0},
        {"one FM patch of 39 bytes up to the end", patchTable({2}, fm(39)), BankProblem::None, 0, 0},
        {"one FM patch of 38 bytes", patchTable({2}, fm(38)), BankProblem::EntriesWithoutPatch, 1, 1},
        // The next larger offset ends the patch: 38 bytes, then a PSG patch.
        {"FM patch cut by the next one", patchTable({4, 42}, concat({fm(38), {2, 1, 1, 1}})),
         BankProblem::EntriesWithoutPatch, 1, 2},
        // Equal offsets do not end each other.
        {"two entries for one patch", patchTable({4, 4}, fm(39)), BankProblem::None, 0, 0},
        {"type byte above 3", patchTable({4, 5}, {1, 4}), BankProblem::EntriesWithoutPatch, 1, 2},
        {"offset equals the size", patchTable({8, 8, 8, 8}, {}), BankProblem::EntriesWithoutPatch, 4, 4},
        {"one of four bad is allowed", patchTable({8, 9, 10, 0xFFFF}, {1, 2, 3}), BankProblem::None, 0, 0},
        {"two of four bad refuse", patchTable({8, 9, 10, 10}, {1, 2, 9}), BankProblem::EntriesWithoutPatch, 2, 4},
        // First entry 8 in a 5-byte file: entries 2 and 3 are not both in the file.
        {"entries beyond the file", {8, 0, 4, 0, 1}, BankProblem::EntriesWithoutPatch, 3, 4},
        // An odd first entry counts its half rounded down: bytes 4 and 5 are
        // no entry (0x03FF would lead past the end).
        {"odd first entry", {5, 0, 5, 0, 0xFF, 3}, BankProblem::None, 0, 0},
    };
    for (const Case& c : cases) {
        const BankVerdict v = checkInstrumentBank(c.bank);
        EXPECT_EQ(v.problem, c.problem) << c.what;
        EXPECT_EQ(v.bad, c.bad) << c.what;
        EXPECT_EQ(v.total, c.total) << c.what;
    }
}

std::string refusalText(const Bytes& sequences, const Bytes& instruments, bool* refused = nullptr) {
    OutputCapture out;
    const bool r = refuseBanks(out.file(), "S", sequences, "I", instruments);
    if (refused) *refused = r;
    return out.text();
}

TEST(BankRefusal, MessagesAndTheSwapLine) {
    GemsBankBuilder songs;
    songs.song().channel().patch(0).note(1).eos();
    songs.song().channel().note(2).eos();
    GemsInstrumentBankBuilder patches;
    for (uint8_t p = 0; p < 4; ++p) patches.patch(0, {p});
    patches.patch(1, {5});
    const Bytes seq = songs.bytes();
    const Bytes ins = patches.bytes();
    VgmBuilder vgm;
    vgm.wait(10).end();
    const Bytes log = vgm.bytes();

    bool refused = true;
    EXPECT_EQ(refusalText(seq, ins, &refused), "");
    EXPECT_FALSE(refused);
    EXPECT_EQ(refusalText(buildDemoSequenceBank(), buildDemoInstrumentBank(), &refused), "");
    EXPECT_FALSE(refused);

    // Swapped: the instrument bank's FM patches start with 0, songs without
    // channels; the sequence bank's channel counts read as DAC patch types.
    EXPECT_EQ(refusalText(ins, seq, &refused),
              "Error: \"S\" is not a GEMS sequence bank (4 of 5 songs have no channels)\n"
              "The sequence and instrument banks may be swapped.\n");
    EXPECT_TRUE(refused);
    // Said whenever the failed file passes the other bank's checks, even for
    // a small bank: a 3-byte song table with one song of 9 channels.
    EXPECT_EQ(refusalText(seq, {2, 0, 9}, &refused),
              "Error: \"I\" is not a GEMS instrument bank (1 of 1 patch entries do not hold a patch)\n"
              "The sequence and instrument banks may be swapped.\n");
    EXPECT_TRUE(refused);
    EXPECT_EQ(refusalText(log, ins), "Error: \"S\" is not a GEMS sequence bank (it is a VGM log)\n");
    EXPECT_EQ(refusalText(seq, log), "Error: \"I\" is not a GEMS instrument bank (it is a VGM log)\n");
    EXPECT_EQ(refusalText({7, 0, 1}, withMagic("RIFF")),
              "Error: \"I\" is not a GEMS instrument bank (it is a WAV file)\n"
              "Error: \"S\" is not a GEMS sequence bank (its song table is impossible)\n");
}

// The real banks of Sonic Spinball, each given where it does not belong.
TEST(BankRefusal, RealBanksInTheWrongPlaceAreRefused) {
    const std::string corpus = std::string(MDTOOLS_SHARED_DIR) + "/corpus/gems/";
    const std::string seq = corpus + "spinball_sequence_bank.bin";
    const std::string patches = corpus + "spinball_patch_bank.bin";
    const std::string envelopes = corpus + "spinball_envelope_bank.bin";
    const std::string samples = corpus + "spinball_sample_bank.bin";
    for (const std::string& f : {seq, patches, envelopes, samples})
        if (!std::filesystem::exists(f))
            GTEST_SKIP() << "real GEMS banks not found under " << corpus
                         << " (the corpus folder beside the repository is absent)";
    struct Case {
        std::string sequences, instruments;
        std::vector<std::string> lines;  // beginnings of the lines printed
    };
    const std::vector<Case> cases{
        {patches, seq,
         {"Error: \"" + seq + "\" is not a GEMS instrument bank (",
          "Error: \"" + patches + "\" is not a GEMS sequence bank (",
          "The sequence and instrument banks may be swapped."}},
        {seq, envelopes, {"Error: \"" + envelopes + "\" is not a GEMS instrument bank ("}},
        {seq, samples, {"Error: \"" + samples + "\" is not a GEMS instrument bank ("}},
        {samples, patches, {"Error: \"" + samples + "\" is not a GEMS sequence bank ("}},
        {envelopes, patches, {"Error: \"" + envelopes + "\" is not a GEMS sequence bank ("}},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const std::string out = dir.file("out");
        const ProcessResult r = runProcess(SEQCONV_EXE, {c.sequences, c.instruments, out});
        EXPECT_EQ(r.exitCode, 1) << r.output;
        size_t at = 0;
        for (const std::string& line : c.lines) {
            EXPECT_EQ(r.output.compare(at, line.size(), line), 0) << r.output;
            at = r.output.find('\n', at);
            if (at == std::string::npos) break;
            ++at;
        }
        EXPECT_EQ(at, r.output.size()) << r.output;
        EXPECT_FALSE(std::filesystem::exists(out));
    }
}

}  // namespace
