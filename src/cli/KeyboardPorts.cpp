#include "cli/KeyboardPorts.h"

#include "midi/io/JackClient.h"
#include "midi/io/RtMidiBackends.h"

#include <iostream>

namespace quillon::keyboard_program {

namespace {

// JACK through our own client, one client with both ports as a real
// keyboard shows one device: whole SysEx blocks are copied off the real-time
// thread at once, so the reader is never the one that runs late.
class JackKeyboardPorts : public KeyboardPorts {
public:
    JackKeyboardPorts(std::shared_ptr<quillon::midi::JackClient> client,
                      std::unique_ptr<quillon::midi::JackPortReader> in,
                      std::unique_ptr<quillon::midi::JackPortWriter> out)
        : m_client(std::move(client)), m_in(std::move(in)), m_out(std::move(out))
    {
    }
    void reply(std::span<const std::uint8_t> message) override
    {
        m_out->send(message); // nobody listening: the reply goes nowhere, as on a cable
    }
    void close() override { m_in->close(); }
    std::uint64_t droppedMessages() const override { return m_in->droppedMessages(); }
    // The names the server gave: it may have made the client's name unique.
    std::string inputName() const override { return jack_port_name(m_in->port()); }
    std::string outputName() const override { return jack_port_name(m_out->port()); }

private:
    std::shared_ptr<quillon::midi::JackClient> m_client;
    std::unique_ptr<quillon::midi::JackPortReader> m_in;
    std::unique_ptr<quillon::midi::JackPortWriter> m_out;
};

class AlsaKeyboardPorts : public KeyboardPorts {
public:
    AlsaKeyboardPorts(const std::string& name, Inbox& inbox)
        : m_name(name), m_in(RtMidi::LINUX_ALSA, name, 1000), m_out(RtMidi::LINUX_ALSA, name + "-out")
    {
        // During set-up any complaint means the ports are not usable.
        m_in.setErrorCallback(&quillon::midi::keepRtMidiError, &m_error);
        m_out.setErrorCallback(&quillon::midi::keepRtMidiError, &m_error);
        m_in.ignoreTypes(false, true, true);
        m_in.setBufferSize(64 * 1024, 4);
        m_in.setCallback(&AlsaKeyboardPorts::onMessage, &inbox);
        m_in.openVirtualPort("in");
        m_out.openVirtualPort("out");
    }
    const std::string& error() const { return m_error; }
    std::string inputName() const override { return m_name + ":in"; }
    std::string outputName() const override { return m_name + "-out:out"; }
    void reply(std::span<const std::uint8_t> message) override { m_out.sendMessage(message.data(), message.size()); }
    void close() override
    {
        m_in.closePort();
        m_out.closePort();
    }

private:
    static void onMessage(double, std::vector<unsigned char>* message, void* inbox)
    {
        static_cast<Inbox*>(inbox)->push(*message);
    }

    std::string m_name;
    std::string m_error;
    RtMidiIn m_in;
    RtMidiOut m_out;
};

} // namespace

std::unique_ptr<KeyboardPorts> openJackPorts(const std::string& name, Inbox& inbox)
{
    quillon::midi::JackClient::Events events;
    events.onServerGone = [&inbox] { inbox.requestStop("the JACK server stopped"); };
    auto client = quillon::midi::JackClient::open(name, std::move(events));
    if (!client) {
        std::cerr << "quillon-keyboard: cannot open jack ports: no JACK server reachable\n";
        return nullptr;
    }
    auto in = client->openInputPort("in", [&inbox](std::span<const std::uint8_t> message) { inbox.push(message); });
    auto out = client->openOutputPort("out");
    if (!in || !out) {
        std::cerr << "quillon-keyboard: cannot open jack ports: the server refused to register them\n";
        return nullptr;
    }
    return std::make_unique<JackKeyboardPorts>(std::move(client), std::move(in), std::move(out));
}

std::unique_ptr<KeyboardPorts> openAlsaPorts(const std::string& name, Inbox& inbox)
{
    try {
        auto ports = std::make_unique<AlsaKeyboardPorts>(name, inbox);
        if (ports->error().empty())
            return ports;
        std::cerr << "quillon-keyboard: cannot open alsa ports: " << ports->error() << '\n';
    } catch (const RtMidiError& error) {
        std::cerr << "quillon-keyboard: cannot open alsa ports: " << error.getMessage() << '\n';
    }
    return nullptr;
}

} // namespace quillon::keyboard_program
