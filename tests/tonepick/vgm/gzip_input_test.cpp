// gzip input: what a reader of the input window gets from gzip data, from
// memory and from a file, with the worker thread and without: concatenated
// members, what ends the data cleanly, damage of every kind, a member's magic
// across a window boundary, and closing while the worker is ahead.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/gzip_writer.h"
#include "tests/support/process_runner.h"
#include "tonepick/vgm/buffered_input.h"
#include "tonepick/vgm/gzip_input.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Bytes that compress somewhat but not to nothing, so inflate runs many windows.
Bytes sampleBytes(size_t size, uint32_t seed = 1) {
    Bytes b(size);
    uint32_t x = seed;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        b[i] = static_cast<uint8_t>((x >> 24) & 0x0F) | static_cast<uint8_t>(i & 0xF0);
    }
    return b;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

struct Read {
    bool gzip = false;
    Bytes bytes;
    int reports = 0;
};

void countReport(void* context) { ++*static_cast<int*>(context); }

// Everything a reader gets, refilling twice more at the end (a report comes once).
void drain(BufferedInput& in, Read& r) {
    for (;;) {
        r.bytes.insert(r.bytes.end(), in.next, in.end);
        in.next = in.end;
        if (!refillInput(in)) break;
    }
    EXPECT_FALSE(refillInput(in));
    EXPECT_FALSE(refillInput(in));
}

Read readMemory(const Bytes& input, GzipInflation inflation) {
    Read r;
    BufferedInput in;
    openMemoryInput(in, input.data(), input.size());
    in.damageReport = countReport;
    in.damageContext = &r.reports;
    r.gzip = inflateIfGzip(in, inflation);
    drain(in, r);
    closeInput(in);
    return r;
}

Read readFile(const Bytes& input, GzipInflation inflation) {
    Read r;
    TempDir dir;
    const std::string path = dir.file("input.vgz");
    EXPECT_TRUE(writeWholeFile(path, std::vector<unsigned char>(input.begin(), input.end())));
    std::FILE* f = std::fopen(path.c_str(), "rb");
    EXPECT_NE(f, nullptr);
    if (f == nullptr) return r;
    BufferedInput in;
    openFileInput(in, f);
    in.damageReport = countReport;
    in.damageContext = &r.reports;
    r.gzip = inflateIfGzip(in, inflation);
    drain(in, r);
    closeInput(in);
    std::fclose(f);
    return r;
}

// Every way in must give the same: memory or file, thread or on demand.
void expectRead(const Bytes& input, const Bytes& expected, bool damaged, const std::string& what) {
    for (const bool file : {false, true}) {
        for (const GzipInflation inflation : {kInflateAhead, kInflateOnDemand}) {
            SCOPED_TRACE(what + (file ? ", file" : ", memory") + (inflation == kInflateAhead ? ", ahead" : ", on demand"));
            const Read r = file ? readFile(input, inflation) : readMemory(input, inflation);
            EXPECT_TRUE(r.gzip);
            EXPECT_EQ(r.bytes.size(), expected.size());
            EXPECT_TRUE(r.bytes == expected);
            EXPECT_EQ(r.reports, damaged ? 1 : 0);
        }
    }
}

TEST(GzipInput, OneOrSeveralMembersGiveTheirBytesInOrder) {
    const Bytes a = sampleBytes(3 * kGzipWindowSize * kGzipWindowCount + 12345, 1);  // more windows than the ring
    const Bytes b = sampleBytes(70000, 2);
    expectRead(gzipMember(a), a, false, "one member");
    expectRead(concat({gzipMember(a), gzipMember({}), gzipMember(b, 0), gzipMember(b, 9)}), concat({a, b, b}), false,
               "four members, one empty");
    expectRead(gzipMember({}), {}, false, "an empty member");
    // One level only: a member holding gzip data gives that data, not its contents.
    const Bytes inner = gzipMember(b);
    expectRead(gzipMember(inner), inner, false, "gzip inside gzip");
}

TEST(GzipInput, AnythingButTheMagicAfterAMemberEndsTheDataCleanly) {
    const Bytes a = sampleBytes(100000);
    const Bytes m = gzipMember(a);
    expectRead(concat({m, Bytes{'x', 'y', 'z'}}), a, false, "text after the member");
    expectRead(concat({m, Bytes{0x1F}}), a, false, "half a magic");
    expectRead(concat({m, Bytes{0x1F, 0x8C, 0x08, 0x00}}), a, false, "a near miss of the magic");
    expectRead(concat({m, Bytes(5000, 0x00), gzipMember(a)}), a, false, "zero padding, then a member");
}

TEST(GzipInput, DamageEndsTheDataAfterEveryByteDecompressedBeforeIt) {
    const Bytes a = sampleBytes(300000);
    const Bytes m = gzipMember(a);

    Bytes crc = m;
    crc[crc.size() - 8] ^= 0x01;  // CRC-32 of the trailer
    expectRead(crc, a, true, "failed checksum: the member's bytes still count");
    Bytes length = m;
    length[length.size() - 1] ^= 0x80;  // ISIZE of the trailer
    expectRead(concat({length, gzipMember(a)}), a, true, "failed length: nothing after it");

    expectRead(concat({m, Bytes{0x1F, 0x8B, 0x07, 0x00}}), a, true, "a further member with a bad method");
    expectRead(concat({m, Bytes{0x1F, 0x8B}}), a, true, "a further member of nothing but its magic");
    expectRead(Bytes{0x1F, 0x8B, 0x08}, {}, true, "a first member cut inside its header");

    // A damaged byte in the middle of deflate data: inflate may decode wrong
    // bytes for a while before it notices (the check would tell at the
    // latest), but what came before the damage is intact.
    Bytes bad = m;
    bad[bad.size() / 2] ^= 0xFF;
    const Read r = readMemory(bad, kInflateAhead);
    EXPECT_EQ(r.reports, 1);
    ASSERT_GT(r.bytes.size(), 1000u);
    EXPECT_TRUE(std::equal(r.bytes.begin(), r.bytes.begin() + 1000, a.begin()));
}

TEST(GzipInput, DataCutAnywhereGivesAPrefixAndOneReport) {
    // Stored blocks (level 0): a cut at compressed offset k leaves a known prefix.
    // A cut right after the first member, or after the 1F of the second one's
    // magic, is a clean end instead: no further member starts there.
    const Bytes a = sampleBytes(2000);
    const Bytes first = gzipMember(a, 0);
    const Bytes two = concat({first, gzipMember(a, 6)});
    for (size_t cut = 2; cut < two.size(); ++cut) {
        const Bytes input(two.begin(), two.begin() + static_cast<std::ptrdiff_t>(cut));
        for (const GzipInflation inflation : {kInflateAhead, kInflateOnDemand}) {
            const Read r = readMemory(input, inflation);
            ASSERT_TRUE(r.gzip) << cut;
            ASSERT_EQ(r.reports, cut == first.size() || cut == first.size() + 1 ? 0 : 1) << "cut at " << cut;
            ASSERT_LE(r.bytes.size(), 2 * a.size()) << cut;
            ASSERT_TRUE(std::equal(r.bytes.begin(), r.bytes.end(), concat({a, a}).begin())) << cut;
        }
    }
}

TEST(GzipInput, AFurtherMembersMagicMaySpanTwoFileChunks) {
    // A first member whose stored size puts the second member's magic at the
    // end of the first file chunk: both bytes there, and split 1F | 8B.
    for (const size_t magicAt : {kInputChunkSize - 2, kInputChunkSize - 1, kInputChunkSize}) {
        Bytes first;
        Bytes data;
        for (size_t n = magicAt; n > 0; --n) {
            data = sampleBytes(n, 7);
            first = gzipMember(data, 0);
            if (first.size() == magicAt) break;
        }
        ASSERT_EQ(first.size(), magicAt);
        const Bytes second = sampleBytes(5000, 8);
        expectRead(concat({first, gzipMember(second)}), concat({data, second}), false,
                   "magic at " + std::to_string(magicAt));
    }
}

TEST(GzipInput, OtherInputsAreLeftAsTheyAre) {
    for (const Bytes& input : {Bytes{}, Bytes{0x1F}, Bytes{0x1F, 0x8C, 0x08}, Bytes{'V', 'g', 'm', ' '}}) {
        for (const bool file : {false, true}) {
            const Read r = file ? readFile(input, kInflateAhead) : readMemory(input, kInflateAhead);
            EXPECT_FALSE(r.gzip);
            EXPECT_EQ(r.bytes, input);
            EXPECT_EQ(r.reports, 0);
        }
    }
}

TEST(GzipInput, ClosingWhileTheWorkerIsAheadStopsIt) {
    // A long member: the worker fills the ring and waits; closing must end it
    // at once, with the reader holding a window or not.
    const Bytes input = gzipMember(Bytes(16u << 20, 0x70), 9);
    for (const int windowsRead : {0, 1, 2}) {
        BufferedInput in;
        openMemoryInput(in, input.data(), input.size());
        ASSERT_TRUE(inflateIfGzip(in, kInflateAhead));
        for (int i = 0; i < windowsRead; ++i) {
            ASSERT_TRUE(refillInput(in));
            EXPECT_EQ(static_cast<size_t>(in.end - in.next), kGzipWindowSize);
        }
        closeInput(in);
        EXPECT_FALSE(refillInput(in));
    }
}

}  // namespace
