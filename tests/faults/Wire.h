#pragma once
// The handshake and the keyboard model joined by a wire that can misbehave: a
// fault plan may duplicate, drop or hold back (until everything else has
// arrived) the n-th reply, or drop, repeat or damage the n-th message.
#include "midi/core/KeyboardModel.h"

#include "../transfer_core/HandshakeTestSupport.h"

#include <deque>
#include <map>
#include <string>
#include <vector>

namespace quillon::faults {

using frame::Bytes;
using transfer::testing::fileData;

enum class ReplyFault { None, Duplicate, Drop, HoldBack };
enum class MessageFault { None, Drop, Repeat, FlipPayloadBit };

struct Wire {
    transfer::testing::FileStore store; // the files by name, unless a reader of its own was given
    transfer::TransferHandshake handshake;
    keyboard::KeyboardModel keyboard;

    std::map<std::size_t, ReplyFault> replyFaults;     // by reply number, from 0
    std::map<std::size_t, MessageFault> messageFaults; // by message number, from 0

    std::vector<Bytes> sent; // every message the handshake sent, as sent
    std::vector<transfer::Action> actions;
    std::size_t replyCount = 0;

    Wire(transfer::TransferList list, std::map<std::string, Bytes> contents)
        : store{std::move(contents), {}}, handshake(std::move(list), store.reader())
    {
    }
    Wire(transfer::TransferList list, transfer::TransferHandshake::FileReader reader)
        : handshake(std::move(list), std::move(reader))
    {
    }

    // Runs the transfer until nothing more moves; returns false when start() was refused.
    bool run()
    {
        auto started = handshake.start();
        if (!started)
            return false;
        take(*started);
        for (;;) {
            if (m_pendingReplies.empty()) {
                // A held-back reply turns up once everything else has arrived.
                if (m_late.empty())
                    break;
                m_pendingReplies.insert(m_pendingReplies.end(), m_late.begin(), m_late.end());
                m_late.clear();
            }
            const std::uint8_t note = m_pendingReplies.front();
            m_pendingReplies.pop_front();
            take(handshake.onShortMessage(frame::kReplyStatus, note));
        }
        return true;
    }

private:
    void take(const transfer::Actions& more)
    {
        for (const auto& action : more) {
            actions.push_back(action);
            if (const auto* message = std::get_if<transfer::SendMessage>(&action))
                carry(message->bytes);
        }
    }

    void carry(const Bytes& message)
    {
        const std::size_t number = sent.size();
        sent.push_back(message);
        const auto fault = messageFaults.count(number) ? messageFaults.at(number) : MessageFault::None;
        if (fault == MessageFault::Drop)
            return;
        Bytes arriving = message;
        if (fault == MessageFault::FlipPayloadBit && arriving.size() > frame::kFrameOverhead)
            arriving[frame::kHeadLength] ^= 0x01;
        deliver(arriving);
        if (fault == MessageFault::Repeat)
            deliver(arriving);
    }

    void deliver(const Bytes& message)
    {
        const keyboard::Reaction reaction = keyboard.feed(message);
        if (!reaction.reply)
            return;
        const auto note = static_cast<std::uint8_t>(*reaction.reply);
        const std::size_t number = replyCount++;
        const auto fault = replyFaults.count(number) ? replyFaults.at(number) : ReplyFault::None;
        switch (fault) {
        case ReplyFault::None: m_pendingReplies.push_back(note); break;
        case ReplyFault::Duplicate:
            m_pendingReplies.push_back(note);
            m_pendingReplies.push_back(note);
            break;
        case ReplyFault::Drop: break;
        case ReplyFault::HoldBack: m_late.push_back(note); break;
        }
    }

    std::deque<std::uint8_t> m_pendingReplies;
    std::vector<std::uint8_t> m_late;
};

} // namespace quillon::faults
