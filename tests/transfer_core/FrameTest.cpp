#include "midi/core/DeviceFrame.h"

#include <gtest/gtest.h>

using namespace quillon::frame;

TEST(Pack7, WorkedExamples)
{
    EXPECT_EQ(pack7(Bytes{0x61, 0x62, 0x63}), (Bytes{0x00, 0x61, 0x62, 0x63}));
    EXPECT_EQ(pack7(Bytes{0xFF, 0x01}), (Bytes{0x40, 0x7F, 0x01}));
    EXPECT_EQ(pack7(Bytes{0x80, 0, 0, 0, 0, 0, 0x01, 0x81}), (Bytes{0x40, 0, 0, 0, 0, 0, 0, 0x01, 0x40, 0x01}));
}

// The ROM and song walks hold the packed lengths and block edges.
TEST(Messages, ControlAndHeadersWorkedExamples)
{
    EXPECT_EQ(buildTransferControl(),
              (Bytes{0xF0, 0x00, 0x20, 0x63, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x29, 0xF7}));
    EXPECT_EQ(buildRomHeader(12),
              (Bytes{0xF0, 0x00, 0x20, 0x63, 0x00, 0x01, 0x00, 0x04, 0x00, 0x18, 0x00, 0x0C, 0x29, 0xF7}));
    EXPECT_EQ(buildSongHeader(5, 3),
              (Bytes{0xF0, 0x00, 0x20, 0x63, 0x00, 0x01, 0x00, 0x02, 0x00, 0x05, 0x00, 0x03, 0x29, 0xF7}));
}

// Block counts and indices travel in 14 bits: a larger one is refused (no
// message at all), never sent with its high bits dropped.
TEST(Messages, NumbersNearAndPastThe14BitLimit)
{
    const Bytes payload{0x01};
    const Bytes block128 = buildDataBlock(1, 128, payload);
    ASSERT_EQ(block128.size(), 15u);
    EXPECT_EQ((Bytes{block128[10], block128[11], block128[12], block128[13], block128[14]}),
              (Bytes{0x01, 0x00, 0x89, 0x01, 0xF7}));
    for (const unsigned number : {0x3FFEu, 0x3FFFu, 0x4000u, 0x4003u, 0x8000u, 0xFFFFFFFFu}) {
        const bool fits = number <= 0x3FFF;
        for (const Bytes& message :
             {buildSongHeader(1, number), buildRomHeader(number), buildDataBlock(1, number, payload)}) {
            ASSERT_EQ(message.empty(), !fits) << number;
            if (fits) {
                EXPECT_EQ((unsigned{message[10]} << 7) | message[11], number);
            }
        }
    }
    // The largest sendable file fills exactly the most blocks a header can count.
    const std::size_t largest = largestSendableLength();
    EXPECT_EQ(largest, 14679168u);
    for (std::size_t length = largest - 8; length <= largest + 8; ++length)
        EXPECT_EQ(blockCount(packedLength(length)) <= kMaxBlockCount, length <= largest) << length;
}
