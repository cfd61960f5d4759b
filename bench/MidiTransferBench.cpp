// How fast a song reaches the keyboard, against the fastest the port allows.
//
// For each route (the built-in keyboard; JACK to a quillon-keyboard process)
// a 100 KiB song is sent through the full handshake with the output kept open
// for the transfer and, for comparison, opened and closed per message. The
// baseline is a raw ping-pong on the same route measured in the same run: one
// 1038-byte block out, wait for the keyboard's Note On, repeat, for as many
// blocks as the song has (straight through the built-in keyboard's own port
// connection; through RtMidi on JACK). Rows per route: KiB/s of file data,
// wall time per block and this process's CPU time per block, each against the
// raw ping-pong. The keyboard process logs to /tmp/quillon-bench-keyboard.log
// (one line per message it received). On a busy machine the dummy JACK server
// misses cycles and JACK then drops messages unseen; a run that stalls so is
// left out of the median (each row says how many runs it has) and the next
// run gets a freshly started keyboard.
#include "BenchReport.h"
#include "ReplyCounter.h"

#include "curve/core/CurveMessage.h"
#include "midi/core/DeviceFrame.h"
#include "midi/io/JackClient.h"
#include "midi/io/MidiSystem.h"
#include "midi/io/VirtualKeyboard.h"
#include "transfer/core/TransferHandshake.h"
#include "transfer/io/TransferRunner.h"

#include <rtmidi/RtMidi.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
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
// The built-in keyboard answers within microseconds, so it gets more runs.
constexpr int kBuiltInRuns = 15;
constexpr int kJackRuns = 5;

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
    double kibPerSecond() const { return kSongBytes / 1024.0 / seconds; }
    double wallMicrosPerBlock() const { return seconds * 1e6 / blocks; }
    double cpuMicrosPerBlock() const { return cpu * 1e6 / blocks; }
};

// The run of median time among those that completed, and how many did.
struct Median {
    Measure measure;
    int completed = 0;
    int runs = 0;
};

Median medianOf(int runs, const std::function<Measure()>& run)
{
    std::vector<Measure> done;
    for (int i = 0; i < runs; ++i) {
        const Measure m = run();
        if (m.ok)
            done.push_back(m);
    }
    if (done.empty())
        return {{}, 0, runs};
    std::sort(done.begin(), done.end(), [](const Measure& a, const Measure& b) { return a.seconds < b.seconds; });
    return {done[done.size() / 2], static_cast<int>(done.size()), runs};
}

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
    const auto report = transfer::runTransfer(system, handshake,
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
    m.ok = report.outcome == transfer::TransferOutcome::Finished;
    if (!m.ok)
        std::printf("  transfer failed: %s (missed JACK cycles so far: %llu)\n",
                    std::string(transfer::outcomeName(report.outcome)).c_str(),
                    static_cast<unsigned long long>(system.missedCycles()));
    return m;
}

// Rows for one way of sending on a route, each against the raw ping-pong of that route.
void report(const std::string& route, const std::string& what, const Median& m, const Median& raw)
{
    const std::string name = route + ": " + what;
    const std::string runs = " (median of " + std::to_string(m.completed) + " of " + std::to_string(m.runs) + " runs)";
    if (!m.completed || !raw.completed) {
        const char* why = m.completed ? "the raw ping-pong failed" : "every run failed";
        bench::reportMissing(name + ", rate", "KiB/s", why);
        return;
    }
    bench::reportRow(name + ", rate" + runs, m.measure.kibPerSecond(), "KiB/s", raw.measure.kibPerSecond());
    bench::reportRow(name + ", wall time per block" + runs, m.measure.wallMicrosPerBlock(), "us",
                     raw.measure.wallMicrosPerBlock());
    bench::reportRow(name + ", host CPU per block" + runs, m.measure.cpuMicrosPerBlock(), "us",
                     raw.measure.cpuMicrosPerBlock());
}

using bench::ReplyCounter;

// The curve editor's way of sending: each curve opens the output, leaves, and
// closes it again. No reply comes for a curve; a send returns once the
// message has left.
Measure curvesOpenPerMessage(midi::MidiSystem& system, const midi::PortChoice& out, unsigned count)
{
    Measure m;
    std::array<std::int32_t, 128> table{};
    for (std::size_t v = 0; v < table.size(); ++v)
        table[v] = static_cast<std::int32_t>(1 + v % 127);
    const auto message = curve::buildCurveMessage(table);
    if (!message)
        return m;
    const double cpu0 = cpuSeconds();
    const auto start = Clock::now();
    for (unsigned i = 0; i < count; ++i) {
        if (system.sendOne(out, *message) != midi::SendResult::Sent) {
            std::printf("  curve %u did not leave\n", i);
            return m;
        }
    }
    m.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    m.cpu = cpuSeconds() - cpu0;
    m.blocks = count;
    m.ok = true;
    return m;
}

// The ping-pong itself: a ROM update with room for every block, so that each
// block earns a reply; the last announced block ends the update (it earns no
// reply), leaving the keyboard idle.
Measure pingPong(ReplyCounter& replies, const std::function<void(const frame::Bytes&)>& send, unsigned blocks)
{
    Measure m;
    const auto exchange = [&](const frame::Bytes& message) { return replies.exchange([&] { send(message); }); };
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
    send(frame::buildDataBlock(frame::kRomTarget, blocks, payload));
    return m;
}

// Straight through the built-in keyboard's own connections: no handshake, no runner.
Measure rawBuiltIn(midi::MidiSystem& system, const midi::PortChoice& port, unsigned blocks)
{
    ReplyCounter replies;
    auto input = system.openInput(port, [&replies](std::uint32_t packed) {
        if ((packed & 0xFF) == frame::kReplyStatus)
            replies.add();
    });
    auto output = system.openOutput(port);
    if (!input || !output) {
        std::printf("  raw: the built-in keyboard's ports did not open\n");
        return {};
    }
    const Measure m = pingPong(
        replies, [&](const frame::Bytes& message) { output->send(message); }, blocks);
    input->close();
    return m;
}

// RtMidi straight to the keyboard's JACK ports.
Measure rawRtMidi(const std::string& keyboardIn, const std::string& keyboardOut, unsigned blocks)
{
    ReplyCounter replies;
    RtMidiIn in(RtMidi::UNIX_JACK, "quillon-bench-raw-in");
    RtMidiOut out(RtMidi::UNIX_JACK, "quillon-bench-raw-out");
    in.setCallback(
        [](double, std::vector<unsigned char>* message, void* user) {
            if (message->size() == 3 && (*message)[0] == frame::kReplyStatus)
                static_cast<ReplyCounter*>(user)->add();
        },
        &replies);
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
    const Measure m = pingPong(
        replies, [&](const frame::Bytes& message) { out.sendMessage(message.data(), message.size()); }, blocks);
    std::this_thread::sleep_for(100ms);
    in.closePort();
    out.closePort();
    return m;
}

// The keyboard stops (SIGSTOP) for kPause a quarter into the transfer and
// goes on. Measured: wall time per block from its first answer after the pause
// to the end, which should be the usual time per block again.
constexpr auto kPause = 2s;

Measure afterPause(midi::MidiSystem& system, const midi::PortChoice& out, const midi::PortChoice& in,
                   const std::string& path, pid_t keyboard)
{
    transfer::TransferHandshake handshake({transfer::TransferKind::Songs, {{path, "", 1}}},
                                          [](const std::string& file) -> Result<frame::Bytes> {
                                              std::ifstream stream(file, std::ios::binary);
                                              return frame::Bytes(std::istreambuf_iterator<char>(stream), {});
                                          });
    std::vector<std::pair<Clock::time_point, unsigned>> progress;
    progress.reserve(256);
    std::atomic<Clock::time_point::rep> resumed{0};
    std::thread pauser;
    transfer::TransferOptions options;
    options.output = out;
    options.input = in;
    options.replyTimeout = 10s;
    options.onProgress = [&](unsigned position, unsigned range) {
        progress.emplace_back(Clock::now(), position);
        if (position == range / 4 && !pauser.joinable())
            pauser = std::thread([&] {
                kill(keyboard, SIGSTOP);
                std::this_thread::sleep_for(kPause);
                kill(keyboard, SIGCONT);
                resumed = Clock::now().time_since_epoch().count();
            });
    };
    const auto report = transfer::runTransfer(system, handshake, options);
    if (pauser.joinable())
        pauser.join();
    Measure m;
    if (report.outcome != transfer::TransferOutcome::Finished) {
        std::printf("  paused transfer failed: %s %s\n", std::string(transfer::outcomeName(report.outcome)).c_str(),
                    report.detail.c_str());
        return m;
    }
    const Clock::time_point resume{Clock::duration(resumed.load())};
    const auto first = std::find_if(progress.begin(), progress.end(), [&](const auto& p) { return p.first > resume; });
    if (first == progress.end() || first->second == progress.back().second)
        return m;
    m.seconds = std::chrono::duration<double>(progress.back().first - first->first).count();
    m.blocks = progress.back().second - first->second;
    m.ok = true;
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
    pid_t pid() const { return m_pid; }

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

// quillon-keyboard on JACK and the ports it offers. A run that stalls leaves the
// keyboard in the middle of a transfer, so the next run gets a fresh one.
class JackKeyboard {
public:
    explicit JackKeyboard(midi::MidiSystem& system) : m_system(system) {}

    bool restart()
    {
        m_process.reset();
        const std::string name = "quillon-bench-kbd-" + std::to_string(::getpid()) + "-" + std::to_string(++m_starts);
        m_process = std::make_unique<KeyboardProcess>(QUILLON_KEYBOARD_BINARY, name);
        const auto in = waitForPort(m_system, name + ":in", midi::Direction::Output);
        const auto out = waitForPort(m_system, name + ":out", midi::Direction::Input);
        if (!m_process->started() || !in || !out)
            return false;
        m_in = *in;
        m_out = *out;
        return true;
    }

    // Runs one measurement; after a failed one the keyboard is started afresh.
    Measure run(const std::function<Measure()>& measure)
    {
        const Measure m = measure();
        if (!m.ok && !restart())
            std::printf("  quillon-keyboard did not come up again\n");
        return m;
    }

    pid_t pid() const { return m_process ? m_process->pid() : 0; }
    const midi::PortRef& in() const { return m_in; }   // the keyboard's input: where messages go
    const midi::PortRef& out() const { return m_out; } // where its replies come from

private:
    midi::MidiSystem& m_system;
    std::unique_ptr<KeyboardProcess> m_process;
    int m_starts = 0;
    midi::PortRef m_in;
    midi::PortRef m_out;
};

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
    std::printf("100 KiB song = %u blocks of up to 1024 packed bytes\n", blocks);
    const auto done = [&](int status) {
        std::filesystem::remove_all(folder);
        return status;
    };

    auto system = midi::MidiSystem::createDefault();
    // Run again under pw-jack (run-bench.sh does), only the JACK routes are
    // measured, named after the server; the built-in keyboard uses no JACK.
    const std::string pipeWire = midi::JackClient::pipeWireVersion();
    if (pipeWire.empty()) {
        const auto builtIn =
            midi::PortChoice::of({midi::VirtualKeyboard::kBackendName, midi::VirtualKeyboard::kPortName, 0});
        sendSong(*system, builtIn, builtIn, songPath, true); // warm-up
        const std::string builtInRoute = "built-in keyboard";
        const Median builtInRaw = medianOf(kBuiltInRuns, [&] { return rawBuiltIn(*system, builtIn, blocks); });
        report(builtInRoute, "raw port ping-pong (baseline)", builtInRaw, builtInRaw);
        report(builtInRoute, "transfer, output kept open",
               medianOf(kBuiltInRuns, [&] { return sendSong(*system, builtIn, builtIn, songPath, true); }), builtInRaw);
        report(builtInRoute, "transfer, open per message",
               medianOf(kBuiltInRuns, [&] { return sendSong(*system, builtIn, builtIn, songPath, false); }),
               builtInRaw);
    }

    const std::string jackRoute =
        (pipeWire.empty() ? std::string("JACK") : "pw-jack (PipeWire " + pipeWire + ")") + " to quillon-keyboard";
    if (!midi::JackClient::carriesEightBitSysEx()) {
        std::printf("%s: songs are refused on this server (it changes 8-bit SysEx bytes)\n", jackRoute.c_str());
        bench::reportMissing(jackRoute + ": transfer rates", "KiB/s", "songs are refused on this server");
        return done(0);
    }
    if (!midi::JackClient::open("quillon-bench-probe")) {
        std::printf("JACK: no server reachable, JACK routes not measured\n");
        bench::reportMissing(jackRoute + ": transfer rates", "KiB/s", "no JACK server running");
        return done(0);
    }
    JackKeyboard keyboard(*system);
    if (!keyboard.restart()) {
        std::printf("JACK: quillon-keyboard did not come up\n");
        bench::reportMissing(jackRoute + ": transfer rates", "KiB/s", "quillon-keyboard did not start on JACK");
        return done(1);
    }
    const auto out = [&] { return midi::PortChoice::of(keyboard.in()); };
    const auto in = [&] { return midi::PortChoice::of(keyboard.out()); };

    const double idleCpu0 = cpuSeconds();
    std::this_thread::sleep_for(1s);
    std::printf("JACK idle (clients open, nothing sent): CPU %.1f%%\n", 100.0 * (cpuSeconds() - idleCpu0));
    const Median jackRaw = medianOf(kJackRuns, [&] {
        return keyboard.run([&] { return rawRtMidi(keyboard.in().name, keyboard.out().name, blocks); });
    });
    report(jackRoute, "raw RtMidi ping-pong (baseline)", jackRaw, jackRaw);
    keyboard.run([&] { return sendSong(*system, out(), in(), songPath, true); }); // warm-up
    report(jackRoute, "transfer, output kept open",
           medianOf(kJackRuns,
                    [&] { return keyboard.run([&] { return sendSong(*system, out(), in(), songPath, true); }); }),
           jackRaw);
    report(jackRoute, "transfer, open per message",
           medianOf(kJackRuns,
                    [&] { return keyboard.run([&] { return sendSong(*system, out(), in(), songPath, false); }); }),
           jackRaw);
    // Messages per second, each curve on a port opened for it, against raw ping-pong exchanges per second.
    const Median curves = medianOf(kJackRuns, [&] { return curvesOpenPerMessage(*system, out(), blocks); });
    if (curves.completed && jackRaw.completed)
        bench::reportRow(jackRoute + ": curve send, open per message, messages per second (median of " +
                             std::to_string(curves.completed) + " of " + std::to_string(curves.runs) + " runs)",
                         1e6 / curves.measure.wallMicrosPerBlock(), "1/s", 1e6 / jackRaw.measure.wallMicrosPerBlock());
    else
        bench::reportMissing(jackRoute + ": curve send, open per message", "1/s", "a curve did not leave");
    // Last: under pw-jack a keyboard frozen for 2 s can leave the server without it for a while.
    const Median paused = medianOf(
        3, [&] { return keyboard.run([&] { return afterPause(*system, out(), in(), songPath, keyboard.pid()); }); });
    if (paused.completed && jackRaw.completed)
        bench::reportRow(jackRoute +
                             ": transfer after the keyboard paused 2 s, wall time per block from its next "
                             "answer on (median of " +
                             std::to_string(paused.completed) + " of " + std::to_string(paused.runs) + " runs)",
                         paused.measure.wallMicrosPerBlock(), "us", jackRaw.measure.wallMicrosPerBlock());
    else
        bench::reportMissing(jackRoute + ": transfer after the keyboard paused 2 s", "us", "every run failed");
    return done(0);
}
