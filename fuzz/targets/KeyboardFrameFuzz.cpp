// The keyboard's frame parser fed a stream of messages: the input is cut after
// every F7, so a mutated transfer stays a sequence of messages. Whatever
// arrives, each message is either taken (maybe with a reply) or recorded as
// exactly one protocol error with no reply, and what the keyboard stores is
// well-formed: songs only in slots 1..28, curves of 7-bit velocities.
#include "midi/core/DeviceFrame.h"
#include "midi/core/KeyboardModel.h"

#include "FuzzCheck.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

using namespace quillon;
using namespace quillon::keyboard;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    KeyboardModel model;
    std::size_t start = 0;
    while (start < size) {
        std::size_t end = start;
        while (end < size && bytes[end] != frame::kSysExEnd)
            ++end;
        end = std::min(end + 1, size);
        const auto message = bytes.subspan(start, end - start);
        start = end;

        const std::size_t errorsBefore = model.errors().size();
        const Reaction reaction = model.feed(message);
        const std::size_t errorsAfter = model.errors().size();
        FUZZ_CHECK(!reaction.event.empty());
        if (reaction.error) {
            FUZZ_CHECK(errorsAfter == errorsBefore + 1);
            FUZZ_CHECK(!reaction.reply.has_value());
            FUZZ_CHECK(reaction.stored == Stored::Nothing);
        } else {
            FUZZ_CHECK(errorsAfter == errorsBefore);
        }
        // A message too short for a frame or without its end bytes is never taken.
        if (message.size() < frame::kFrameOverhead || message.front() != frame::kSysExStart ||
            message.back() != frame::kSysExEnd)
            FUZZ_CHECK(reaction.error);
        switch (reaction.stored) {
        case Stored::Song:
            FUZZ_CHECK(reaction.slot >= 1 && reaction.slot <= frame::kMaxSlots);
            FUZZ_CHECK(model.song(reaction.slot).has_value());
            FUZZ_CHECK(reaction.reply == frame::Reply::SongDone);
            break;
        case Stored::Curve:
            FUZZ_CHECK(model.curve().has_value());
            FUZZ_CHECK(
                std::all_of(model.curve()->begin(), model.curve()->end(), [](std::uint8_t v) { return v < 0x80; }));
            break;
        case Stored::Rom:
            FUZZ_CHECK(model.romImage().has_value());
            FUZZ_CHECK(!model.transferOpen());
            break;
        case Stored::Nothing: break;
        }
    }
    for (const auto& [slot, song] : model.songs())
        FUZZ_CHECK(slot >= 1 && slot <= frame::kMaxSlots);
    return 0;
}
