#include "midi/core/SysExJoiner.h"

#include <gtest/gtest.h>

using quillon::midi::SysExJoiner;
using Bytes = std::vector<std::uint8_t>;

// Events as a server hands them over, and the messages that must come out.
TEST(SysExJoinerTest, JoinsPiecesAndPassesTheRestOn)
{
    const struct {
        const char* what;
        std::vector<Bytes> events;
        std::vector<Bytes> messages;
        std::uint64_t broken;
    } rows[] = {
        {"whole, 8-bit byte kept", {{0xF0, 0x01, 0x89, 0x02, 0xF7}}, {{0xF0, 0x01, 0x89, 0x02, 0xF7}}, 0},
        {"pieces", {{0xF0, 0x01, 0x02}, {0x03, 0x04}, {0x05, 0xF7}}, {{0xF0, 0x01, 0x02, 0x03, 0x04, 0x05, 0xF7}}, 0},
        // Real-time bytes between and inside pieces go on ahead of the message.
        {"real-time", {{0xF0, 1}, {0xF8}, {2, 0xFE, 3, 0xF7}}, {{0xF8}, {0xFE}, {0xF0, 1, 2, 3, 0xF7}}, 0},
        // Cut off by a note, the rest of the message is a stray piece.
        {"cut off by a note", {{0xF0, 0x01}, {0x90, 0x40, 0x7F}, {0x02, 0xF7}}, {{0x90, 0x40, 0x7F}}, 2},
        {"cut off by a new start", {{0xF0, 0x01}, {0xF0, 0x02}, {0xF7}}, {{0xF0, 0x02, 0xF7}}, 1},
        {"longer than the buffer", {{0xF0, 1, 2, 3, 4}, {5, 6, 7, 8, 0xF7}, {0x80, 0x40, 0}}, {{0x80, 0x40, 0}}, 1},
        {"note after the end", {{0xF0, 1}, {2, 0xF7, 0x90, 0x40, 0x7F}}, {{0xF0, 1, 2, 0xF7}, {0x90, 0x40, 0x7F}}, 0},
    };
    for (const auto& row : rows) {
        SysExJoiner joiner(8);
        std::vector<Bytes> out;
        for (const Bytes& event : row.events)
            joiner.feed(event, [&](std::span<const std::uint8_t> message) {
                out.emplace_back(message.begin(), message.end());
            });
        EXPECT_EQ(out, row.messages) << row.what;
        EXPECT_EQ(joiner.broken(), row.broken) << row.what;
    }
}
