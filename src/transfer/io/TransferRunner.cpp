#include "transfer/io/TransferRunner.h"

#include "base/core/Messages.h"
#include "midi/io/StallWatch.h"
#include "transfer/io/PacedOutput.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace quillon::transfer {

namespace {

// Short messages from the input's thread, waited for by the transfer's thread.
class ReplyQueue {
public:
    void push(std::uint32_t packed)
    {
        {
            std::lock_guard lock(m_mutex);
            m_messages.push_back(packed);
        }
        m_changed.notify_one();
    }

    // Ends every wait from now on.
    void wake()
    {
        {
            std::lock_guard lock(m_mutex);
            m_woken = true;
        }
        m_changed.notify_one();
    }

    std::optional<std::uint32_t> waitUntil(std::chrono::steady_clock::time_point deadline)
    {
        std::unique_lock lock(m_mutex);
        if (!m_changed.wait_until(lock, deadline, [this] { return !m_messages.empty() || m_woken; }) ||
            m_messages.empty())
            return std::nullopt;
        const std::uint32_t packed = m_messages.front();
        m_messages.pop_front();
        return packed;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::uint32_t> m_messages;
    bool m_woken = false;
};

// Lets a TransferStop wake this run's waits while it lives.
class WakeOnStop {
public:
    WakeOnStop(TransferStop* stop, ReplyQueue& replies) : m_stop(stop)
    {
        if (m_stop)
            m_stop->setWake([&replies] { replies.wake(); });
    }
    ~WakeOnStop()
    {
        if (m_stop)
            m_stop->setWake(nullptr);
    }
    WakeOnStop(const WakeOnStop&) = delete;
    WakeOnStop& operator=(const WakeOnStop&) = delete;
    bool requested() const { return m_stop && m_stop->requested(); }

private:
    TransferStop* m_stop;
};

constexpr std::chrono::milliseconds kServerCheck{250};

} // namespace

void TransferStop::request()
{
    std::lock_guard lock(m_mutex);
    m_requested = true;
    if (m_wake)
        m_wake();
}

bool TransferStop::requested() const
{
    std::lock_guard lock(m_mutex);
    return m_requested;
}

void TransferStop::setWake(std::function<void()> wake)
{
    std::lock_guard lock(m_mutex);
    m_wake = std::move(wake);
}

std::string_view outcomeName(TransferOutcome outcome)
{
    switch (outcome) {
    case TransferOutcome::Finished: return "finished";
    case TransferOutcome::Refused: return "refused";
    case TransferOutcome::NoOutput: return "output port cannot be opened";
    case TransferOutcome::NoInput: return "input port cannot be opened";
    case TransferOutcome::SendFailed: return "send failed";
    case TransferOutcome::NoReply: return "no reply from the keyboard";
    case TransferOutcome::FileUnreadable: return "file cannot be read";
    case TransferOutcome::Interrupted: return "interrupted";
    }
    return "unknown";
}

TransferReport runTransfer(midi::MidiSystem& system, TransferHandshake& handshake, const TransferOptions& options)
{
    const auto started = std::chrono::steady_clock::now();
    TransferReport report;
    const auto finish = [&](TransferOutcome outcome, std::string detail) {
        report.outcome = outcome;
        report.detail = std::move(detail);
        report.elapsed = std::chrono::steady_clock::now() - started;
        // A file under way was ended by the user, or by a port or keyboard that failed it.
        if (options.recorder)
            options.recorder->finish(WallClock::now(), outcome == TransferOutcome::Interrupted ? FileResult::Stopped
                                                                                               : FileResult::Failed);
        return report;
    };

    // Every song and ROM transfer has data blocks, whose command byte is 8-bit.
    if (!system.routeTraits(options.output).eightBitSysEx)
        return finish(TransferOutcome::Refused, std::string(text::kRefusedEightBitRoute));
    auto first = handshake.start();
    if (!first)
        return finish(TransferOutcome::Refused, first.reason());

    // The queue outlives the input: close() guarantees no callback afterwards.
    ReplyQueue replies;
    auto input = system.openInput(options.input, [&replies](std::uint32_t packed) { replies.push(packed); });
    if (!input)
        return finish(TransferOutcome::NoInput, "");
    PacedOutput output;
    if (options.keepOutputOpen) {
        output.reset(system.openOutput(options.output));
        if (!output.isOpen())
            return finish(TransferOutcome::NoOutput, "");
        output.connection()->tolerateStall(options.replyTimeout);
    }

    midi::StallWatch watch(kServerCheck);
    watch.restart(system);
    // The server's clock is asked of the output's backend, named once here.
    const midi::PortRef outputPort =
        system.resolve(options.output, midi::Direction::Output).value_or(options.output.port);
    bool lastSentBlock = false;
    const auto stalled = [&](TransferOutcome outcome) {
        report.stall = watch.diagnose(system, options.output, options.input, lastSentBlock);
        return finish(outcome, midi::stallNotice(report.stall, text::kStallKeyboardSilent));
    };
    Actions actions = std::move(*first);
    unsigned progressRange = 0;
    const auto send = [&](const frame::Bytes& bytes) {
        if (output.isOpen())
            return output.send(bytes);
        const auto once = system.openOutput(options.output);
        return once ? once->send(bytes) : midi::SendResult::OpenFailed;
    };
    const WakeOnStop stop(options.stop, replies);
    const auto observe = [&](const Actions& batch) {
        if (options.recorder)
            options.recorder->observe(batch, handshake, WallClock::now());
    };
    // Ended from outside: what the next reply would have released is taken back, and
    // a song run's closing message lets the keyboard leave the transfer.
    const auto interrupted = [&] {
        output.takeBack();
        const Actions closing = handshake.interrupt();
        observe(closing);
        for (const auto& action : closing)
            if (const auto* message = std::get_if<SendMessage>(&action))
                (void)send(message->bytes);
        return finish(TransferOutcome::Interrupted, "");
    };
    while (true) {
        observe(actions);
        for (auto& action : actions) {
            if (auto* message = std::get_if<SendMessage>(&action)) {
                const midi::SendResult result = send(message->bytes);
                if (result != midi::SendResult::Sent && options.recorder)
                    options.recorder->noteFailedSend(handshake.songIndex());
                if (result == midi::SendResult::OpenFailed)
                    return finish(TransferOutcome::NoOutput, "");
                if (result != midi::SendResult::Sent)
                    return stalled(TransferOutcome::SendFailed);
                lastSentBlock = midi::statusInsideSysEx(message->bytes);
                if (options.onSent)
                    options.onSent(message->bytes);
                ++report.messagesSent;
                report.bytesSent += message->bytes.size();
            } else if (auto* range = std::get_if<SetProgressRange>(&action)) {
                progressRange = range->maximum;
                if (options.onProgress)
                    options.onProgress(0, progressRange);
            } else if (auto* position = std::get_if<SetProgressPosition>(&action)) {
                if (options.onProgress)
                    options.onProgress(position->position, progressRange);
            } else if (auto* status = std::get_if<SetStatus>(&action)) {
                if (options.onStatus)
                    options.onStatus(status->text);
            } else if (std::holds_alternative<CloseInput>(action)) {
                input->close();
            } else if (std::holds_alternative<Finished>(action)) {
                // Later actions (the closing control message) are still carried out.
            } else if (auto* stopped = std::get_if<Stopped>(&action)) {
                return finish(TransferOutcome::FileUnreadable, stopped->fileName + ": " + stopped->detail);
            }
        }
        if (handshake.isFinished())
            return finish(TransferOutcome::Finished, "");
        output.armNextOf(*input, handshake);
        const auto deadline = std::chrono::steady_clock::now() + options.replyTimeout;
        actions.clear();
        while (actions.empty()) {
            // Woken now and then to notice a server that stopped: no reply can come then.
            if (stop.requested())
                return interrupted();
            const auto packed = replies.waitUntil(std::min(deadline, std::chrono::steady_clock::now() + kServerCheck));
            if (!packed) {
                if (stop.requested())
                    return interrupted();
                watch.look(system, outputPort);
                if (std::chrono::steady_clock::now() >= deadline || watch.serverStopped(system))
                    return stalled(TransferOutcome::NoReply);
                continue;
            }
            watch.restart(system);
            if (options.onReply)
                options.onReply(*packed);
            actions = handshake.onShortMessage(static_cast<std::uint8_t>(*packed & 0xFF),
                                               static_cast<std::uint8_t>((*packed >> 8) & 0xFF));
        }
    }
}

} // namespace quillon::transfer
