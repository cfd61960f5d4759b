#include "transfer/io/PacedOutput.h"

#include "transfer/core/TransferHandshake.h"

#include <algorithm>

namespace quillon::transfer {

void PacedOutput::arm(midi::InputConnection& input, std::uint8_t replyNote, std::span<const std::uint8_t> message)
{
    if (m_output && !m_armed && m_output->sendOnReply(input, replyNote, message))
        m_armed.emplace(message.begin(), message.end());
}

void PacedOutput::armNextOf(midi::InputConnection& input, const TransferHandshake& handshake)
{
    if (!m_output || m_armed)
        return;
    if (const auto next = handshake.nextMessageOnReply())
        arm(input, next->replyNote, next->bytes);
}

midi::SendResult PacedOutput::send(std::span<const std::uint8_t> message)
{
    if (!m_output)
        return midi::SendResult::OpenFailed;
    if (!m_armed)
        return m_output->send(message);
    const bool same = std::ranges::equal(*m_armed, message);
    m_armed.reset();
    if (m_output->takeBackReplySend() != midi::SendResult::Sent)
        return m_output->send(message);
    return same ? midi::SendResult::Sent : midi::SendResult::SendFailed;
}

void PacedOutput::takeBack()
{
    if (m_output && m_armed) {
        m_armed.reset();
        m_output->takeBackReplySend();
    }
}

} // namespace quillon::transfer
