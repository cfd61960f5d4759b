#pragma once
// Runs one reply-driven file transfer on the calling thread, without a window:
// the core handshake decides what to send, the MidiSystem sends it, and the
// keyboard's replies (arriving on the input's thread) are waited for on a
// condition variable with a deadline. Used by quillon-cli, the benchmarks and
// the tests; the Send File window drives the same handshake from its signals.
#include "midi/core/Stall.h"
#include "midi/io/MidiSystem.h"
#include "transfer/core/TransferHandshake.h"
#include "transfer/core/TransferReport.h"

#include <chrono>
#include <functional>
#include <mutex>
#include <string>

namespace quillon::transfer {

// Ends a run under way from another thread (quillon-cli's signal thread) as
// Cancel ends one in the window: the run stops waiting at once, sends the
// closing message a song run needs, and reports Interrupted.
class TransferStop {
public:
    void request();
    bool requested() const;
    // The running transfer's way to be woken (none: no run is waiting).
    void setWake(std::function<void()> wake);

private:
    mutable std::mutex m_mutex;
    bool m_requested = false;
    std::function<void()> m_wake;
};

struct TransferOptions {
    midi::PortChoice output;
    midi::PortChoice input;
    // How long the keyboard may take to answer a message before the run gives up.
    std::chrono::milliseconds replyTimeout{5000};
    // Keep one output connection for the whole transfer (faster) instead of
    // opening and closing the port for every message.
    bool keepOutputOpen = true;
    std::function<void(unsigned position, unsigned range)> onProgress;
    std::function<void(const std::string& status)> onStatus;
    TransferStop* stop = nullptr; // none: the run cannot be ended from outside
    // Each message that left, and each short message the input brought, as the run handles it.
    std::function<void(std::span<const std::uint8_t> message)> onSent = {};
    std::function<void(std::uint32_t packed)> onReply = {};
    // Shown every batch of actions before it is carried out; settled when the run ends.
    TransferRecorder* recorder = nullptr;
};

enum class TransferOutcome {
    Finished,
    Refused,    // the handshake would not start (empty list, bad slot)
    NoOutput,   // output port not chosen, gone, or cannot be opened
    NoInput,    // input port not chosen, gone, or held by another program
    SendFailed, // a message did not leave within its time
    NoReply,    // the keyboard did not answer in time
    FileUnreadable,
    Interrupted, // TransferStop::request()
};

struct TransferReport {
    TransferOutcome outcome = TransferOutcome::Finished;
    std::string detail;
    midi::Stall stall; // why, for NoReply and SendFailed
    unsigned messagesSent = 0;
    std::uint64_t bytesSent = 0;
    std::chrono::nanoseconds elapsed{0};
};

TransferReport runTransfer(midi::MidiSystem& system, TransferHandshake& handshake, const TransferOptions& options);

std::string_view outcomeName(TransferOutcome outcome);

} // namespace quillon::transfer
