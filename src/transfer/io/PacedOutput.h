#pragma once
// The output side of a reply-paced transfer. After each step the caller arms
// the message the keyboard's expected reply will call for; where the port can
// (OutputConnection::sendOnReply) it leaves the moment that reply arrives,
// instead of a cycle later after a trip through the program's threads. When
// the handshake then asks for that message, it has already gone.
#include "midi/io/MidiSystem.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace quillon::transfer {

class TransferHandshake;

class PacedOutput {
public:
    // nullptr = no port yet (every send fails to open).
    explicit PacedOutput(std::unique_ptr<midi::OutputConnection> output = nullptr) : m_output(std::move(output)) {}
    ~PacedOutput() { takeBack(); }
    PacedOutput(const PacedOutput&) = delete;
    PacedOutput& operator=(const PacedOutput&) = delete;

    void reset(std::unique_ptr<midi::OutputConnection> output)
    {
        takeBack();
        m_output = std::move(output);
    }
    // The connection, for closing elsewhere; the output is closed after.
    std::unique_ptr<midi::OutputConnection> release()
    {
        takeBack();
        return std::move(m_output);
    }
    bool isOpen() const { return m_output != nullptr; }
    midi::OutputConnection* connection() const { return m_output.get(); }

    // Leaves `message` to go out when `input` receives Note On `replyNote`;
    // nothing when a message is armed already or the port cannot.
    void arm(midi::InputConnection& input, std::uint8_t replyNote, std::span<const std::uint8_t> message);
    bool armed() const { return m_armed.has_value(); }
    // Arms what the keyboard's next expected reply will make `handshake` send,
    // if anything; asks the handshake only when nothing is armed and the port is open.
    void armNextOf(midi::InputConnection& input, const TransferHandshake& handshake);

    // Sends `message`, or, when the armed message already left, counts it as
    // sent if it is exactly this one. Had another left (a repeated reply
    // overtook the exchange), the order on the wire is broken: SendFailed.
    midi::SendResult send(std::span<const std::uint8_t> message);

    // Ends an armed message that has not left; it cannot leave afterwards.
    void takeBack();

private:
    std::unique_ptr<midi::OutputConnection> m_output;
    std::optional<std::vector<std::uint8_t>> m_armed;
};

} // namespace quillon::transfer
