// GD3 tags and header lengths: well-formed tags in plain and gzip logs, and
// every way a tag can be missing, cut or malformed, which is no tag.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "builders/vgm_builder.h"
#include "common/byte_order.h"
#include "tests/support/gzip_writer.h"
#include "tonepick/vgm/buffered_input.h"
#include "tonepick/vgm/gzip_input.h"
#include "tonepick/vgm/vgm_tags.h"

namespace {

using Bytes = std::vector<uint8_t>;

VgmTags tagsOf(const Bytes& log) {
    BufferedInput in;
    openMemoryInput(in, log.data(), log.size());
    inflateIfGzip(in, kInflateOnDemand);
    VgmTags tags = readVgmTags(in);
    closeInput(in);
    return tags;
}

Bytes tuneWith(VgmBuilder& v) { return v.keyOn(0).wait(44100).keyOff(0).end().bytes(); }

TEST(VgmTags, ReadsAllElevenFieldsAndLengthsFromPlainAndGzipLogs) {
    const std::vector<std::string> fields = {
        "Ice Cap Zone", "アイスキャップ", "Sonic 3", "ソニック3", "Mega Drive", "メガドライブ",
        "Jun Senoue",   "千之上",         "1994",    "someone",   "notes \xF0\x9F\x8E\xB5"};
    VgmBuilder v;
    v.lengths(44100 * 75, 44100 * 30).gd3(fields);
    const Bytes log = tuneWith(v);
    for (const Bytes& input : {log, gzipMember(log)}) {
        const VgmTags tags = tagsOf(input);
        EXPECT_TRUE(tags.isVgm);
        ASSERT_TRUE(tags.hasGd3);
        for (size_t i = 0; i < fields.size(); ++i) EXPECT_EQ(tags.gd3[i], fields[i]) << i;
        EXPECT_EQ(tags.totalSamples, 44100u * 75);
        EXPECT_EQ(tags.loopSamples, 44100u * 30);
    }
}

TEST(VgmTags, MissingCutOrMalformedTagsAreNoTag) {
    VgmBuilder good;
    good.gd3({"Title"});
    const Bytes whole = tuneWith(good);
    const size_t tagAt = 0x14 + readLe32(&whole[0x14]);

    struct Case {
        const char* what;
        Bytes log;
    };
    std::vector<Case> cases;
    VgmBuilder none;
    cases.push_back({"no tag offset", tuneWith(none)});
    Bytes cut = whole;
    cut.resize(cut.size() - 3);
    cases.push_back({"tag cut short", cut});
    Bytes badIdent = whole;
    badIdent[tagAt] = 'X';
    cases.push_back({"wrong identifier", badIdent});
    Bytes beyond = whole;
    writeLe32(&beyond[0x14], 0x7FFFFFF0);
    cases.push_back({"offset past the end", beyond});
    Bytes intoHeader = whole;
    writeLe32(&intoHeader[0x14], 4);
    cases.push_back({"offset into the header", intoHeader});
    Bytes huge = whole;
    writeLe32(&huge[tagAt + 8], kMaxGd3Bytes + 1);
    cases.push_back({"length too large", huge});
    // Ten strings only: the eleventh is never terminated.
    Bytes shortTag = {'G', 'd', '3', ' ', 0, 1, 0, 0, 20, 0, 0, 0};
    shortTag.resize(12 + 20, 0);
    VgmBuilder ten;
    ten.gd3Bytes(shortTag);
    cases.push_back({"ten strings", tuneWith(ten)});
    VgmBuilder odd;
    odd.gd3Bytes({'G', 'd', '3', ' ', 0, 1, 0, 0, 3, 0, 0, 0, 'A', 0, 0});
    cases.push_back({"odd length", tuneWith(odd)});

    for (const Case& c : cases) {
        const VgmTags tags = tagsOf(c.log);
        EXPECT_FALSE(tags.hasGd3) << c.what;
        EXPECT_EQ(tags.gd3[kGd3TrackEnglish], "") << c.what;
    }
    EXPECT_FALSE(tagsOf(Bytes{'V', 'g', 'm'}).isVgm);
    EXPECT_FALSE(tagsOf(Bytes(64, 'x')).isVgm);
}

TEST(VgmTags, Utf16SurrogatesBecomeUtf8AndLoneOnesReplacementCharacters) {
    Bytes body;
    for (const unsigned unit : {0xD83Cu, 0xDFB5u, 0x41u, 0xDC00u, 0x42u, 0xD800u, 0u})
        appendLe16(body, static_cast<uint16_t>(unit));
    for (int i = 0; i < 10; ++i) appendLe16(body, 0);
    std::array<std::string, kGd3FieldCount> fields;
    ASSERT_TRUE(decodeGd3Strings(body.data(), body.size(), fields));
    EXPECT_EQ(fields[0], "\xF0\x9F\x8E\xB5" "A\xEF\xBF\xBD" "B\xEF\xBF\xBD");
    EXPECT_FALSE(decodeGd3Strings(body.data(), body.size() - 2, fields));
}

}  // namespace
