#include "midi/io/RtMidiBackends.h"

#include "midi/io/AlsaOutput.h"
#include "midi/io/PortWatchers.h"

#include <rtmidi/RtMidi.h>
#include <unistd.h>

namespace quillon::midi {

void keepRtMidiError(RtMidiError::Type, const std::string& text, void* lastError)
{
    *static_cast<std::string*>(lastError) = text;
}

namespace {

template <typename Port>
std::vector<PortInfo> listPorts(Port& lister, std::string& lastError, const std::string& backend)
{
    std::vector<PortInfo> ports;
    const unsigned count = lister.getPortCount();
    for (unsigned i = 0; i < count; ++i) {
        lastError.clear();
        std::string name = lister.getPortName(i);
        if (name.empty() || !lastError.empty())
            continue; // a port that cannot be queried is left out
        ports.push_back({{backend, name, static_cast<int>(i)}, backend + ": " + name});
    }
    return ports;
}

// Where a port stands now: its old index when the name still matches there, else the first port of that name.
template <typename Port>
std::optional<unsigned> currentIndex(Port& port, const PortRef& ref)
{
    const unsigned count = port.getPortCount();
    if (ref.index >= 0 && static_cast<unsigned>(ref.index) < count && port.getPortName(ref.index) == ref.name)
        return static_cast<unsigned>(ref.index);
    for (unsigned i = 0; i < count; ++i) {
        if (port.getPortName(i) == ref.name)
            return i;
    }
    return std::nullopt;
}

// Input through RtMidi: short messages go to the callback on RtMidi's thread.
// Destroying the RtMidiIn stops that thread, so
// after close() the callback is never called again.
class RtMidiInputConnection : public InputConnection {
public:
    RtMidiInputConnection(std::unique_ptr<RtMidiIn> in, std::unique_ptr<std::string> lastError,
                          ShortMessageCallback callback)
        : m_in(std::move(in)), m_lastError(std::move(lastError)), m_callback(std::move(callback))
    {
    }
    ~RtMidiInputConnection() override { close(); }

    void start() { m_in->setCallback(&RtMidiInputConnection::onMessage, this); }

    void close() override
    {
        if (!m_in)
            return;
        m_in->cancelCallback();
        m_in->closePort();
        m_in.reset();
    }

private:
    static void onMessage(double, std::vector<unsigned char>* message, void* self)
    {
        if (isShortMessage(*message))
            static_cast<RtMidiInputConnection*>(self)->m_callback(packShortMessage(*message));
    }

    std::unique_ptr<RtMidiIn> m_in;
    std::unique_ptr<std::string> m_lastError;
    ShortMessageCallback m_callback;
};

class RtMidiBackend : public Backend {
public:
    static std::unique_ptr<RtMidiBackend> start(RtMidi::Api api, const std::string& clientName)
    {
        // JACK has a backend of its own (JackBackend).
        if (api == RtMidi::LINUX_ALSA) {
            if (access("/dev/snd/seq", R_OK | W_OK) != 0)
                return nullptr; // no sequencer: ALSA would only complain
        } else {
            return nullptr;
        }
        auto backend = std::unique_ptr<RtMidiBackend>(new RtMidiBackend(api, clientName));
        try {
            backend->m_outLister = std::make_unique<RtMidiOut>(api, clientName);
            backend->m_outLister->setErrorCallback(&keepRtMidiError, &backend->m_listError);
            backend->m_inLister = std::make_unique<RtMidiIn>(api, clientName);
            backend->m_inLister->setErrorCallback(&keepRtMidiError, &backend->m_listError);
        } catch (const RtMidiError&) {
            return nullptr;
        }
        return backend;
    }

    std::string name() const override { return m_name; }

    std::vector<PortInfo> outputs() override { return listPorts(*m_outLister, m_listError, m_name); }
    std::vector<PortInfo> inputs() override { return listPorts(*m_inLister, m_listError, m_name); }

    std::unique_ptr<PortWatch> watchPorts(std::function<void()> changed) override
    {
        return watchAlsaAnnouncements(std::move(changed));
    }

    std::unique_ptr<OutputConnection> openOutput(const PortRef& port) override
    {
        if (port.backend != m_name)
            return nullptr;
        m_listError.clear();
        const auto index = currentIndex(*m_outLister, port);
        if (!index)
            return nullptr; // the port went away
        // RtMidi sends through alsa-lib's MIDI event encoder, which breaks up a data block: our own events instead.
        const auto address = sequencerAddress(m_outLister->getPortName(*index));
        return address ? sequencerOutput(openSequencerSink(m_clientName, *address)) : nullptr;
    }

    std::unique_ptr<InputConnection> openInput(const PortRef& port, ShortMessageCallback onMessage) override
    {
        if (port.backend != m_name || !onMessage)
            return nullptr;
        try {
            auto lastError = std::make_unique<std::string>();
            auto in = std::make_unique<RtMidiIn>(m_api, m_clientName);
            in->setErrorCallback(&keepRtMidiError, lastError.get());
            const auto index = currentIndex(*in, port);
            if (!index)
                return nullptr;
            in->ignoreTypes(true, false, false);
            in->openPort(*index, "in");
            if (!in->isPortOpen() || !lastError->empty())
                return nullptr; // held by another program, or gone meanwhile
            auto connection =
                std::make_unique<RtMidiInputConnection>(std::move(in), std::move(lastError), std::move(onMessage));
            connection->start();
            return connection;
        } catch (const RtMidiError&) {
            return nullptr;
        }
    }

private:
    RtMidiBackend(RtMidi::Api api, std::string clientName)
        : m_api(api), m_clientName(std::move(clientName)), m_name("ALSA")
    {
    }

    RtMidi::Api m_api;
    std::string m_clientName;
    std::string m_name;
    std::string m_listError;
    std::unique_ptr<RtMidiOut> m_outLister;
    std::unique_ptr<RtMidiIn> m_inLister;
};

} // namespace

std::vector<std::unique_ptr<Backend>> startRtMidiBackends(const std::string& clientName)
{
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    std::vector<std::unique_ptr<Backend>> backends;
    for (RtMidi::Api api : apis) {
        if (auto backend = RtMidiBackend::start(api, clientName))
            backends.push_back(std::move(backend));
    }
    return backends;
}

} // namespace quillon::midi
