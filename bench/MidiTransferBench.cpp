// How fast a song reaches the keyboard, against the fastest the port allows.
//
// For each route (the built-in keyboard; JACK to a quillon-keyboard process)
// a 100 KiB song is sent through the full handshake with the output kept open
// for the transfer and, for comparison, opened and closed per message. The
// baseline is a raw RtMidi ping-pong measured in the same run: one 1038-byte
// block out, wait for the keyboard's Note On, repeat. Printed: KiB/s of file
// data, host time per block, CPU used by this process per wall second, and
// the ratio of our per-block time to the raw one. The keyboard process logs
// to /tmp/quillon-bench-keyboard.log (one line per message it received).
#include "midi/core/DeviceFrame.h"
#include "midi/io/MidiSystem.h"
#include "midi/io/TransferRunner.h"
#include "midi/io/VirtualKeyboard.h"
#include "transfer/core/TransferHandshake.h"

#include <rtmidi/RtMidi.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace quillon;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::size_t kSongBytes = 100 * 1024;

double cpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

struct Measure {
    double seconds = 0;
    double cpu = 0;
    unsigned blocks = 0;
    bool ok = false;
    double perBlockMs() const { return blocks ? seconds * 1000.0 / blocks : 0; }
};

frame::Bytes makeSong()
{
    frame::Bytes song = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96};
    std::mt19937 rng(42);
    while (song.size() < kSongBytes)
        song.push_back(static_cast<std::uint8_t>(rng()));
    return song;
}

Measure sendSong(midi::MidiSystem& system, const midi::PortChoice& out, const midi::PortChoice& in,
                 const std::string& path, bool keepOpen)
{
    transfer::TransferHandshake handshake({transfer::TransferKind::Songs, {{path, "", 1}}},
                                          [](const std::string& file) -> Result<frame::Bytes> {
                                              std::ifstream stream(file, std::ios::binary);
                                              return frame::Bytes(std::istreambuf_iterator<char>(stream), {});
                                          });
    const double cpu0 = cpuSeconds();
    const auto report = midi::runTransfer(system, handshake,
                                          {.output = out,
                                           .input = in,
                                           .replyTimeout = 5000ms,
                                           .keepOutputOpen = keepOpen,
                                           .onProgress = {},
                                           .onStatus = {}});
    Measure m;
    m.cpu = cpuSeconds() - cpu0;
    m.seconds = std::chrono::duration<double>(report.elapsed).count();
    m.blocks = frame::blockCount(frame::packedLength(kSongBytes));
    m.ok = report.outcome == midi::TransferOutcome::Finished;
    if (!m.ok)
        std::printf("  transfer failed: %s\n", std::string(midi::outcomeName(report.outcome)).c_str());
    return m;
}

void print(const char* what, const Measure& m, const Measure* baseline)
{
    if (!m.ok) {
        std::printf("%-44s failed\n", what);
        return;
    }
    std::printf("%-44s %8.1f KiB/s  %7.3f ms/block  CPU %5.1f%%", what, kSongBytes / 1024.0 / m.seconds, m.perBlockMs(),
                100.0 * m.cpu / m.seconds);
    if (baseline && baseline->ok)
        std::printf("  ratio to raw %.2f", baseline->perBlockMs() / m.perBlockMs());
    std::printf("\n");
}

// The raw baseline: RtMidi straight to the keyboard's ports, one block, wait for its Note On.
Measure rawPingPong(const std::string& keyboardIn, const std::string& keyboardOut, unsigned blocks)
{
    std::mutex mutex;
    std::condition_variable replied;
    unsigned replies = 0;
    RtMidiIn in(RtMidi::UNIX_JACK, "quillon-bench-raw-in");
    RtMidiOut out(RtMidi::UNIX_JACK, "quillon-bench-raw-out");
    struct Context {
        std::mutex* mutex;
        std::condition_variable* replied;
        unsigned* replies;
    } context{&mutex, &replied, &replies};
    in.setCallback(
        [](double, std::vector<unsigned char>* message, void* user) {
            auto* c = static_cast<Context*>(user);
            if (message->size() == 3 && (*message)[0] == 0x90) {
                std::lock_guard lock(*c->mutex);
                ++*c->replies;
                c->replied->notify_one();
            }
        },
        &context);
    const auto find = [](auto& port, const std::string& name) -> int {
        for (unsigned i = 0; i < port.getPortCount(); ++i)
            if (port.getPortName(i) == name)
                return static_cast<int>(i);
        return -1;
    };
    const int inIndex = find(in, keyboardOut);
    const int outIndex = find(out, keyboardIn);
    if (inIndex < 0 || outIndex < 0) {
        std::printf("  raw: keyboard ports not found\n");
        return {};
    }
    in.openPort(static_cast<unsigned>(inIndex));
    out.openPort(static_cast<unsigned>(outIndex));
    // RtMidi cannot tell when its new JACK connections are live; give them a few cycles.
    std::this_thread::sleep_for(200ms);

    const auto exchange = [&](const frame::Bytes& message) {
        std::unique_lock lock(mutex);
        const unsigned before = replies;
        lock.unlock();
        out.sendMessage(message.data(), message.size());
        lock.lock();
        return replied.wait_for(lock, 2s, [&] { return replies > before; });
    };
    // Open a ROM update with room for every block, so that each block earns a reply.
    Measure m;
    if (!exchange(frame::buildTransferControl()) || !exchange(frame::buildRomHeader(blocks + 1))) {
        std::printf("  raw: the keyboard did not answer the opening messages\n");
        return m;
    }
    const frame::Bytes payload(frame::kBlockSize, 0x55);
    const double cpu0 = cpuSeconds();
    const auto start = Clock::now();
    for (unsigned i = 0; i < blocks; ++i) {
        if (!exchange(frame::buildDataBlock(frame::kRomTarget, i, payload))) {
            std::printf("  raw: no reply to block %u\n", i);
            return m;
        }
    }
    m.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    m.cpu = cpuSeconds() - cpu0;
    m.blocks = blocks;
    m.ok = true;
    // The last announced block ends the update (it earns no reply), leaving the keyboard idle.
    out.sendMessage(frame::buildDataBlock(frame::kRomTarget, blocks, payload).data(), frame::kBlockSize + 14);
    std::this_thread::sleep_for(100ms);
    in.closePort();
    out.closePort();
    return m;
}

// quillon-keyboard as a separate process, so that its CPU is not counted as ours.
class KeyboardProcess {
public:
    KeyboardProcess(const std::string& binary, const std::string& name)
    {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/tmp/quillon-bench-keyboard.log", O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        std::vector<std::string> args = {binary, "--api", "jack", "--name", name};
        std::vector<char*> argv;
        for (auto& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, binary.c_str(), &actions, nullptr, argv.data(), environ) != 0)
            m_pid = 0;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~KeyboardProcess()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    bool started() const { return m_pid > 0; }

private:
    pid_t m_pid = 0;
};

std::optional<midi::PortRef> waitForPort(midi::MidiSystem& system, const std::string& name, midi::Direction direction)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        for (const auto& port : direction == midi::Direction::Output ? system.outputs() : system.inputs())
            if (port.ref.backend == "JACK" && port.ref.name == name)
                return port.ref;
        std::this_thread::sleep_for(50ms);
    }
    return std::nullopt;
}

} // namespace

int main()
{
    const auto folder = std::filesystem::temp_directory_path() / ("quillon-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string songPath = (folder / "song.mid").string();
    {
        const auto song = makeSong();
        std::ofstream(songPath, std::ios::binary)
            .write(reinterpret_cast<const char*>(song.data()), static_cast<std::streamsize>(song.size()));
    }
    const unsigned blocks = frame::blockCount(frame::packedLength(kSongBytes));
    std::printf("100 KiB song = %u blocks of up to 1024 packed bytes\n\n", blocks);

    auto system = midi::MidiSystem::createDefault();
    const auto builtIn =
        midi::PortChoice::of({midi::VirtualKeyboard::kBackendName, midi::VirtualKeyboard::kPortName, 0});
    sendSong(*system, builtIn, builtIn, songPath, true); // warm-up
    print("built-in keyboard, output kept open", sendSong(*system, builtIn, builtIn, songPath, true), nullptr);
    print("built-in keyboard, open per message", sendSong(*system, builtIn, builtIn, songPath, false), nullptr);

    const auto names = system->backendNames();
    if (std::find(names.begin(), names.end(), "JACK") == names.end()) {
        std::printf("\nJACK: no server reachable, JACK routes not measured\n");
        std::filesystem::remove_all(folder);
        return 0;
    }
    const std::string name = "quillon-bench-kbd-" + std::to_string(::getpid());
    KeyboardProcess keyboard(QUILLON_KEYBOARD_BINARY, name);
    const auto kIn = waitForPort(*system, name + ":in", midi::Direction::Output);
    const auto kOut = waitForPort(*system, name + "-out:out", midi::Direction::Input);
    if (!keyboard.started() || !kIn || !kOut) {
        std::printf("\nJACK: quillon-keyboard did not come up\n");
        return 1;
    }
    const auto out = midi::PortChoice::of(*kIn);
    const auto in = midi::PortChoice::of(*kOut);

    const double idleCpu0 = cpuSeconds();
    std::this_thread::sleep_for(1s);
    std::printf("JACK idle (clients open, nothing sent): CPU %.1f%%\n", 100.0 * (cpuSeconds() - idleCpu0));
    const Measure raw = rawPingPong(kIn->name, kOut->name, blocks);
    print("JACK raw RtMidi ping-pong (1038-byte block)", raw, nullptr);
    sendSong(*system, out, in, songPath, true); // warm-up
    Measure kept;
    for (int run = 0; run < 3; ++run) {
        const Measure m = sendSong(*system, out, in, songPath, true);
        if (!kept.ok || (m.ok && m.seconds < kept.seconds))
            kept = m;
    }
    print("JACK transfer, output kept open (best of 3)", kept, &raw);
    print("JACK transfer, open per message", sendSong(*system, out, in, songPath, false), &raw);
    std::filesystem::remove_all(folder);
    return 0;
}
