#include "common/byte_order.h"

#include <gtest/gtest.h>

TEST(ByteOrder, ReadersTakeTheNamedOrder) {
    const uint8_t b[4] = {0x12, 0x34, 0x56, 0x78};
    EXPECT_EQ(readLe16(b), 0x3412);
    EXPECT_EQ(readLe24(b), 0x563412u);
    EXPECT_EQ(readLe32(b), 0x78563412u);
    EXPECT_EQ(readBe32(b), 0x12345678u);
}

TEST(ByteOrder, WritersAndAppendersProduceTheNamedOrder) {
    uint8_t b[4] = {};
    writeLe32(b, 0x11223344);
    EXPECT_EQ(b[0], 0x44);
    EXPECT_EQ(b[3], 0x11);
    writeBe32(b, 0x11223344);
    EXPECT_EQ(b[0], 0x11);
    EXPECT_EQ(b[3], 0x44);
    writeBe16(b, 0xABCD);
    EXPECT_EQ(b[0], 0xAB);
    writeLe16(b, 0xABCD);
    EXPECT_EQ(b[0], 0xCD);

    std::vector<uint8_t> v;
    appendLe16(v, 0x0102);
    appendLe32(v, 0x03040506);
    appendBe24(v, 0x090A0B);
    EXPECT_EQ(v, (std::vector<uint8_t>{0x02, 0x01, 0x06, 0x05, 0x04, 0x03, 0x09, 0x0A, 0x0B}));
}

TEST(ByteOrder, HighBitsSurviveWithoutSignExtension) {
    const uint8_t b[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(readLe32(b), 0xFFFFFFFFu);
    EXPECT_EQ(readBe32(b), 0xFFFFFFFFu);
    EXPECT_EQ(readLe16(b), 0xFFFF);
}
