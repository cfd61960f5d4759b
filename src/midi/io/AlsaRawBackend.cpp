#include "midi/io/AlsaRawBackend.h"

#include "midi/io/AlsaOutput.h"

#include <alsa/asoundlib.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <thread>

namespace quillon::midi {

namespace {

// Every subdevice of every card's raw MIDI devices that can go `stream`'s way.
// A port's name is "card name:subdevice name hw:C,D,S", whose card tells the
// device as a sequencer port's client does; its label shows it as `amidi -l`
// does ("hw:C,D,S subdevice name"), the card's name after it when the
// subdevice's does not hold it.
std::vector<PortInfo> listRawMidi(snd_rawmidi_stream_t stream)
{
    std::vector<PortInfo> ports;
    int card = -1;
    while (snd_card_next(&card) >= 0 && card >= 0) {
        snd_ctl_t* ctl = nullptr;
        if (snd_ctl_open(&ctl, ("hw:" + std::to_string(card)).c_str(), 0) < 0)
            continue;
        snd_ctl_card_info_t* cardInfo = nullptr;
        snd_ctl_card_info_alloca(&cardInfo);
        const std::string cardName = snd_ctl_card_info(ctl, cardInfo) >= 0 ? snd_ctl_card_info_get_name(cardInfo) : "";
        snd_rawmidi_info_t* info = nullptr;
        snd_rawmidi_info_alloca(&info);
        int device = -1;
        while (snd_ctl_rawmidi_next_device(ctl, &device) >= 0 && device >= 0) {
            snd_rawmidi_info_set_device(info, static_cast<unsigned>(device));
            snd_rawmidi_info_set_stream(info, stream);
            snd_rawmidi_info_set_subdevice(info, 0);
            if (snd_ctl_rawmidi_info(ctl, info) < 0)
                continue; // no subdevice goes this way
            const unsigned count = snd_rawmidi_info_get_subdevices_count(info);
            for (unsigned sub = 0; sub < count; ++sub) {
                snd_rawmidi_info_set_subdevice(info, sub);
                if (snd_ctl_rawmidi_info(ctl, info) < 0)
                    continue;
                std::string name = snd_rawmidi_info_get_subdevice_name(info);
                if (name.empty())
                    name = snd_rawmidi_info_get_name(info);
                const std::string address =
                    "hw:" + std::to_string(card) + "," + std::to_string(device) + "," + std::to_string(sub);
                const int index = static_cast<int>(ports.size());
                std::string label = std::string(AlsaRawBackend::kBackendName) + ": " + address + " " + name;
                if (!cardName.empty() && name.find(cardName) == std::string::npos)
                    label += " (" + cardName + ")";
                ports.push_back(
                    {{AlsaRawBackend::kBackendName, cardName + ":" + name + " " + address, index}, std::move(label)});
            }
        }
        snd_ctl_close(ctl);
    }
    return ports;
}

// The "hw:C,D,S" at the end of a listed name.
std::string deviceOf(const PortRef& port) { return port.name.substr(port.name.rfind(' ') + 1); }

bool listed(const std::vector<PortInfo>& ports, const PortRef& port)
{
    for (const auto& info : ports) {
        if (info.ref.name == port.name)
            return true;
    }
    return false;
}

// Reads on a thread of its own until closed; a stop eventfd wakes the poll.
class RawMidiInput : public InputConnection {
public:
    RawMidiInput(snd_rawmidi_t* in, int stop, ShortMessageCallback onMessage)
        : m_in(in), m_stop(stop), m_onMessage(std::move(onMessage)), m_thread([this] { run(); })
    {
    }
    ~RawMidiInput() override { close(); }

    void close() override
    {
        if (!m_in)
            return;
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = write(m_stop, &one, sizeof one);
        m_thread.join();
        ::close(m_stop);
        snd_rawmidi_close(m_in);
        m_in = nullptr;
    }

private:
    void run()
    {
        std::vector<pollfd> fds(static_cast<std::size_t>(snd_rawmidi_poll_descriptors_count(m_in)) + 1);
        fds[0] = {m_stop, POLLIN, 0};
        snd_rawmidi_poll_descriptors(m_in, fds.data() + 1, static_cast<unsigned>(fds.size() - 1));
        std::uint8_t buffer[256];
        while (poll(fds.data(), fds.size(), -1) >= 0 && (fds[0].revents & POLLIN) == 0) {
            unsigned short revents = 0;
            snd_rawmidi_poll_descriptors_revents(m_in, fds.data() + 1, static_cast<unsigned>(fds.size() - 1), &revents);
            if (revents & (POLLERR | POLLHUP))
                return; // unplugged: the port list will say so
            ssize_t count = 0;
            while ((count = snd_rawmidi_read(m_in, buffer, sizeof buffer)) > 0)
                m_parser.feed(std::span(buffer, static_cast<std::size_t>(count)), m_onMessage);
        }
    }

    snd_rawmidi_t* m_in;
    int m_stop;
    ShortMessageCallback m_onMessage;
    ShortMessageParser m_parser;
    std::thread m_thread;
};

} // namespace

bool isAlsaPort(const PortRef& port) { return port.backend == "ALSA" || port.backend == AlsaRawBackend::kBackendName; }

std::unique_ptr<AlsaRawBackend> AlsaRawBackend::start()
{
    if (access("/dev/snd", R_OK) != 0)
        return nullptr;
    return std::make_unique<AlsaRawBackend>();
}

std::vector<PortInfo> AlsaRawBackend::outputs() { return listRawMidi(SND_RAWMIDI_STREAM_OUTPUT); }
std::vector<PortInfo> AlsaRawBackend::inputs() { return listRawMidi(SND_RAWMIDI_STREAM_INPUT); }

std::unique_ptr<OutputConnection> AlsaRawBackend::openOutput(const PortRef& port)
{
    if (port.backend != kBackendName || !listed(outputs(), port))
        return nullptr;
    return rawMidiOutput(openRawMidiSink(deviceOf(port)));
}

std::unique_ptr<InputConnection> AlsaRawBackend::openInput(const PortRef& port, ShortMessageCallback onMessage)
{
    if (port.backend != kBackendName || !onMessage || !listed(inputs(), port))
        return nullptr;
    snd_rawmidi_t* in = nullptr;
    if (snd_rawmidi_open(&in, nullptr, deviceOf(port).c_str(), SND_RAWMIDI_NONBLOCK) < 0)
        return nullptr; // held by another program, or gone
    const int stop = eventfd(0, EFD_CLOEXEC);
    if (stop < 0) {
        snd_rawmidi_close(in);
        return nullptr;
    }
    return std::make_unique<RawMidiInput>(in, stop, std::move(onMessage));
}

} // namespace quillon::midi
