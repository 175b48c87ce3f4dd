// Which songs the inputs hold and in what order: folders, playlists, archives
// with and without playlists, and names that try to leave their place.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "builders/vgm_builder.h"
#include "tests/support/process_runner.h"
#include "tests/support/zip_writer.h"
#include "tonepick/pack/archive_entries.h"
#include "tonepick/pack/pack_inputs.h"

namespace {

std::vector<uint8_t> tinyLog() { return VgmBuilder().wait(10).end().bytes(); }

std::vector<uint8_t> textBytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

void put(const std::string& path, const std::string& text) {
    ASSERT_TRUE(writeWholeFile(path, std::vector<unsigned char>(text.begin(), text.end())));
}

void putLog(const std::string& path) {
    const auto log = tinyLog();
    ASSERT_TRUE(writeWholeFile(path, std::vector<unsigned char>(log.begin(), log.end())));
}

// "file name" per song, with a mark for missing ones.
std::vector<std::string> names(const std::vector<PackSong>& songs) {
    std::vector<std::string> out;
    for (const PackSong& s : songs) out.push_back((s.source == SongSource::kMissing ? "!" : "") + s.fileName);
    return out;
}

std::vector<PackSong> songsOf(const std::vector<std::string>& inputs, bool expectOk = true) {
    std::vector<PackSong> songs;
    for (const std::string& input : inputs) {
        std::string error;
        EXPECT_EQ(addPackSongs(input, songs, error), expectOk) << input << ": " << error;
    }
    return songs;
}

TEST(PackInputs, FolderByNameOnlyLogsOfAnyCaseNotSubfolders) {
    TempDir dir;
    putLog(dir.file("b.VGZ"));
    putLog(dir.file("a.vgm"));
    putLog(dir.file("c.vgm.bak"));
    put(dir.file("notes.txt"), "x");
    std::filesystem::create_directory(dir.file("sub.vgm"));
    std::filesystem::create_directory(dir.file("deeper"));
    putLog(dir.file("deeper/z.vgm"));
    std::filesystem::create_symlink(dir.file("a.vgm"), dir.file("link.vgm"));
    std::filesystem::create_symlink(dir.file("deeper"), dir.file("dirlink.vgm"));
    EXPECT_EQ(names(songsOf({dir.path()})), (std::vector<std::string>{"a.vgm", "b.VGZ", "link.vgm"}));
}

TEST(PackInputs, PlaylistOrderInAndOutsideFolders) {
    TempDir dir;
    for (const char* n : {"1.vgz", "2.vgz", "3.vgz", "4.vgz"}) putLog(dir.file(n));
    std::filesystem::create_directory(dir.file("sub"));
    putLog(dir.file("sub/5.vgz"));
    put(dir.file("list.m3u"), "#EXTM3U\n3.vgz\nsub/5.vgz\n1.vgz\nmissing.vgz\n");
    // The folder's playlist first, then the logs it does not list, by name.
    EXPECT_EQ(names(songsOf({dir.path()})),
              (std::vector<std::string>{"3.vgz", "5.vgz", "1.vgz", "!missing.vgz", "2.vgz", "4.vgz"}));
    // A playlist given itself: its entries only, relative to its folder.
    EXPECT_EQ(names(songsOf({dir.file("list.m3u")})),
              (std::vector<std::string>{"3.vgz", "5.vgz", "1.vgz", "!missing.vgz"}));
    // Inputs in the order given.
    EXPECT_EQ(names(songsOf({dir.file("4.vgz"), dir.file("sub")})), (std::vector<std::string>{"4.vgz", "5.vgz"}));
}

TEST(PackInputs, ArchiveEntriesByWholePathOrByItsPlaylist) {
    TempDir dir;
    const auto log = tinyLog();
    ASSERT_TRUE(writeZip(dir.file("plain.zip"), {{"b/2.vgz", log}, {"a/9.vgz", log}, {"1.VGM", log},
                                                {"readme.txt", textBytes("x")}, {"inner.zip", log}}));
    EXPECT_EQ(names(songsOf({dir.file("plain.zip")})), (std::vector<std::string>{"1.VGM", "9.vgz", "2.vgz"}));

    ASSERT_TRUE(writeZip(dir.file("listed.zip"), {{"music/z.vgz", log},
                                                 {"music/y.vgz", log},
                                                 {"music/x.vgz", log},
                                                 {"music/game.m3u", textBytes("y.vgz\nno.vgz\n./z.vgz")}}));
    EXPECT_EQ(names(songsOf({dir.file("listed.zip")})),
              (std::vector<std::string>{"y.vgz", "!no.vgz", "z.vgz", "x.vgz"}));
}

TEST(PackInputs, EscapingEntryNamesAreOnlyNamesAndEntriesReadBack) {
    TempDir dir;
    auto second = tinyLog();
    second.push_back(0x42);
    ASSERT_TRUE(writeZip(dir.file("evil.zip"), {{"../../up.vgz", tinyLog()}, {"/abs/root.vgm", second}}));
    const std::vector<PackSong> songs = songsOf({dir.file("evil.zip")});
    // By the whole stored name ('.' sorts before '/'), which is kept as it is.
    ASSERT_EQ(names(songs), (std::vector<std::string>{"up.vgz", "root.vgm"}));
    EXPECT_EQ(songs[0].entryName, "../../up.vgz");
    EXPECT_EQ(songs[1].entryName, "/abs/root.vgm");
    // Entries read in any order, going back reopens the archive.
    ArchiveReader reader;
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(readArchiveEntry(reader, songs[1].path, songs[1].entryIndex, bytes, error)) << error;
    EXPECT_EQ(bytes, second);
    ASSERT_TRUE(readArchiveEntry(reader, songs[0].path, songs[0].entryIndex, bytes, error)) << error;
    EXPECT_EQ(bytes, tinyLog());
    ASSERT_TRUE(readArchiveEntry(reader, songs[1].path, songs[1].entryIndex, bytes, error)) << error;
    EXPECT_EQ(bytes, second);
}

TEST(PackInputs, UnreadableInputsAndPackDecision) {
    TempDir dir;
    put(dir.file("fake.zip"), "this is not an archive at all, just text");
    std::vector<PackSong> songs;
    std::string error;
    EXPECT_FALSE(addPackSongs(dir.file("fake.zip"), songs, error));
    EXPECT_NE(error.find("fake.zip"), std::string::npos);
    EXPECT_FALSE(addPackSongs(dir.file("none.m3u"), songs, error));
    EXPECT_FALSE(addPackSongs(dir.file("none.vgm"), songs, error));
    EXPECT_EQ(error, "Error: Can't open file \"" + dir.file("none.vgm") + "\"\n");
    EXPECT_TRUE(songs.empty());

    putLog(dir.file("one.vgm"));
    EXPECT_FALSE(isPackRun({dir.file("one.vgm")}));
    EXPECT_FALSE(isPackRun({dir.file("missing.vgm")}));
    EXPECT_TRUE(isPackRun({dir.file("one.vgm"), dir.file("one.vgm")}));
    EXPECT_TRUE(isPackRun({dir.path()}));
    EXPECT_TRUE(isPackRun({dir.file("x.ZIP")}));
    EXPECT_TRUE(isPackRun({dir.file("x.m3u8")}));
}

}  // namespace
