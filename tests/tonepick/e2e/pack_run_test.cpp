// Pack runs through the command line, on disk: song folders byte-identical to
// single runs, stdout blocks in pack order, the same tree and stdout for any
// thread count, instruments and kit samples shared across songs, exit
// statuses, and the command line's new freedoms.

#include <gtest/gtest.h>

#include <filesystem>
#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "builders/vgm_builder.h"
#include "common/output_files.h"
#include "tests/support/gzip_writer.h"
#include "tests/support/output_capture.h"
#include "tests/support/process_runner.h"
#include "tests/support/zip_writer.h"
#include "tonepick/tonepick_driver.h"
#include "tonepick/tonepick_run.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;
using Tree = std::map<std::string, Bytes>;

struct Outcome {
    int exitCode = -1;
    std::string text;
};

Outcome tonepick(const std::vector<std::string>& args) {
    OutputCapture out;
    DiskFileSystem disk;
    auto run = std::make_unique<TonepickRun>();
    run->out = out.file();
    run->files = &disk;
    std::vector<const char*> argv{"tonepick"};
    for (const std::string& a : args) argv.push_back(a.c_str());
    Outcome o;
    o.exitCode = runTonepick(*run, static_cast<int>(argv.size()), argv.data());
    o.text = out.text();
    return o;
}

Tree treeOf(const std::string& dir) {
    Tree tree;
    if (!fs::is_directory(dir)) return tree;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        const std::string rel = fs::relative(e.path(), dir).generic_string();
        if (e.is_directory()) {
            tree[rel + "/"] = {};
        } else {
            const auto bytes = readWholeFile(e.path().string());
            tree[rel] = Bytes(bytes.begin(), bytes.end());
        }
    }
    return tree;
}

// The part of a tree under `folder`/, with that prefix dropped.
Tree subtree(const Tree& tree, const std::string& folder) {
    Tree sub;
    const std::string prefix = folder + "/";
    for (const auto& [path, bytes] : tree) {
        if (path.compare(0, prefix.size(), prefix) == 0 && path.size() > prefix.size())
            sub[path.substr(prefix.size())] = bytes;
    }
    return sub;
}

std::string text(const Bytes& b) { return std::string(b.begin(), b.end()); }
Bytes textBytes(const std::string& t) { return Bytes(t.begin(), t.end()); }

// A tune on FM channel 0 with one instrument (its multiple `mul`, total level
// `tl` on all operators), and with `dac` bytes streamed to the DAC when given.
Bytes tune(const std::string& title, int mul, int tl, const Bytes& dac = {}, int notes = 2) {
    VgmBuilder v;
    for (int op = 0; op < 4; ++op) {
        v.ym(0, 0x30 + op * 4, mul);
        v.ym(0, 0x40 + op * 4, tl);
        v.ym(0, 0x50 + op * 4, 0x1F);
    }
    v.ym(0, 0xB0, 0x07).ym(0, 0xB4, 0xC0);
    for (int n = 0; n < notes; ++n) v.frequency(0, 4, 600 + n * 40).wait(441).keyOn(0).wait(4410).keyOff(0);
    if (!dac.empty()) {
        v.ym(0, 0x2B, 0x80);
        for (const uint8_t b : dac) v.ym(0, 0x2A, b).wait(5);
        v.ym(0, 0x2B, 0x00);
    }
    if (!title.empty()) v.gd3({title, "", "Test Game", "", "Mega Drive", "", "Composer"});
    v.lengths(44100 * 61, 44100 * 2);
    return v.end().bytes();
}

void putBytes(const std::string& path, const Bytes& bytes) {
    ASSERT_TRUE(writeWholeFile(path, std::vector<unsigned char>(bytes.begin(), bytes.end())));
}

// Splits pack stdout into its song blocks (heading line first) and the summary.
std::vector<std::string> blocks(const std::string& out) {
    std::vector<std::string> parts;
    if (out.size() < 2) return parts;
    const size_t summary = out.rfind('\n', out.size() - 2) + 1;  // 0 when there is only the summary
    size_t at = 0;
    while (at < summary) {
        size_t next = out.find("\n== ", at);
        next = next == std::string::npos || next + 1 > summary ? summary : next + 1;
        parts.push_back(out.substr(at, next - at));
        at = next;
    }
    parts.push_back(out.substr(summary));
    return parts;
}

TEST(PackRun, ZipWithPlaylistGivesSingleRunsInPlaylistOrder) {
    TempDir dir;
    const Bytes dac = {0x80, 0x90, 0xA0, 0x70, 0x60, 0x80};
    const std::vector<std::pair<std::string, Bytes>> logs = {
        {"a.vgz", gzipMember(tune("Opening / Title", 1, 0x20, dac))},
        {"b.vgm", tune("", 2, 0x10)},
        {"c.vgz", gzipMember(tune("Stage 1", 1, 0x00, dac, 3))},
    };
    std::vector<ZipEntry> entries;
    for (const auto& [name, bytes] : logs) entries.push_back({"game/" + name, bytes});
    entries.push_back({"game/order.m3u", textBytes("c.vgz\na.vgz\n")});
    ASSERT_TRUE(writeZip(dir.file("pack.zip"), entries));

    for (const char* kit : {"stretch", "kit"}) {
        const std::string out = dir.file(std::string("out_") + kit);
        const Outcome pack = tonepick({"-p", "tfi", "-s", kit, dir.file("pack.zip"), out});
        EXPECT_EQ(pack.exitCode, 0) << pack.text;
        const Tree tree = treeOf(out);
        const std::vector<std::string> folders = {"01 Stage 1", "02 Opening _ Title", "03 b"};
        const std::vector<size_t> order = {2, 0, 1};
        const std::vector<std::string> parts = blocks(pack.text);
        ASSERT_EQ(parts.size(), 4u) << pack.text;
        for (size_t i = 0; i < folders.size(); ++i) {
            const auto& [name, bytes] = logs[order[i]];
            putBytes(dir.file(name), bytes);
            const std::string single = dir.file(std::string("single_") + kit + name);
            const Outcome one = tonepick({dir.file(name), single, "-p", "tfi", "-s", kit});
            EXPECT_EQ(subtree(tree, folders[i]), treeOf(single)) << folders[i];
            EXPECT_EQ(parts[i], "== " + folders[i] + " ==\n" + one.text);
            EXPECT_EQ(one.exitCode, 0);
        }
        const std::string songs = text(tree.at("songs.txt"));
        EXPECT_NE(songs.find("01\t01 Stage 1\tStage 1\tTest Game\tComposer\t1:01\t0:02\t1\t"), std::string::npos)
            << songs;
        EXPECT_NE(songs.find("03\t03 b\tb\t\t\t1:01\t0:02\t1\t0\t0\n"), std::string::npos) << songs;
    }
}

TEST(PackRun, InstrumentsAndKitSamplesOncePerPack) {
    TempDir dir;
    fs::create_directory(dir.file("in"));
    const Bytes drum = {0x80, 0xF0, 0x10, 0x80};
    putBytes(dir.file("in/1.vgm"), tune("One", 1, 0x30, drum));
    putBytes(dir.file("in/2.vgm"), tune("Two", 3, 0x10));
    putBytes(dir.file("in/3.vgm"), tune("Three", 1, 0x05, drum));  // louder than song 1's
    const std::string out = dir.file("out");
    const Outcome pack = tonepick({dir.file("in"), out, "-s", "kit", "-p", "y12"});
    ASSERT_EQ(pack.exitCode, 0) << pack.text;
    const Tree tree = treeOf(out);
    EXPECT_EQ(text(tree.at("instruments.txt")),
              "file\tsongs\tfirst heard\n"
              "patch_00.y12\t01,03\t01 0:00.010\n"
              "patch_01.y12\t02\t02 0:00.010\n");
    // The shared instrument keeps the loudest levels: those of song 3's.
    EXPECT_EQ(tree.at("instruments/patch_00.y12"), tree.at("03 Three/patch_00.y12"));
    EXPECT_NE(tree.at("instruments/patch_00.y12"), tree.at("01 One/patch_00.y12"));
    EXPECT_EQ(tree.at("instruments/patch_01.y12"), tree.at("02 Two/patch_00.y12"));
    EXPECT_EQ(tree.count("instruments/patch_02.y12"), 0u);
    // One drum in two songs: one sample.
    EXPECT_EQ(tree.at("kit/sample_000.wav"), tree.at("01 One/sample_000.wav"));
    EXPECT_EQ(tree.count("kit/sample_001.wav"), 0u);
    const std::string kit = text(tree.at("kit/kit.txt"));
    EXPECT_EQ(kit.substr(0, kit.find('\n')), "file\tnote\trate\tbytes\tplays\tsource\tsongs");
    EXPECT_NE(kit.find("\t01,03\n"), std::string::npos) << kit;
    EXPECT_NE(pack.text.find("3 songs: 3 written, 0 with errors; 2 instruments, 1 samples in the pack folders\n"),
              std::string::npos);

    // The same instrument in two songs, with -i unique too: one file for both.
    fs::create_directory(dir.file("same"));
    putBytes(dir.file("same/1.vgm"), tune("A", 1, 0x10));
    putBytes(dir.file("same/2.vgm"), tune("B", 1, 0x10));
    const Outcome unique = tonepick({dir.file("same"), dir.file("u"), "-i", "unique"});
    ASSERT_EQ(unique.exitCode, 0);
    EXPECT_EQ(text(treeOf(dir.file("u")).at("instruments.txt")),
              "file\tsongs\tfirst heard\npatch_00.gems\t01,02\t01 0:00.010\n");
}

TEST(PackRun, AnyThreadCountGivesTheSameTreeAndOutput) {
    TempDir dir;
    fs::create_directory(dir.file("in"));
    for (int i = 0; i < 12; ++i) {
        const Bytes log = tune(i % 3 == 0 ? "" : "Song " + std::to_string(i), 1 + i % 5, 0x08 * (i % 4),
                               Bytes(static_cast<size_t>(i + 3), static_cast<uint8_t>(0x40 + i)), 2 + i % 3);
        putBytes(dir.file("in/" + std::to_string(100 + i) + (i % 2 ? ".vgz" : ".vgm")), i % 2 ? gzipMember(log) : log);
    }
    const Outcome one = tonepick({"-j", "1", dir.file("in"), dir.file("j1"), "-s", "kit"});
    const Outcome eight = tonepick({"-j", "8", dir.file("in"), dir.file("j8"), "-s", "kit"});
    EXPECT_EQ(one.exitCode, 0);
    EXPECT_EQ(one.text, eight.text);
    const Tree tree = treeOf(dir.file("j1"));
    EXPECT_EQ(tree, treeOf(dir.file("j8")));
    EXPECT_EQ(tree.count("12 Song 11/vgm.mid"), 1u);
}

TEST(PackRun, FailingSongsReportInTheirBlocksAndTheOthersGoOn) {
    TempDir dir;
    Bytes broken = gzipMember(tune("Broken", 1, 0x10));
    broken.resize(broken.size() / 2);  // gzip data cut: the log ends early
    ASSERT_TRUE(writeZip(dir.file("p.zip"), {{"1.vgm", tune("Fine", 1, 0x10)},
                                             {"2.vgz", broken},
                                             {"list.m3u", textBytes("1.vgm\ngone.vgm\n2.vgz\n")}}));
    const Outcome pack = tonepick({dir.file("p.zip"), dir.file("out")});
    EXPECT_EQ(pack.exitCode, 2);
    const std::vector<std::string> parts = blocks(pack.text);
    ASSERT_EQ(parts.size(), 4u) << pack.text;
    EXPECT_EQ(parts[1], "== 02 gone ==\nError: no entry \"gone.vgm\" in \"" + dir.file("p.zip") + "\"\n");
    EXPECT_NE(parts[2].find("Error: unexpected end of vgm"), std::string::npos) << parts[2];
    EXPECT_EQ(parts[3], "3 songs: 1 written, 2 with errors; 1 instruments, 0 samples in the pack folders\n");
    const Tree tree = treeOf(dir.file("out"));
    EXPECT_EQ(tree.count("01 Fine/vgm.mid"), 1u);
    EXPECT_EQ(tree.count("02 gone/"), 0u);
    const std::string songs = text(tree.at("songs.txt"));
    EXPECT_NE(songs.find("\n02\t02 gone\tgone\t\t\t0:00\t-\t0\t0\t1\n"), std::string::npos) << songs;
    // The cut log's tag is gone with its end: the title is its file name.
    EXPECT_NE(songs.find("\n03\t03 2\t2\t\t\t1:01\t0:02\t0\t0\t2\n"), std::string::npos) << songs;

    // Nothing to convert, or an input that is no archive: the run cannot start.
    fs::create_directory(dir.file("empty"));
    const Outcome none = tonepick({dir.file("empty"), dir.file("o2")});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.text, "Error: no VGM log found\n");
    putBytes(dir.file("fake.zip"), Bytes(100, 'z'));
    EXPECT_EQ(tonepick({dir.file("fake.zip"), dir.file("o3")}).exitCode, 1);
    EXPECT_FALSE(fs::exists(dir.file("o3")));
}

TEST(PackRun, EntryNamesNeverLeaveTheOutputAndBadEntriesFailAlone) {
    TempDir dir;
    fs::create_directory(dir.file("work"));
    // A long stored entry: flipping bytes in its middle breaks its data.
    Bytes big = tune("", 1, 0x10);
    for (int i = 0; i < 4000; ++i) big.insert(big.end() - 1, {0x61, static_cast<uint8_t>(i & 0x7F), 0x00});
    ASSERT_TRUE(writeZip(dir.file("evil.zip"),
                         {{"../../escape.vgm", tune("", 2, 0x10)},
                          {"/abs.vgm", tune("../..", 3, 0x10)},  // its title becomes "_"
                          {"zz.vgm", big}}));
    auto zip = readWholeFile(dir.file("evil.zip"));
    const std::string marker = "zz.vgm";
    const auto at = std::search(zip.begin(), zip.end(), marker.begin(), marker.end());
    ASSERT_NE(at, zip.end());
    for (auto p = at + 200; p < at + 400 && p < zip.end(); ++p) *p ^= 0x5A;
    ASSERT_TRUE(writeWholeFile(dir.file("evil.zip"), zip));

    const Outcome pack = tonepick({dir.file("evil.zip"), dir.file("work/out")});
    EXPECT_EQ(pack.exitCode, 2) << pack.text;
    std::set<std::string> top;
    for (const auto& e : fs::directory_iterator(dir.path())) top.insert(e.path().filename().string());
    EXPECT_EQ(top, (std::set<std::string>{"evil.zip", "work"}));
    std::set<std::string> made;
    for (const auto& e : fs::directory_iterator(dir.file("work/out"))) made.insert(e.path().filename().string());
    EXPECT_EQ(made, (std::set<std::string>{"01 escape", "02 _", "instruments", "instruments.txt", "songs.txt"}))
        << pack.text;
    const std::vector<std::string> parts = blocks(pack.text);
    ASSERT_EQ(parts.size(), 4u);
    EXPECT_EQ(parts[2], "== 03 zz ==\nError: Can't read entry \"zz.vgm\" of \"" + dir.file("evil.zip") + "\"\n");
}

// Real logs as a .zip of .vgz files: every song folder and block is the single run's.
TEST(PackRun, CorpusPackIsItsSingleRuns) {
    const std::string corpus = std::string(MDTOOLS_SHARED_DIR) + "/corpus/vgm";
    if (!fs::is_directory(corpus)) GTEST_SKIP() << "no corpus of real VGM files at " << corpus;
    std::vector<std::string> logs;
    for (const auto& e : fs::directory_iterator(corpus)) {
        if (e.path().extension() == ".vgm") logs.push_back(e.path().string());
    }
    std::sort(logs.begin(), logs.end());
    ASSERT_FALSE(logs.empty());
    TempDir dir;
    std::vector<ZipEntry> entries;
    for (const std::string& log : logs) {
        const auto bytes = readWholeFile(log);
        entries.push_back({fs::path(log).stem().string() + ".vgz", gzipMember(Bytes(bytes.begin(), bytes.end()))});
    }
    ASSERT_TRUE(writeZip(dir.file("corpus.zip"), entries));
    const Outcome pack = tonepick({"-s", "kit", "-p", "dmp", dir.file("corpus.zip"), dir.file("out")});
    const std::vector<std::string> parts = blocks(pack.text);
    ASSERT_EQ(parts.size(), logs.size() + 1);
    const Tree tree = treeOf(dir.file("out"));
    for (size_t i = 0; i < logs.size(); ++i) {
        const std::string heading = parts[i].substr(0, parts[i].find('\n'));
        const std::string folder = heading.substr(3, heading.size() - 6);
        const std::string single = dir.file("single" + std::to_string(i));
        const Outcome one = tonepick({logs[i], single, "-s", "kit", "-p", "dmp"});
        EXPECT_EQ(parts[i], heading + "\n" + one.text) << logs[i];
        EXPECT_EQ(subtree(tree, folder), treeOf(single)) << logs[i];
    }
}

TEST(PackRun, CommandLineOptionsAnywhereHelpVersionAndDashes) {
    TempDir dir;
    putBytes(dir.file("-odd.vgm"), tune("Odd", 1, 0x10));
    // Options before the paths; "--" lets a path start with a dash.
    const Outcome single = tonepick({"-p", "tfi", "--", dir.file("-odd.vgm"), dir.file("o")});
    EXPECT_EQ(single.exitCode, 0) << single.text;
    EXPECT_TRUE(fs::exists(dir.file("o/patch_00.tfi")));

    const Outcome help = tonepick({"in.vgm", "-pext", "-h", "out"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.text.rfind("Usage: tonepick input... output_dir [options]", 0), 0u);
    // After "--" it is a path: here the output directory of a log that is not there.
    const Outcome helpAfterDashes = tonepick({dir.file("none.vgm"), "--", "-h"});
    EXPECT_EQ(helpAfterDashes.exitCode, 1);
    EXPECT_EQ(helpAfterDashes.text.rfind("Error: Can't open file", 0), 0u);
    const Outcome version = tonepick({"a", "--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.text.rfind("tonepick ", 0), 0u);
    EXPECT_EQ(version.text.back(), '\n');

    struct Case {
        std::vector<std::string> args;
        std::string firstLine;
    };
    const Case errors[] = {
        {{"-j", "0", "a", "b"}, "Error: unknown thread count \"0\""},
        {{"a", "b", "-j", "x2"}, "Error: unknown thread count \"x2\""},
        {{"a", "b", "-j"}, "Error: thread count expected in command line"},
        {{"-q", "a", "b"}, "Error: unknown command line option \"-q\""},
        {{"-p", "nope", "--version"}, "Error: unknown instrument type \"nope\""},
        {{"only-one-path"}, "Usage: tonepick input... output_dir [options]"},
    };
    for (const Case& c : errors) {
        const Outcome o = tonepick(c.args);
        EXPECT_EQ(o.exitCode, 1) << c.firstLine;
        EXPECT_EQ(o.text.substr(0, o.text.find('\n')), c.firstLine);
    }
}

}  // namespace
