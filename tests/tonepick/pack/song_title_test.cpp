// Song folder names: titles made safe as file names, the choice between the
// tag's titles and the file name, the numbering.

#include <gtest/gtest.h>

#include <string>

#include "tonepick/pack/song_title.h"
#include "tonepick/vgm/vgm_tags.h"

namespace {

TEST(SongTitle, UnsafeCharactersEndsAndLength) {
    const std::string accented(150, 'a');
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"Ice Cap Zone Act 1", "Ice Cap Zone Act 1"},
        {"AC/DC: \"Live\" <1> | a\\b * ?", "AC_DC_ _Live_ _1_ _ a_b _ _"},
        {"..", ""},
        {"../../etc/passwd", "_.._etc_passwd"},
        {" . Title . ", "Title"},
        {"tab\there\nline\x7F", "tab_here_line_"},
        {"", ""},
        {std::string(300, 'x'), std::string(100, 'x')},
        // 99 bytes, then a two-byte character that would end at byte 101: cut before it.
        {std::string(99, 'y') + "\xC3\xA9" + "z", std::string(99, 'y')},
        // Three-byte characters: 33 of them fill 99 bytes, the 34th does not fit.
        {[] { std::string s; for (int i = 0; i < 40; ++i) s += "\xE3\x81\x82"; return s; }(),
         [] { std::string s; for (int i = 0; i < 33; ++i) s += "\xE3\x81\x82"; return s; }()},
        // A cut that leaves a space at the end drops it too.
        {std::string(99, 'w') + " tail", std::string(99, 'w')},
    };
    for (const Case& c : cases) {
        const std::string safe = safeFileTitle(c.in);
        EXPECT_EQ(safe, c.out) << c.in;
        EXPECT_LE(safe.size(), kMaxTitleBytes);
    }
}

TEST(SongTitle, EnglishThenJapaneseThenFileName) {
    VgmTags tags;
    tags.hasGd3 = true;
    tags.gd3[kGd3TrackEnglish] = "Green Hill";
    tags.gd3[kGd3TrackJapanese] = "グリーンヒル";
    EXPECT_EQ(songTitle(tags, "01.vgz"), "Green Hill");
    tags.gd3[kGd3TrackEnglish] = " .. ";  // nothing left once made safe
    EXPECT_EQ(songTitle(tags, "01.vgz"), "グリーンヒル");
    tags.gd3[kGd3TrackJapanese] = "";
    EXPECT_EQ(songTitle(tags, "01 Green Hill.vgz"), "01 Green Hill");
    EXPECT_EQ(songTitle(VgmTags{}, "a.b.vgm"), "a.b");
    EXPECT_EQ(songTitle(VgmTags{}, ".vgm"), "vgm");  // a name that is all extension keeps it
    EXPECT_EQ(songTitle(VgmTags{}, "...vgz"), "");
}

TEST(SongTitle, FolderNumbersHaveThreeDigitsFromHundredSongs) {
    EXPECT_EQ(songFolderName(1, 20, "Intro"), "01 Intro");
    EXPECT_EQ(songFolderName(7, 99, ""), "07");
    EXPECT_EQ(songFolderName(7, 100, "x"), "007 x");
    EXPECT_EQ(songFolderName(123, 150, "x"), "123 x");
}

}  // namespace
