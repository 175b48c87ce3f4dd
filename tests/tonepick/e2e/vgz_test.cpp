// .vgz input through the whole run, from a path and from memory: gzip data
// gives exactly the run of the log it holds (messages, files, exit code);
// damage ends the input as a log cut there would, with "Error: damaged gzip
// data" at the moment the walk first needs a byte it cannot have, and never
// when the log's end command comes first.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/support/gzip_writer.h"
#include "tests/support/output_capture.h"
#include "tests/support/process_runner.h"
#include "builders/vgm_builder.h"
#include "tests/support/memory_file_system.h"
#include "tonepick/tonepick_driver.h"
#include "tonepick/tonepick_run.h"

namespace {

using Bytes = std::vector<uint8_t>;
const std::string kDamageLine = "Error: damaged gzip data\n";

struct Outcome {
    int exitCode = -1;
    std::string text;
    std::map<std::string, Bytes> files;
    std::vector<std::string> order;  // files in order of creation
    bool operator==(const Outcome&) const = default;
};

// The run of `input` given by path, with `options` after the two paths.
Outcome runPath(const Bytes& input, const std::vector<std::string>& options = {}) {
    TempDir temp;
    const std::string path = temp.file("input");
    EXPECT_TRUE(writeWholeFile(path, std::vector<unsigned char>(input.begin(), input.end())));
    OutputCapture out;
    MemoryFileSystem files;
    TonepickRun run;
    run.out = out.file();
    run.files = &files;
    std::vector<const char*> argv = {"tonepick", path.c_str(), "out"};
    for (const std::string& option : options) argv.push_back(option.c_str());
    Outcome o;
    o.exitCode = runTonepick(run, static_cast<int>(argv.size()), argv.data());
    o.text = out.text();
    o.files = files.files;
    o.order = files.creationOrder;
    return o;
}

Outcome runMemory(const Bytes& input) {
    OutputCapture out;
    MemoryFileSystem files;
    auto run = std::make_unique<TonepickRun>();
    run->out = out.file();
    run->files = &files;
    run->settings.patchExtension = "gems";
    run->settings.outputDir = "out";
    Outcome o;
    o.exitCode = convertVgmBytes(*run, input.data(), input.size());
    o.text = out.text();
    o.files = files.files;
    o.order = files.creationOrder;
    return o;
}

// Both ways in give `expected`.
void expectRun(const Bytes& input, const Outcome& expected, const std::string& what) {
    SCOPED_TRACE(what);
    const Outcome byPath = runPath(input);
    EXPECT_EQ(byPath.exitCode, expected.exitCode);
    EXPECT_EQ(byPath.text, expected.text);
    EXPECT_TRUE(byPath == expected) << "files differ";
    EXPECT_TRUE(runMemory(input) == expected) << "from memory";
}

Bytes slice(const Bytes& b, size_t from, size_t to) {
    return Bytes(b.begin() + static_cast<std::ptrdiff_t>(from), b.begin() + static_cast<std::ptrdiff_t>(to));
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// Members of at most `piece` bytes of `data` each.
Bytes inMembers(const Bytes& data, size_t piece) {
    Bytes all;
    for (size_t at = 0; at < data.size(); at += piece)
        all = concat({all, gzipMember(slice(data, at, std::min(data.size(), at + piece)), 1)});
    return all;
}

// A log that reaches every part of a run: FM notes with two instruments, PSG,
// a PCM block streamed to the DAC, another block, unhandled commands.
Bytes songLog() {
    VgmBuilder v;
    Bytes pcm(6000);
    for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<uint8_t>(128 + (i * 7) % 64);
    v.dataBlock(0x00, pcm).dataBlock(0x81, {1, 2, 3});
    for (int bar = 0; bar < 40; ++bar) {
        const int ch = bar % 6;
        v.ym(ch / 3, 0xB0 + ch % 3, bar % 2 ? 0x32 : 0x07).ym(ch / 3, 0x40 + ch % 3, bar & 0x7F);
        v.frequency(ch, 4, 600 + 9 * bar).keyOn(ch).psg(0x90).psg(static_cast<uint8_t>(0x80 | (bar & 0x0F)));
        v.ym(0, 0x2B, 0x80).pcmSeek(static_cast<uint32_t>(bar * 100));
        for (int s = 0; s < 60; ++s) v.pcmWrite(3);
        v.ym(0, 0x2B, 0x00).raw({0x30, 0x00, 0xA0, 0x01, 0x02}).wait(500).keyOff(ch);
    }
    return v.end().bytes();
}

// A log of VGM 1.60 whose DAC samples come from streams (0x90-0x95) reading
// the PCM bank, one started by offset and one by block, beside direct writes.
Bytes streamLog() {
    VgmBuilder v(0x160);
    Bytes pcm(3000);
    for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<uint8_t>(64 + (i * 5) % 128);
    v.dataBlock(0x00, slice(pcm, 0, 1200)).dataBlock(0x00, slice(pcm, 1200, pcm.size()));
    v.raw({0x90, 0x00, 0x02, 0x00, 0x2A}).raw({0x91, 0x00, 0x00, 0x01, 0x00});
    v.raw({0x92, 0x00, 0x40, 0x1F, 0x00, 0x00});  // 8000 Hz
    for (int take = 0; take < 6; ++take) {
        v.ym(0, 0x2B, 0x80).wait(30);
        if (take % 2 == 0) {
            const uint32_t from = static_cast<uint32_t>(take * 150);
            v.raw({0x93, 0x00, static_cast<uint8_t>(from), static_cast<uint8_t>(from >> 8), 0x00, 0x00, 0x01,
                   0xC8, 0x00, 0x00, 0x00});  // 200 commands from `from`
        } else {
            v.raw({0x95, 0x00, static_cast<uint8_t>(take / 2 % 2), 0x00, 0x00});  // a whole block
        }
        v.wait(9000).raw({0x94, 0x00}).ym(0, 0x2B, 0x00).wait(200);
        v.ym(0, 0x2B, 0x80).pcmSeek(static_cast<uint32_t>(take * 10));
        for (int s = 0; s < 40; ++s) v.pcmWrite(4);
        v.ym(0, 0x2B, 0x00).wait(300);
    }
    return v.end().bytes();
}

const std::string kCorpus = std::string(MDTOOLS_SHARED_DIR) + "/corpus/vgm";

TEST(TonepickVgz, EveryCorpusLogCompressedRunsAsItsVgm) {
    std::error_code missing;
    if (!std::filesystem::is_directory(kCorpus, missing)) GTEST_SKIP() << "no corpus at " << kCorpus;
    int logs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kCorpus)) {
        if (entry.path().extension() != ".vgm") continue;
        const std::vector<unsigned char> raw = readWholeFile(entry.path().string());
        const Bytes vgm(raw.begin(), raw.end());
        const Outcome plain = runPath(vgm);
        ASSERT_EQ(plain.exitCode, 0) << entry.path();
        expectRun(gzipMember(vgm, 9), plain, entry.path().filename().string() + " in one member");
        expectRun(concat({inMembers(vgm, vgm.size() / 3 + 1), Bytes{'T', 'A', 'G'}}), plain,
                  entry.path().filename().string() + " in three members and a tag");
        ++logs;
    }
    EXPECT_GT(logs, 0);
}

TEST(TonepickVgz, TheGzipToolsOutputRunsAsTheLog) {
    // A writer we did not write: the gzip program, when the system has it.
    TempDir temp;
    const Bytes vgm = songLog();
    const std::string path = temp.file("song.vgm");
    ASSERT_TRUE(writeWholeFile(path, std::vector<unsigned char>(vgm.begin(), vgm.end())));
    const ProcessResult gzip = runProcess("/bin/sh", {"-c", "command -v gzip >/dev/null && gzip -9 -n \"$0\"", path});
    if (gzip.exitCode != 0) GTEST_SKIP() << "no gzip program";
    const std::vector<unsigned char> gz = readWholeFile(path + ".gz");
    ASSERT_GT(gz.size(), 18u);
    expectRun(Bytes(gz.begin(), gz.end()), runPath(vgm), "gzip -9");
}

TEST(TonepickVgz, MemberBoundariesAnywhereChangeNothing) {
    const Bytes vgm = songLog();
    const Outcome plain = runPath(vgm);
    ASSERT_EQ(plain.exitCode, 0);
    ASSERT_GT(plain.files.size(), 40u);  // WAV files, instruments, blocks, vgm.mid
    expectRun(concat({gzipMember(slice(vgm, 0, 20)), gzipMember(slice(vgm, 20, vgm.size()))}), plain,
              "a boundary inside the header");
    expectRun(concat({gzipMember(slice(vgm, 0, 300)), gzipMember(slice(vgm, 300, vgm.size()))}), plain,
              "a boundary inside the PCM block");
    expectRun(inMembers(vgm, 997), plain, "a member every 997 bytes");
}

TEST(TonepickVgz, DamageInTheEndCommandsMemberIsReportedWhereTheWalkEnds) {
    // The walk ends before it needs the damaged bytes; the rest of its member
    // is still inflated and checked: all outputs, the line, status 2.
    const Bytes vgm = songLog();
    const Outcome plain = runPath(vgm);
    ASSERT_EQ(plain.exitCode, 0);
    Outcome damaged = plain;
    damaged.exitCode = 2;
    damaged.text += kDamageLine;
    const Bytes m = gzipMember(vgm);
    Bytes crc = m;
    crc[crc.size() - 6] ^= 0x10;
    expectRun(crc, damaged, "failed checksum of the only member");
    expectRun(slice(m, 0, m.size() - 3), damaged, "trailer cut short");
    // A member after the one the walk ended in is not looked at.
    expectRun(concat({m, Bytes{0x1F, 0x8B, 0x08, 0x00, 0xFF, 0xFF}}), plain, "a damaged member after it");
    // Bytes after the end command that do not compress: a cut halfway through
    // the member lies far behind the end command, in the same member.
    Bytes padded = vgm;
    uint32_t x = 5;
    for (int i = 0; i < (1 << 20); ++i) padded.push_back(static_cast<uint8_t>((x = x * 1103515245u + 12345u) >> 24));
    const Bytes paddedMember = gzipMember(padded);
    expectRun(slice(paddedMember, 0, paddedMember.size() / 2), damaged, "cut inside bytes after the end");
}

TEST(TonepickVgz, FlippedByteInsideABigDataBlockIsReportedAndStatus2) {
    // A 200,000-byte random block: one byte flipped in the middle of the
    // deflate data inflates to other bytes that only the CRC-32 catches.
    Bytes block(200000);
    uint32_t x = 17;
    for (uint8_t& b : block) b = static_cast<uint8_t>((x = x * 1103515245u + 12345u) >> 24);
    const Bytes vgm = VgmBuilder().dataBlock(0x00, block).end().bytes();
    Bytes gz = gzipMember(vgm, 6);
    gz[gz.size() / 2] ^= 0x01;
    for (const Outcome& o : {runPath(gz), runMemory(gz)}) {
        EXPECT_EQ(o.exitCode, 2);
        EXPECT_EQ(o.text.find(kDamageLine), o.text.rfind(kDamageLine)) << "once";
        EXPECT_NE(o.text.find(kDamageLine), std::string::npos) << o.text;
        EXPECT_EQ(o.files.count("out/vgm.mid"), 1u) << "outputs are still written";
    }
}

TEST(TonepickVgz, DamageBeforeTheEndRunsAsTheCutLogWithTheLineOnce) {
    const Bytes vgm = songLog();
    for (const size_t cut : {size_t{4}, size_t{20}, size_t{300}, vgm.size() / 2, vgm.size() - 1}) {
        const Outcome cutRun = runPath(slice(vgm, 0, cut));
        ASSERT_EQ(cutRun.exitCode, 2) << cut;
        // The walk needs the missing byte in the header (cut inside its 56
        // bytes) or at the command where the cut log ends.
        Outcome expected = cutRun;
        const std::string before = cut < 56 ? "Error: something with header :)\n" : "Error: unexpected end of vgm\n";
        const size_t at = expected.text.find(before);
        ASSERT_NE(at, std::string::npos) << cut;
        expected.text.insert(at, kDamageLine);

        const Bytes intact = gzipMember(slice(vgm, 0, cut));
        const Bytes rest = gzipMember(slice(vgm, cut, vgm.size()));
        const std::string where = " after " + std::to_string(cut) + " bytes";
        expectRun(concat({intact, slice(rest, 0, 5)}), expected, "next member cut inside its header" + where);
        expectRun(concat({intact, Bytes{0x1F, 0x8B, 0x08, 0xE0}, rest}), expected, "reserved header flags" + where);
        Bytes badCrc = gzipMember(slice(vgm, 0, cut));
        badCrc[badCrc.size() - 8] ^= 0x01;
        expectRun(concat({badCrc, rest}), expected, "failed checksum: its bytes count, nothing after" + where);
    }
}

TEST(TonepickVgz, DamageBeforeTheIdentifierIsNamedFirstThenTheRefusal) {
    // Fewer than the four bytes "Vgm " before the damage: the input is no log.
    const Bytes vgm = songLog();
    for (const size_t cut : {size_t{0}, size_t{3}}) {
        Bytes damaged = gzipMember(slice(vgm, 0, cut));
        damaged[damaged.size() - 8] ^= 0x01;  // its CRC-32
        const Outcome o = runMemory(concat({damaged, gzipMember(slice(vgm, cut, vgm.size()))}));
        EXPECT_EQ(o.exitCode, 1) << cut;
        EXPECT_EQ(o.text, kDamageLine + "Error: something with header :)\nError: \"\" is not a VGM file\n") << cut;
        EXPECT_TRUE(o.files.empty()) << cut;
    }
}

TEST(TonepickVgz, DacStreamsReadTheBankAsFromThePlainLog) {
    const Bytes vgm = streamLog();
    const Outcome plain = runPath(vgm);
    ASSERT_EQ(plain.exitCode, 0) << plain.text;
    ASSERT_EQ(plain.text.find("Unhandled"), std::string::npos) << plain.text;
    ASSERT_EQ(plain.files.size(), 15u);  // a WAV file per stream take and per direct take, 2 blocks, vgm.mid
    expectRun(gzipMember(vgm, 9), plain, "one member");
    expectRun(inMembers(vgm, 7), plain, "a member every 7 bytes, boundaries inside every stream command");

    // Damage among the last takes' commands: the run of the log cut there, with the line.
    const size_t cut = vgm.size() - 150;
    Outcome expected = runPath(slice(vgm, 0, cut));
    ASSERT_EQ(expected.exitCode, 2);
    const size_t at = expected.text.find("Error: unexpected end of vgm\n");
    ASSERT_NE(at, std::string::npos);
    expected.text.insert(at, kDamageLine);
    expectRun(concat({gzipMember(slice(vgm, 0, cut)), Bytes{0x1F, 0x8B, 0x08, 0xE0}}), expected,
              "reserved header flags in the second member");
}

TEST(TonepickVgz, EveryOutputModeRunsAsFromThePlainLog) {
    // Kit samples, unique instruments and level controllers are built from the
    // same walk: a .vgz gives each mode the run of its log.
    Bytes padded = songLog();
    uint32_t x = 11;
    for (int i = 0; i < (1 << 20); ++i) padded.push_back(static_cast<uint8_t>((x = x * 1103515245u + 12345u) >> 24));
    const std::vector<std::pair<std::string, Bytes>> logs = {
        {"song", songLog()}, {"streams", streamLog()}, {"song with 1 MiB after its end", padded}};
    const std::vector<std::vector<std::string>> modes = {
        {"-m", "levels"}, {"-s", "kit", "-i", "unique"}, {"-s", "kit", "-m", "levels", "-p", "tfi"}};
    for (const auto& [name, vgm] : logs) {
        for (const std::vector<std::string>& options : modes) {
            SCOPED_TRACE(name + " with " + options[0] + " " + options[1] + (options.size() > 2 ? " " + options[2] : ""));
            const Outcome plain = runPath(vgm, options);
            ASSERT_EQ(plain.exitCode, 0) << plain.text;
            ASSERT_GT(plain.files.size(), 4u);
            const Outcome one = runPath(gzipMember(vgm, 6), options);
            EXPECT_EQ(one.text, plain.text);
            EXPECT_TRUE(one == plain) << "one member: files differ";
            EXPECT_TRUE(runPath(inMembers(vgm, 4093), options) == plain) << "members of 4093 bytes";
        }
    }
}

}  // namespace
