#pragma once
// A keyboard-side view of a handshake: an in-memory file store, replies by
// name, and readers for the actions the handshake answers with.
#include "midi/core/DeviceFrame.h"
#include "transfer/core/TransferHandshake.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace quillon::transfer::testing {

using frame::Bytes;

// Distinct, position-dependent content of a given raw length (N raw bytes pack
// to N + ceil(N/7)), so that a misplaced block cannot pass for another.
inline Bytes fileData(std::size_t rawLength, std::uint8_t seed = 0)
{
    Bytes data(rawLength);
    for (std::size_t i = 0; i < rawLength; ++i)
        data[i] = static_cast<std::uint8_t>((i * 131 + seed * 17 + i / 256) & 0xFF);
    return data;
}

struct FileStore {
    std::map<std::string, Bytes> files;
    std::vector<std::string> reads;

    TransferHandshake::FileReader reader()
    {
        return [this](const std::string& name) -> Result<Bytes> {
            reads.push_back(name);
            const auto found = files.find(name);
            if (found == files.end())
                return fail("cannot open " + name);
            return found->second;
        };
    }
    TransferHandshake started(TransferList list)
    {
        TransferHandshake handshake(std::move(list), reader());
        EXPECT_TRUE(handshake.start().ok());
        return handshake;
    }
};

inline Actions reply(TransferHandshake& handshake, frame::Reply code)
{
    return handshake.onShortMessage(frame::kReplyStatus, static_cast<std::uint8_t>(code));
}

template <typename T>
std::vector<T> all(const Actions& actions)
{
    std::vector<T> found;
    for (const auto& action : actions) {
        if (const auto* item = std::get_if<T>(&action))
            found.push_back(*item);
    }
    return found;
}

// One field of every action of one kind, in order.
template <typename T, typename F>
std::vector<F> each(const Actions& actions, F T::*field)
{
    std::vector<F> values;
    for (const auto& action : all<T>(actions))
        values.push_back(action.*field);
    return values;
}

inline std::vector<Bytes> sent(const Actions& actions) { return each(actions, &SendMessage::bytes); }
inline std::vector<unsigned> positions(const Actions& actions) { return each(actions, &SetProgressPosition::position); }
inline std::vector<std::string> statuses(const Actions& actions) { return each(actions, &SetStatus::text); }

// Reading a message back: its target byte, its 14-bit number and its payload length.
inline unsigned target(const Bytes& message) { return message.at(frame::kOffTarget); }
inline unsigned number(const Bytes& message)
{
    return (message.at(frame::kOffNumberHigh) << 7) | message.at(frame::kOffNumberLow);
}
inline std::size_t payloadLength(const Bytes& message) { return message.size() - frame::kFrameOverhead; }

inline TransferList songs(std::vector<std::pair<std::string, int>> namesAndSlots)
{
    TransferList list{TransferKind::Songs, {}};
    for (auto& [name, slot] : namesAndSlots)
        list.entries.push_back({name, " 1.00K", slot});
    return list;
}

inline TransferList romImage(const std::string& name)
{
    return TransferList{TransferKind::RomImage, {{name, " 1.00K", 1}}};
}

} // namespace quillon::transfer::testing
