// Playlist lines and the entry paths they are matched with.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tonepick/pack/playlist.h"

namespace {

TEST(Playlist, EntriesSkipCommentsBlanksAndLineEnds) {
    const std::string text =
        "\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:123,Title\r\n01 Intro.vgz\r\n\r\n  sub\\02 Stage.vgm  \n#end\nlast.vgz";
    EXPECT_EQ(playlistEntries(text), (std::vector<std::string>{"01 Intro.vgz", "sub/02 Stage.vgm", "last.vgz"}));
    EXPECT_TRUE(playlistEntries("").empty());
    EXPECT_TRUE(playlistEntries("# only\n\n").empty());
}

TEST(Playlist, NormalPathsNeverClimbAboveTheStart) {
    EXPECT_EQ(normalEntryPath("a/b/../c/./d"), "a/c/d");
    EXPECT_EQ(normalEntryPath("./x.vgz"), "x.vgz");
    EXPECT_EQ(normalEntryPath("../../x.vgz"), "x.vgz");
    EXPECT_EQ(normalEntryPath("/abs//x.vgz"), "abs/x.vgz");
}

TEST(Playlist, NamesByExtensionInAnyCase) {
    EXPECT_TRUE(isLogName("a.VGZ"));
    EXPECT_TRUE(isLogName("a.vgm"));
    EXPECT_FALSE(isLogName("a.vgm.txt"));
    EXPECT_FALSE(isLogName("vgm"));
    EXPECT_TRUE(isPlaylistName("x.M3U8"));
    EXPECT_TRUE(isPlaylistName("x.m3u"));
    EXPECT_FALSE(isPlaylistName("x.m3"));
    EXPECT_TRUE(isArchiveName("pack.Zip"));
}

}  // namespace
