// Throughput of a 28-song transfer (64 KiB songs), once through the Send File
// window's own code path (see SongTransfer.h) and once through the bare
// handshake runner without Qt, against a raw ping-pong of the very same
// messages on the same route, measured in the same run: each message sent
// straight to the port, each answered one waiting for its Note On, with no
// handshake, pump or event loop. Routes: the built-in keyboard, and JACK to a
// quillon-keyboard process when a JACK server is running.
// Rows: KiB/s of file data and the calling thread's CPU time per block.
#include "BenchReport.h"
#include "ReplyCounter.h"
#include "SongTransfer.h"

#include "midi/core/DeviceFrame.h"
#include "midi/core/KeyboardModel.h"
#include "midi/io/MidiSystem.h"
#include "midi/io/VirtualKeyboard.h"
#include "transfer/core/FileAccess.h"
#include "transfer/core/SongCheck.h"
#include "transfer/io/TransferRunner.h"

#include <rtmidi/RtMidi.h>

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <optional>

using namespace quillon;
using namespace quillon::bench;

namespace {

Measurement throughBareCore(const DataFolders& folders, const transfer::TransferList& list, const Route& route)
{
    transfer::TransferHandshake handshake(
        list, [&folders](const std::string& name) { return transfer::readWholeFile(folders.songPath(name)); });
    transfer::TransferOptions options;
    options.output = route.output;
    options.input = route.input;

    Measurement result;
    const double wall0 = wallSeconds();
    const double cpu0 = threadCpuSeconds();
    const auto report = transfer::runTransfer(*route.system, handshake, options);
    result.callingThreadCpu = threadCpuSeconds() - cpu0;
    result.wall = wallSeconds() - wall0;
    result.blocks = totalBlocks();
    result.complete = report.outcome == transfer::TransferOutcome::Finished && route.received();
    return result;
}

// The exact message sequence of a transfer, and which messages the keyboard
// answers, worked out offline by the keyboard model.
struct Step {
    frame::Bytes message;
    bool answered;
};

std::vector<Step> scriptOf(const DataFolders& folders, const transfer::TransferList& list)
{
    std::vector<Step> steps;
    keyboard::KeyboardModel model;
    std::deque<frame::Reply> replies;
    transfer::TransferHandshake handshake(
        list, [&folders](const std::string& name) { return transfer::readWholeFile(folders.songPath(name)); });
    auto take = [&](const transfer::Actions& actions) {
        for (const auto& action : actions) {
            if (const auto* send = std::get_if<transfer::SendMessage>(&action)) {
                const auto reaction = model.feed(send->bytes);
                steps.push_back({send->bytes, reaction.reply.has_value()});
                if (reaction.reply)
                    replies.push_back(*reaction.reply);
            }
        }
    };
    take(*handshake.start());
    while (!replies.empty() && !handshake.isFinished()) {
        const auto reply = replies.front();
        replies.pop_front();
        take(handshake.onShortMessage(frame::kReplyStatus, static_cast<std::uint8_t>(reply)));
    }
    return steps;
}

// The floor: the script's messages straight to the port, each answered
// message waiting for its Note On.
Measurement playScript(const std::vector<Step>& steps, const std::function<bool(const frame::Bytes&)>& send,
                       ReplyCounter& replies)
{
    Measurement result;
    result.blocks = totalBlocks();
    std::size_t expected = 0;
    bool complete = true;
    const double wall0 = wallSeconds();
    const double cpu0 = threadCpuSeconds();
    for (const auto& step : steps) {
        if (!send(step.message)) {
            complete = false;
            break;
        }
        if (step.answered && !replies.waitFor(++expected)) {
            complete = false;
            break;
        }
    }
    result.callingThreadCpu = threadCpuSeconds() - cpu0;
    result.wall = wallSeconds() - wall0;
    result.complete = complete;
    return result;
}

Measurement rawBuiltIn(const std::vector<Step>& steps, const Route& route)
{
    ReplyCounter replies;
    auto input = route.system->openInput(route.input, [&replies](std::uint32_t packed) {
        if ((packed & 0xFF) == frame::kReplyStatus)
            replies.add();
    });
    auto output = route.system->openOutput(route.output);
    if (!input || !output)
        return {};
    Measurement result = playScript(
        steps, [&](const frame::Bytes& message) { return output->send(message) == midi::SendResult::Sent; }, replies);
    input->close();
    result.complete = result.complete && route.received();
    return result;
}

int portIndex(RtMidi& rtmidi, const std::string& wanted)
{
    for (unsigned i = 0; i < rtmidi.getPortCount(); ++i) {
        if (rtmidi.getPortName(i).find(wanted) != std::string::npos)
            return static_cast<int>(i);
    }
    return -1;
}

Measurement rawRtMidi(const std::vector<Step>& steps, const std::string& keyboardName)
{
    RtMidiOut out(RtMidi::UNIX_JACK, "quillon-bench-raw");
    RtMidiIn in(RtMidi::UNIX_JACK, "quillon-bench-raw-in", 1000);
    const int outIndex = portIndex(out, keyboardName + ":in");
    const int inIndex = portIndex(in, keyboardName + ":out");
    if (outIndex < 0 || inIndex < 0)
        return {};
    ReplyCounter replies;
    in.setCallback(
        [](double, std::vector<unsigned char>* message, void* data) {
            if (message->size() >= 2 && (*message)[0] == frame::kReplyStatus)
                static_cast<ReplyCounter*>(data)->add();
        },
        &replies);
    in.openPort(static_cast<unsigned>(inIndex));
    out.openPort(static_cast<unsigned>(outIndex));
    // RtMidi cannot tell when its new JACK connections are live; give them a few cycles.
    QThread::msleep(200);
    const Measurement result = playScript(
        steps,
        [&](const frame::Bytes& message) {
            out.sendMessage(message.data(), message.size());
            return true;
        },
        replies);
    in.closePort();
    out.closePort();
    return result;
}

// quillon-keyboard on JACK, as a separate process. Its one line per message
// goes to a file: a pipe nobody reads during a transfer would fill up and
// stall the keyboard.
class JackKeyboard {
public:
    explicit JackKeyboard(QString name) : m_name(std::move(name)) {}
    ~JackKeyboard()
    {
        m_process.terminate();
        m_process.waitForFinished(5000);
    }

    bool start()
    {
        if (!m_logDir.isValid())
            return false;
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.setStandardOutputFile(logPath());
        m_process.start(QStringLiteral(QUILLON_BINARY_DIR "/src/cli/quillon-keyboard"),
                        {"--api", "jack", "--name", m_name});
        if (!m_process.waitForStarted())
            return false;
        for (int i = 0; i < 100 && !log().contains("listening"); ++i)
            QThread::msleep(50);
        return log().contains("listening");
    }

    // True when at least that many songs were stored so far and nothing was refused.
    bool storedAll(std::size_t songsSoFar) const
    {
        const QByteArray text = log();
        return static_cast<std::size_t>(text.count(" stored: ")) >= songsSoFar && !text.startsWith("error") &&
               !text.contains("\nerror");
    }

    std::string name() const { return m_name.toStdString(); }

    // The keyboard's last lines, to tell why a run did not complete.
    QByteArray tail(int lines) const
    {
        const QList<QByteArray> all = log().split('\n');
        return all.mid(std::max<qsizetype>(0, all.size() - lines - 1)).join('\n');
    }

private:
    QString logPath() const { return m_logDir.filePath(QStringLiteral("keyboard.log")); }
    QByteArray log() const
    {
        QFile file(logPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QString m_name;
    QTemporaryDir m_logDir;
    QProcess m_process;
};

bool jackServerRunning()
{
    QProcess probe;
    probe.setStandardOutputFile(QProcess::nullDevice());
    probe.setStandardErrorFile(QProcess::nullDevice());
    probe.start(QStringLiteral("jack_lsp"), {});
    return probe.waitForFinished() && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0;
}

struct Results {
    Measurement raw;
    Measurement window;
    Measurement bare;
};

void report(const std::string& route, const std::string& runs, const Results& r)
{
    const double kib = kSongs * static_cast<double>(kSongBytes) / 1024.0;
    const auto rows = [&](const std::string& path, const Measurement& m) {
        const std::string rate = route + ": " + path + ", rate (" + runs + ")";
        const std::string cpu = route + ": " + path + ", calling thread CPU per block (" + runs + ")";
        if (!m.complete || !r.raw.complete) {
            // A stalled run's time includes the wait before giving up: no rate to report.
            const char* why = m.complete ? "the raw baseline stalled" : "stalled, not all songs arrived";
            reportMissing(rate, "KiB/s", why);
            reportMissing(cpu, "us", why);
            return;
        }
        reportRow(rate, kib / m.wall, "KiB/s", kib / r.raw.wall);
        reportRow(cpu, 1e6 * m.callingThreadCpu / m.blocks, "us", 1e6 * r.raw.callingThreadCpu / r.raw.blocks);
    };
    rows("raw port ping-pong of the same messages (baseline)", r.raw);
    rows("Send File window path (no drawing)", r.window);
    rows("bare handshake runner", r.bare);
}

Results measureBuiltIn(const DataFolders& folders, const transfer::TransferList& list, const std::vector<Step>& script)
{
    Results best;
    const auto keepFaster = [](Measurement& kept, const Measurement& m) {
        if (!kept.complete || (m.complete && m.wall < kept.wall))
            kept = m;
    };
    for (int run = 0; run < 3; ++run) {
        auto system = keyboardSystem();
        const Route route = builtInRoute(*system);
        keepFaster(best.raw, rawBuiltIn(script, route));
        system->keyboard()->reset();
        keepFaster(best.window, throughWindow(folders, list, route));
        system->keyboard()->reset();
        keepFaster(best.bare, throughBareCore(folders, list, route));
    }
    return best;
}

// Each JACK run gets a freshly started keyboard, so one stalled run cannot
// leave the next one facing a keyboard in the middle of a transfer. On a busy
// machine the dummy JACK server misses cycles and JACK drops a message unseen
// (the protocol cannot resend), so a stalled run is tried again, up to three
// times in all, as the JACK tests are; every stall is printed.
class JackRuns {
public:
    static constexpr int kTries = 3;

    // nullopt when the keyboard did not come up.
    std::optional<Measurement> firstComplete(const std::function<Measurement(const Route&, JackKeyboard&)>& measure)
    {
        std::optional<Measurement> result;
        for (int attempt = 0; attempt < kTries && !(result && result->complete); ++attempt)
            result = onFreshKeyboard(measure);
        return result;
    }

private:
    std::optional<Measurement> onFreshKeyboard(const std::function<Measurement(const Route&, JackKeyboard&)>& measure)
    {
        const int number = ++m_keyboards;
        JackKeyboard keyboard(
            QStringLiteral("quillon-bench-%1-%2").arg(QCoreApplication::applicationPid()).arg(number));
        if (!keyboard.start())
            return std::nullopt;
        auto system = midi::MidiSystem::createDefault();
        const auto findPort = [](const std::vector<midi::PortInfo>& ports, const std::string& wanted) {
            for (const auto& port : ports) {
                if (port.ref.backend == "JACK" && port.ref.name.find(wanted) != std::string::npos)
                    return midi::PortChoice::of(port.ref);
            }
            return midi::PortChoice::notChosen();
        };
        const Route route{system.get(), findPort(system->outputs(), keyboard.name() + ":in"),
                          findPort(system->inputs(), keyboard.name() + ":out"),
                          [&keyboard] { return keyboard.storedAll(kSongs); }};
        Measurement result = measure(route, keyboard);
        result.complete = result.complete && keyboard.storedAll(kSongs);
        if (!result.complete)
            std::printf("  JACK run %d stalled; missed JACK cycles so far: %llu; keyboard's last lines:\n%s\n", number,
                        static_cast<unsigned long long>(system->missedCycles()), keyboard.tail(3).constData());
        return result;
    }

    int m_keyboards = 0;
};

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir directory;
    const DataFolders folders(std::filesystem::path(directory.path().toStdString()));
    const auto names = writeSongs(folders);
    const auto preparation = transfer::prepareSongs(transfer::DiskFiles(), folders.songFolder(), names);
    if (!preparation.ok()) {
        std::fprintf(stderr, "song preparation refused the bench songs\n");
        return 1;
    }
    const auto script = scriptOf(folders, preparation.list);
    std::printf("%d songs x %zu KiB = %u blocks; the raw ping-pong sends the same %zu messages\n", kSongs,
                kSongBytes / 1024, totalBlocks(), script.size());
    std::printf("calling thread CPU on the built-in keyboard includes the keyboard checking and storing each "
                "message inside send\n");

    const Results builtIn = measureBuiltIn(folders, preparation.list, script);
    report("built-in keyboard", "best of 3", builtIn);
    const bool builtInComplete = builtIn.raw.complete && builtIn.window.complete && builtIn.bare.complete;

    const std::string jackRoute = "JACK to quillon-keyboard";
    if (!jackServerRunning()) {
        std::printf("JACK: no server running (jack_lsp failed); JACK figures not measured\n");
        reportMissing(jackRoute + ": transfer rates", "KiB/s", "no JACK server running");
        return builtInComplete ? 0 : 1;
    }
    JackRuns runs;
    const auto raw =
        runs.firstComplete([&](const Route&, JackKeyboard& keyboard) { return rawRtMidi(script, keyboard.name()); });
    if (!raw) {
        std::printf("JACK: quillon-keyboard did not come up; JACK figures not measured\n");
        reportMissing(jackRoute + ": transfer rates", "KiB/s", "quillon-keyboard did not start on JACK");
        return builtInComplete ? 0 : 1;
    }
    Results jack;
    jack.raw = *raw;
    jack.window = runs.firstComplete([&](const Route& route, JackKeyboard&) {
                          return throughWindow(folders, preparation.list, route);
                      })
                      .value_or(Measurement{});
    jack.bare = runs.firstComplete([&](const Route& route, JackKeyboard&) {
                        return throughBareCore(folders, preparation.list, route);
                    })
                    .value_or(Measurement{});
    // A JACK stall is the dummy server missing cycles on a busy machine (each
    // stalled row says so); only a stall on the built-in keyboard is a fault.
    report(jackRoute, "first complete run of up to 3", jack);
    return builtInComplete ? 0 : 1;
}
