#pragma once
// What one transfer did, in a form to paste into a bug report: the program,
// the ports and the route they take, then every message sent and every reply
// received with its time in milliseconds from the start, then the outcome.
// Used on the thread that runs the transfer.
#include "midi/io/MidiSystem.h"

#include <chrono>
#include <cstdint>
#include <span>
#include <sstream>
#include <string>

namespace quillon::cli {

class SendReport {
public:
    // `command`: what was run, e.g. "send-songs a.mid --slots 5".
    explicit SendReport(const std::string& command);

    void ports(midi::MidiSystem& system, const midi::PortChoice& output, const midi::PortChoice& input);
    void sent(std::span<const std::uint8_t> message);
    void reply(std::uint32_t packed);
    // Ends the report with its outcome and writes it to `file`; false when it cannot be written.
    bool write(const std::string& file, const std::string& outcome);

private:
    void stamp();

    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    std::ostringstream m_text;
};

} // namespace quillon::cli
