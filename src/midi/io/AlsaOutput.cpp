#include "midi/io/AlsaOutput.h"

#include "midi/io/SendTimeout.h"
#include "midi/io/SendWorker.h"

#include <charconv>
#include <unistd.h>
#include <vector>

namespace quillon::midi {

namespace {

// Sends on a worker, so that a driver call that blocks (a full buffer, a
// device that no longer drains) costs the caller at most sendTimeout().
class AlsaOutputConnection : public OutputConnection {
public:
    ~AlsaOutputConnection() override { m_worker.reset(); } // a send still running ends first

    SendResult send(std::span<const std::uint8_t> message) override
    {
        if (message.empty())
            return SendResult::SendFailed;
        // The job keeps its own copy: after a timeout it may still run when this call has returned.
        struct Job {
            std::vector<std::uint8_t> bytes;
            SendResult result = SendResult::SendFailed;
        };
        auto job = std::make_shared<Job>(Job{{message.begin(), message.end()}});
        const bool finished =
            m_worker->run([this, job] { job->result = deliver(job->bytes); }, sendTimeout(message.size()));
        return finished ? job->result : SendResult::SendFailed;
    }

protected:
    virtual SendResult deliver(std::span<const std::uint8_t> message) = 0;

private:
    std::unique_ptr<SendWorker> m_worker = std::make_unique<SendWorker>();
};

class SequencerOutput : public AlsaOutputConnection {
public:
    explicit SequencerOutput(std::unique_ptr<SequencerSink> sink) : m_sink(std::move(sink))
    {
        if (snd_midi_event_new(16, &m_encoder) < 0)
            m_encoder = nullptr;
    }
    ~SequencerOutput() override
    {
        if (m_encoder)
            snd_midi_event_free(m_encoder);
    }

private:
    SendResult deliver(std::span<const std::uint8_t> message) override
    {
        snd_seq_event_t event;
        snd_seq_ev_clear(&event);
        if (message.front() == 0xF0) {
            // Exactly our bytes: the kernel writes a SysEx event's data to the device unparsed.
            snd_seq_ev_set_sysex(&event, static_cast<unsigned>(message.size()),
                                 const_cast<std::uint8_t*>(message.data()));
        } else {
            // A note or controller of the player: one complete short message, which the encoder reads right.
            if (!m_encoder)
                return SendResult::SendFailed;
            snd_midi_event_reset_encode(m_encoder);
            snd_midi_event_encode(m_encoder, message.data(), static_cast<long>(message.size()), &event);
            if (event.type == SND_SEQ_EVENT_NONE)
                return SendResult::SendFailed;
        }
        return m_sink->output(event) >= 0 ? SendResult::Sent : SendResult::SendFailed;
    }

    std::unique_ptr<SequencerSink> m_sink;
    snd_midi_event_t* m_encoder = nullptr;
};

class RawMidiOutput : public AlsaOutputConnection {
public:
    explicit RawMidiOutput(std::unique_ptr<RawMidiSink> sink) : m_sink(std::move(sink)) {}

private:
    SendResult deliver(std::span<const std::uint8_t> message) override
    {
        while (!message.empty()) {
            const long written = m_sink->write(message);
            if (written <= 0)
                return SendResult::SendFailed;
            message = message.subspan(static_cast<std::size_t>(written));
        }
        return m_sink->drain() >= 0 ? SendResult::Sent : SendResult::SendFailed;
    }

    std::unique_ptr<RawMidiSink> m_sink;
};

// Only a sound card runs what follows: open, write, drain, close.

class AlsaSequencerSink : public SequencerSink {
public:
    AlsaSequencerSink(snd_seq_t* seq, int port, snd_seq_addr_t destination)
        : m_seq(seq), m_port(port), m_destination(destination)
    {
    }
    ~AlsaSequencerSink() override { snd_seq_close(m_seq); }

    int output(snd_seq_event_t& event) override
    {
        snd_seq_ev_set_source(&event, m_port);
        snd_seq_ev_set_dest(&event, m_destination.client, m_destination.port);
        snd_seq_ev_set_direct(&event);
        return snd_seq_event_output_direct(m_seq, &event);
    }

private:
    snd_seq_t* m_seq;
    int m_port;
    snd_seq_addr_t m_destination;
};

class AlsaRawMidiSink : public RawMidiSink {
public:
    explicit AlsaRawMidiSink(snd_rawmidi_t* out) : m_out(out) {}
    ~AlsaRawMidiSink() override { snd_rawmidi_close(m_out); }

    long write(std::span<const std::uint8_t> bytes) override
    {
        return static_cast<long>(snd_rawmidi_write(m_out, bytes.data(), bytes.size()));
    }
    int drain() override { return snd_rawmidi_drain(m_out); }

private:
    snd_rawmidi_t* m_out;
};

// Bytes a status byte's message has on a cable, the status included; 0 = not a message start.
unsigned messageLength(std::uint8_t status)
{
    switch (status & 0xF0) {
    case 0xC0:
    case 0xD0: return 2;
    case 0xF0: return status == 0xF1 || status == 0xF3 ? 2 : status == 0xF2 ? 3 : status == 0xF0 ? 0 : 1;
    default: return 3;
    }
}

} // namespace

std::unique_ptr<OutputConnection> sequencerOutput(std::unique_ptr<SequencerSink> sink)
{
    return sink ? std::make_unique<SequencerOutput>(std::move(sink)) : nullptr;
}

std::unique_ptr<OutputConnection> rawMidiOutput(std::unique_ptr<RawMidiSink> sink)
{
    return sink ? std::make_unique<RawMidiOutput>(std::move(sink)) : nullptr;
}

std::optional<snd_seq_addr_t> sequencerAddress(const std::string& portName)
{
    const auto blank = portName.rfind(' ');
    const auto colon = portName.rfind(':');
    if (blank == std::string::npos || colon == std::string::npos || colon < blank)
        return std::nullopt;
    int client = -1;
    int port = -1;
    const char* end = portName.data() + portName.size();
    const auto [clientEnd, clientError] = std::from_chars(portName.data() + blank + 1, portName.data() + colon, client);
    const auto [portEnd, portError] = std::from_chars(portName.data() + colon + 1, end, port);
    if (clientError != std::errc() || portError != std::errc() || clientEnd != portName.data() + colon ||
        portEnd != end || client < 0 || client > 255 || port < 0 || port > 255)
        return std::nullopt;
    return snd_seq_addr_t{static_cast<unsigned char>(client), static_cast<unsigned char>(port)};
}

std::unique_ptr<SequencerSink> openSequencerSink(const std::string& clientName, snd_seq_addr_t destination)
{
    if (access("/dev/snd/seq", R_OK | W_OK) != 0)
        return nullptr;
    snd_seq_t* seq = nullptr;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, 0) < 0)
        return nullptr;
    snd_seq_set_client_name(seq, clientName.c_str());
    const int port = snd_seq_create_simple_port(seq, "out", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                                SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (port < 0) {
        snd_seq_close(seq);
        return nullptr;
    }
    return std::make_unique<AlsaSequencerSink>(seq, port, destination);
}

std::unique_ptr<RawMidiSink> openRawMidiSink(const std::string& device)
{
    snd_rawmidi_t* out = nullptr;
    // Non-blocking open: a device held by another program fails at once instead of waiting for it.
    if (snd_rawmidi_open(nullptr, &out, device.c_str(), SND_RAWMIDI_NONBLOCK) < 0)
        return nullptr;
    snd_rawmidi_nonblock(out, 0); // writes wait for room; the connection bounds that wait
    return std::make_unique<AlsaRawMidiSink>(out);
}

void ShortMessageParser::feed(std::span<const std::uint8_t> bytes, const ShortMessageCallback& onMessage)
{
    for (const std::uint8_t byte : bytes) {
        if (byte >= 0xF8) { // real time: may stand anywhere, even inside another message
            onMessage(byte);
            continue;
        }
        if (byte & 0x80) {
            m_count = 0;
            m_status = byte == 0xF7 ? 0 : byte; // F7 ends a SysEx, and is no message of its own
            if (byte == 0xF7)
                continue;
            if (messageLength(byte) == 1) {
                onMessage(byte);
                m_status = 0;
            }
            continue;
        }
        if (m_status == 0 || m_status == 0xF0)
            continue; // inside SysEx, or data without a status
        m_data[m_count++] = byte;
        if (m_count + 1 < messageLength(m_status))
            continue;
        onMessage(std::uint32_t(m_status) | std::uint32_t(m_data[0]) << 8 |
                  (m_count > 1 ? std::uint32_t(m_data[1]) << 16 : 0));
        m_count = 0;
        if (m_status >= 0xF0)
            m_status = 0; // system common messages end running status
    }
}

} // namespace quillon::midi
