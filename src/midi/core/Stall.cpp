#include "midi/core/Stall.h"

#include "base/core/Messages.h"

#include <algorithm>

namespace quillon::midi {

namespace {
// A look this much later than meant is no busy machine (even a loaded one): nothing of this program ran.
constexpr std::chrono::milliseconds kStoppedBeyond{3000};
// A server that runs cycles every few milliseconds and ran none for this long paused.
constexpr std::chrono::milliseconds kPausedBeyond{1000};
} // namespace

void WaitTimeline::look(Clock::time_point now, std::optional<Clock::time_point> lastCycle)
{
    if (m_lastLook && now - *m_lastLook > m_lookEvery + kStoppedBeyond)
        m_senderStopped = true;
    else if (lastCycle && now - *lastCycle > kPausedBeyond)
        m_serverPaused = true;
    m_lastLook = now;
}

bool statusInsideSysEx(std::span<const std::uint8_t> message)
{
    if (message.size() < 3 || message.front() != 0xF0)
        return false;
    const auto body = message.subspan(1, message.size() - 2);
    return std::any_of(body.begin(), body.end(), [](std::uint8_t byte) { return byte & 0x80; });
}

std::string stallNotice(const Stall& stall, std::string_view silentText)
{
    std::string notice;
    switch (stall.cause) {
    case StallCause::KeyboardSilent: notice = stall.blockOverAlsa ? text::kStallBlockOverAlsa : silentText; break;
    case StallCause::PortGone: notice = text::kStallPortGone; break;
    case StallCause::ServerStopped: notice = text::kStallServerStopped; break;
    case StallCause::NoCycles: notice = text::kStallNoCycles; break;
    case StallCause::ServerPaused: notice = text::kStallServerPaused; break;
    case StallCause::SenderStopped: notice = text::kStallSenderStopped; break;
    case StallCause::MaybeLost: notice = text::kStallMaybeLost; break;
    }
    // A server that runs no cycles misses them all: counting them says nothing more.
    if (stall.missedCycles > 0 && stall.cause != StallCause::NoCycles)
        notice += ' ' + std::string(text::kStallMissedCycles) + std::to_string(stall.missedCycles) +
                  std::string(text::kStallMissedCyclesSuffix);
    if (stall.throughBridge)
        notice += ' ' + std::string(text::kStallThroughBridge);
    return notice;
}

} // namespace quillon::midi
