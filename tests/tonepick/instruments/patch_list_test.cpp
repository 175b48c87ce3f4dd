#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "tonepick/instruments/patch_list.h"

namespace {

PatchRecord baseRecord(uint8_t keyMask = 0xF0) {
    PatchRecord r;
    r.fbAlg = 0x3A;
    r.lrAmsFms = 0xC5;
    r.lfo = 0x08;
    r.keyMask = keyMask;
    for (size_t k = 0; k < 4; ++k) {
        const auto n = static_cast<uint8_t>(k);
        r.op[k] = OperatorRegs{static_cast<uint8_t>(0x31 + n), static_cast<uint8_t>(0x20 + n),
                               static_cast<uint8_t>(0x1F - n), static_cast<uint8_t>(0x05 + n),
                               static_cast<uint8_t>(0x02 + n), static_cast<uint8_t>(0x4A + n), 0};
    }
    return r;
}

// The comparison written out as a plain walk over the list, field by field.
int32_t linearCapture(std::vector<PatchRecord>& list, const PatchRecord& r) {
    auto keyed = [](const PatchRecord& p, size_t k) { return ((p.keyMask >> (4 + k)) & 1) != 0; };
    auto loudness = [&](const PatchRecord& p) {
        int sum = 0;
        for (size_t k = 0; k < 4; ++k) {
            if (keyed(p, k)) sum += 127 - (p.op[k].tl & 0x7F);
        }
        return sum;
    };
    for (size_t i = 0; i < list.size(); ++i) {
        PatchRecord& p = list[i];
        if (p.fbAlg != r.fbAlg || p.lrAmsFms != r.lrAmsFms || p.keyMask != r.keyMask || p.ch3Mode != r.ch3Mode) {
            continue;
        }
        if (r.ch3Mode != 0 && p.ch3Freq != r.ch3Freq) continue;
        bool same = true;
        for (size_t k = 0; k < 4 && same; ++k) {
            if (!keyed(r, k)) continue;
            const OperatorRegs& a = p.op[k];
            const OperatorRegs& b = r.op[k];
            same = a.dtMul == b.dtMul && a.rsAr == b.rsAr && a.amD1r == b.amD1r && a.d2r == b.d2r &&
                   a.d1lRr == b.d1lRr && a.ssgEg == b.ssgEg;
        }
        if (!same) continue;
        if (loudness(r) > loudness(p)) {
            for (size_t k = 0; k < 4; ++k) p.op[k].tl = r.op[k].tl;
        }
        return static_cast<int32_t>(i);
    }
    list.push_back(r);
    return static_cast<int32_t>(list.size() - 1);
}

TEST(PatchListTest, TotalLevelsKeepTheLoudestKeyOnEarlierOnATie) {
    PatchList list;
    PatchRecord quiet = baseRecord();
    for (auto& op : quiet.op) op.tl = 0x40;
    EXPECT_EQ(capturePatch(list, quiet), 0);

    PatchRecord louder = quiet;  // sum rises by 0x10, spread unevenly
    louder.op[0].tl = 0x30;
    louder.op[3].tl = 0xC0;  // bit 7 plays no part in loudness but is copied as written
    EXPECT_EQ(capturePatch(list, louder), 0);
    ASSERT_EQ(list.patches.size(), 1u);
    EXPECT_EQ(list.patches[0].op[0].tl, 0x30);
    EXPECT_EQ(list.patches[0].op[3].tl, 0xC0);

    PatchRecord tie = louder;  // same sum, different distribution: the earlier stays
    tie.op[0].tl = 0x40;
    tie.op[1].tl = 0x30;
    EXPECT_EQ(capturePatch(list, tie), 0);
    EXPECT_EQ(list.patches[0].op[0].tl, 0x30);
    EXPECT_EQ(list.patches[0].op[1].tl, 0x40);

    PatchRecord softer = louder;
    for (auto& op : softer.op) op.tl = 0x7F;
    EXPECT_EQ(capturePatch(list, softer), 0);
    EXPECT_EQ(list.patches[0].op[0].tl, 0x30);
    EXPECT_EQ(list.patches.size(), 1u);
}

TEST(PatchListTest, LfoIsNeitherComparedNorUpdated) {
    PatchList list;
    PatchRecord r = baseRecord();
    capturePatch(list, r);
    r.lfo = 0x0F;
    for (auto& op : r.op) op.tl = 0;  // louder too: only tl may move
    EXPECT_EQ(capturePatch(list, r), 0);
    EXPECT_EQ(list.patches[0].lfo, 0x08);
    EXPECT_EQ(list.patches[0].op[2].tl, 0);
}

TEST(PatchListTest, KeyMaskAndUnkeyedOperators) {
    PatchList list;
    EXPECT_EQ(capturePatch(list, baseRecord(0xF0)), 0);
    EXPECT_EQ(capturePatch(list, baseRecord(0x10)), 1);

    // Only S1 keyed: S2..S4 registers do not matter, and only S1's tl is loud.
    PatchRecord other = baseRecord(0x10);
    for (size_t k = 1; k < 4; ++k) other.op[k] = OperatorRegs{0x7F, 0x00, 0x01, 0x82, 0x1F, 0xFF, 0x0F};
    EXPECT_EQ(capturePatch(list, other), 1);
    EXPECT_EQ(list.patches[1].op[1].dtMul, 0x32);  // the first key-on's registers stay
    EXPECT_EQ(list.patches[1].op[1].tl, 0x21);     // louder S2..S4 do not count

    other.op[0].tl = 0x1F;  // S1 louder: all four levels taken, unkeyed ones too
    EXPECT_EQ(capturePatch(list, other), 1);
    EXPECT_EQ(list.patches[1].op[0].tl, 0x1F);
    EXPECT_EQ(list.patches[1].op[1].tl, 0x00);
    EXPECT_EQ(list.patches[1].op[1].dtMul, 0x32);

    // S3 keyed as well (0x50): its registers count now.
    PatchRecord s1s3 = baseRecord(0x50);
    EXPECT_EQ(capturePatch(list, s1s3), 2);
    s1s3.op[2].d2r ^= 1;
    EXPECT_EQ(capturePatch(list, s1s3), 3);
    s1s3.op[1].d2r ^= 1;  // S2 unkeyed
    EXPECT_EQ(capturePatch(list, s1s3), 3);
}

TEST(PatchListTest, EveryComparedFieldSeparatesPatches) {
    const PatchRecord base = baseRecord();
    std::vector<PatchRecord> variants;
    auto vary = [&](auto change) {
        PatchRecord r = base;
        change(r);
        variants.push_back(r);
    };
    vary([](PatchRecord& r) { r.fbAlg ^= 0x08; });
    vary([](PatchRecord& r) { r.lrAmsFms ^= 0x40; });
    vary([](PatchRecord& r) { r.op[3].dtMul ^= 0x10; });
    vary([](PatchRecord& r) { r.op[1].rsAr ^= 0x40; });
    vary([](PatchRecord& r) { r.op[2].amD1r ^= 0x80; });  // the AM bit alone
    vary([](PatchRecord& r) { r.op[0].d2r ^= 0x01; });
    vary([](PatchRecord& r) { r.op[3].d1lRr ^= 0x10; });
    vary([](PatchRecord& r) { r.op[0].ssgEg = 0x08; });
    vary([](PatchRecord& r) { r.ch3Mode = 0x40; });

    PatchList list;
    EXPECT_EQ(capturePatch(list, base), 0);
    for (size_t i = 0; i < variants.size(); ++i) {
        EXPECT_EQ(capturePatch(list, variants[i]), static_cast<int32_t>(i + 1)) << i;
    }
    // And each folds into its own entry when it comes back.
    for (size_t i = 0; i < variants.size(); ++i) {
        EXPECT_EQ(capturePatch(list, variants[i]), static_cast<int32_t>(i + 1)) << i;
    }
}

TEST(PatchListTest, Channel3FrequenciesCountOnlyInSpecialMode) {
    PatchList list;
    PatchRecord normal = baseRecord();
    normal.ch3Freq = {0x1111, 0x2222, 0x3333, 0x4444};
    EXPECT_EQ(capturePatch(list, normal), 0);
    normal.ch3Freq[2] = 0x3334;
    EXPECT_EQ(capturePatch(list, normal), 0);
    EXPECT_EQ(list.patches[0].ch3Freq[2], 0x3333);

    PatchRecord special = normal;
    special.ch3Mode = 0x40;
    EXPECT_EQ(capturePatch(list, special), 1);
    special.ch3Freq[0] = 0x1112;
    EXPECT_EQ(capturePatch(list, special), 2);
    special.ch3Freq[0] = 0x1111;
    EXPECT_EQ(capturePatch(list, special), 1);
    special.ch3Mode = 0x80;
    EXPECT_EQ(capturePatch(list, special), 3);
}

// The index must give the same answers as the walk, including the total-level
// updates, on a stream where matches, near misses and repeats are frequent:
// a pool of instruments replayed with random levels, LFO, unkeyed-operator
// registers and channel-3 words, and now and then one compared bit flipped.
TEST(PatchListTest, IndexedCaptureEqualsLinearWalk) {
    std::mt19937 rng(20240611);
    auto byte = [&]() { return static_cast<uint8_t>(rng() & 0xFF); };
    auto chance = [&](unsigned percent) { return rng() % 100 < percent; };
    const uint8_t masks[] = {0x00, 0x10, 0x50, 0xB0, 0xF0, 0xF0};
    std::vector<PatchRecord> pool(400);
    for (PatchRecord& r : pool) {
        r.fbAlg = byte() & 0x3F;
        r.lrAmsFms = byte();
        r.keyMask = masks[rng() % 6];
        r.ch3Mode = chance(20) ? 0x40 : 0x00;
        for (auto& w : r.ch3Freq) w = static_cast<uint16_t>(rng() & 0x3FFF);
        for (auto& op : r.op) op = OperatorRegs{byte(), byte(), byte(), byte(), byte(), byte(), byte()};
    }

    PatchList list;
    std::vector<PatchRecord> reference;
    for (int n = 0; n < 20000; ++n) {
        PatchRecord r = pool[rng() % pool.size()];
        r.lfo = byte() & 0x0F;
        for (size_t k = 0; k < 4; ++k) {
            r.op[k].tl = chance(50) ? r.op[k].tl : byte();
            if (!operatorKeyed(r, static_cast<int>(k)) && chance(50)) r.op[k].dtMul = byte();
        }
        if (chance(30)) r.ch3Freq[rng() % 4] ^= 1;
        if (chance(20)) {
            // One bit of a compared byte: fbAlg, lrAmsFms, keyMask, ch3Mode or an operator register.
            const unsigned bit = 1u << (rng() % 8);
            switch (rng() % 6) {
                case 0: r.fbAlg ^= static_cast<uint8_t>(bit); break;
                case 1: r.lrAmsFms ^= static_cast<uint8_t>(bit); break;
                case 2: r.keyMask ^= static_cast<uint8_t>(0x10u << (rng() % 4)); break;
                case 3: r.ch3Mode ^= 0x40; break;
                case 4: r.op[rng() % 4].ssgEg ^= static_cast<uint8_t>(bit); break;
                default: r.op[rng() % 4].amD1r ^= static_cast<uint8_t>(bit); break;
            }
        }
        const int32_t expected = linearCapture(reference, r);
        ASSERT_EQ(capturePatch(list, r), expected) << "record " << n;
    }
    ASSERT_EQ(list.patches.size(), reference.size());
    EXPECT_GT(reference.size(), 1000u);  // many entries, and many folded key-ons
    EXPECT_LT(reference.size(), 15000u);
    for (size_t i = 0; i < reference.size(); ++i) {
        ASSERT_TRUE(list.patches[i] == reference[i]) << "patch " << i;
    }
}

}  // namespace
