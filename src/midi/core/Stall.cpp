#include "midi/core/Stall.h"

#include "base/core/Messages.h"

namespace quillon::midi {

std::string stallNotice(const Stall& stall, std::string_view silentText)
{
    std::string notice;
    switch (stall.cause) {
    case StallCause::KeyboardSilent: notice = silentText; break;
    case StallCause::PortGone: notice = text::kStallPortGone; break;
    case StallCause::ServerStopped: notice = text::kStallServerStopped; break;
    case StallCause::NoCycles: notice = text::kStallNoCycles; break;
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
