#include "cli/SendReport.h"

#include "base/core/Version.h"
#include "cli/Output.h"
#include "midi/core/DeviceFrame.h"

#include <ctime>
#include <fstream>
#include <iomanip>

namespace quillon::cli {

namespace {

// Which way the bytes take to the device, as far as it matters for SysEx.
std::string routeOf(const std::string& backend)
{
    if (backend == "ALSA")
        return "ALSA sequencer, each SysEx message one event of exactly its bytes";
    if (backend == "ALSA raw")
        return "ALSA raw MIDI device, each message written as its bytes and drained";
    if (backend == "JACK")
        return "JACK, between programs (a bridge to hardware may split or drop SysEx)";
    if (backend == "Virtual")
        return "the built-in keyboard inside this program";
    return backend;
}

std::string_view replyName(std::uint8_t note)
{
    switch (static_cast<frame::Reply>(note)) {
    case frame::Reply::RomBlockDone: return "ROM block done";
    case frame::Reply::SongBlockDone: return "song block done";
    case frame::Reply::Ready: return "ready";
    case frame::Reply::SongDone: return "song done";
    }
    return "";
}

} // namespace

SendReport::SendReport(const std::string& command)
{
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M:%S UTC", &utc);
    m_text << "quillon-cli " QUILLON_VERSION ", " << date << '\n' << "command: " << command << '\n';
}

void SendReport::ports(midi::MidiSystem& system, const midi::PortChoice& output, const midi::PortChoice& input)
{
    const auto out = system.resolve(output, midi::Direction::Output);
    const auto in = system.resolve(input, midi::Direction::Input);
    m_text << "output: " << (out ? out->backend + ": " + out->name : "(none)") << '\n'
           << "input: " << (in ? in->backend + ": " + in->name : "(none)") << '\n'
           << "route: " << (out ? routeOf(out->backend) : "(none)") << '\n'
           << "backends:";
    for (const auto& name : system.backendNames())
        m_text << ' ' << name;
    m_text << "\n\n      ms  event\n";
}

void SendReport::stamp()
{
    const std::chrono::duration<double, std::milli> since = std::chrono::steady_clock::now() - m_start;
    m_text << std::fixed << std::setprecision(1) << std::setw(8) << since.count() << "  ";
}

void SendReport::sent(std::span<const std::uint8_t> message)
{
    stamp();
    // Head and command byte are what tells one message from another; a block's data adds nothing.
    constexpr std::size_t kShown = frame::kOffCommand + 1;
    m_text << "sent " << message.size() << " bytes: " << hexLine(message.first(std::min(message.size(), kShown)));
    if (message.size() > kShown)
        m_text << " .. " << hexLine(message.last(1));
    m_text << '\n';
}

void SendReport::reply(std::uint32_t packed)
{
    stamp();
    const std::uint8_t bytes[] = {std::uint8_t(packed), std::uint8_t(packed >> 8), std::uint8_t(packed >> 16)};
    m_text << "reply " << hexLine(bytes);
    if (bytes[0] == frame::kReplyStatus && !replyName(bytes[1]).empty())
        m_text << " (" << replyName(bytes[1]) << ')';
    m_text << '\n';
}

bool SendReport::write(const std::string& file, const std::string& outcome)
{
    stamp();
    m_text << "end: " << outcome << '\n';
    std::ofstream stream(file, std::ios::binary | std::ios::trunc);
    stream << m_text.str();
    stream.close();
    return static_cast<bool>(stream);
}

} // namespace quillon::cli
