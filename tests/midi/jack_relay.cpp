// A JACK client that forwards what reaches NAME:in to NAME:out as some
// servers deliver it, so that tests on any server see what those do:
//   --pieces     a SysEx goes on as F0 plus 6 bytes, then 6-byte pieces, the
//                last ending in F7, with a timing clock byte (F8) after the first
//   --seven-bit  bytes above 0x7F inside a SysEx lose their top bit (89 -> 09)
//   --to PORT    connects NAME:out to PORT
//   --library    prints libjack's version ("... PipeWire ..." for PipeWire's) and ends
// Runs until SIGINT or SIGTERM; prints "relaying" once its ports are there.
#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct Relay {
    jack_port_t* in = nullptr;
    jack_port_t* out = nullptr;
    bool pieces = false;
    bool sevenBit = false;
    std::vector<unsigned char> message = std::vector<unsigned char>(64 * 1024); // no allocation per cycle
};

constexpr std::size_t kPiece = 6;

int process(jack_nframes_t frames, void* arg)
{
    auto& relay = *static_cast<Relay*>(arg);
    void* in = jack_port_get_buffer(relay.in, frames);
    void* out = jack_port_get_buffer(relay.out, frames);
    jack_midi_clear_buffer(out);
    const std::uint32_t count = jack_midi_get_event_count(in);
    for (std::uint32_t i = 0; i < count; ++i) {
        jack_midi_event_t event{};
        if (jack_midi_event_get(&event, in, i) != 0 || event.size > relay.message.size())
            continue;
        unsigned char* bytes = relay.message.data();
        std::memcpy(bytes, event.buffer, event.size);
        const bool sysEx = bytes[0] == 0xF0;
        for (std::size_t b = 1; sysEx && relay.sevenBit && b + 1 < event.size; ++b)
            bytes[b] &= 0x7F;
        if (!sysEx || !relay.pieces || event.size <= kPiece + 1) {
            jack_midi_event_write(out, event.time, bytes, event.size);
            continue;
        }
        jack_midi_event_write(out, event.time, bytes, kPiece + 1);
        const unsigned char clock = 0xF8;
        jack_midi_event_write(out, event.time, &clock, 1);
        for (std::size_t at = kPiece + 1; at < event.size; at += kPiece)
            jack_midi_event_write(out, event.time, bytes + at, std::min(kPiece, event.size - at));
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    Relay relay;
    std::string name = "quillon-relay";
    std::string destination;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--library")
            return std::puts(jack_get_version_string()) < 0;
        relay.pieces |= arg == "--pieces";
        relay.sevenBit |= arg == "--seven-bit";
        if (arg == "--to" && i + 1 < argc)
            destination = argv[++i];
        else if (!arg.starts_with("--"))
            name = arg;
    }
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    jack_client_t* client = jack_client_open(name.c_str(), JackNoStartServer, nullptr);
    if (!client)
        return 1;
    relay.in = jack_port_register(client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    relay.out = jack_port_register(client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    if (!relay.in || !relay.out || jack_set_process_callback(client, process, &relay) != 0 ||
        jack_activate(client) != 0)
        return 1;
    if (!destination.empty() && jack_connect(client, jack_port_name(relay.out), destination.c_str()) != 0)
        return 1;
    usleep(200000); // PipeWire carries a new connection only cycles after reporting it
    std::printf("relaying %s -> %s\n", jack_port_name(relay.in), jack_port_name(relay.out));
    std::fflush(stdout);
    int signal = 0;
    sigwait(&stop, &signal);
    jack_client_close(client);
    return 0;
}
