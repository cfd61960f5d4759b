// Throughput of a 28-song transfer (64 KiB songs) to the built-in keyboard,
// once through the Send File window's own code path (handshake, kept-open
// output, MIDI input pump, Qt event loop; the window is never shown, so
// nothing is drawn) and once through the bare handshake runner without Qt.
// Prints KiB/s of file data and the window thread's CPU time per block.
#include "app/widgets/Session.h"
#include "midi/core/DeviceFrame.h"
#include "midi/io/MidiSystem.h"
#include "midi/io/TransferRunner.h"
#include "midi/io/VirtualKeyboard.h"
#include "transfer/core/FileAccess.h"
#include "transfer/core/SongCheck.h"
#include "transfer/widgets/SendFileDialog.h"
#include "ui/MessageService.h"

#include "midi/core/KeyboardModel.h"

#include <rtmidi/RtMidi.h>

#include <QApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <deque>
#include <fstream>
#include <mutex>
#include <optional>
#include <random>

using namespace quillon;

namespace {

constexpr int kSongs = 28;
constexpr std::size_t kSongBytes = 64 * 1024;

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double wallSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::unique_ptr<midi::MidiSystem> keyboardSystem()
{
    std::vector<std::unique_ptr<midi::Backend>> backends;
    backends.push_back(std::make_unique<midi::VirtualKeyboard>());
    return std::make_unique<midi::MidiSystem>(std::move(backends));
}

std::vector<std::string> writeSongs(const DataFolders& folders)
{
    std::filesystem::create_directories(folders.songFolder());
    std::mt19937 random(42);
    std::vector<std::string> names;
    for (int i = 0; i < kSongs; ++i) {
        frame::Bytes bytes(kSongBytes);
        for (auto& byte : bytes)
            byte = static_cast<std::uint8_t>(random());
        const std::uint8_t head[14] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96};
        std::copy(std::begin(head), std::end(head), bytes.begin());
        names.push_back("song" + std::to_string(i + 1) + ".mid");
        std::ofstream(folders.songPath(names.back()), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    return names;
}

struct Measurement {
    double wall = 0;
    double windowCpu = 0;
    unsigned blocks = 0;
    bool complete = false;
};

unsigned totalBlocks() { return kSongs * frame::blockCount(frame::packedLength(kSongBytes)); }

bool allStored(midi::VirtualKeyboard& keyboard)
{
    return keyboard.songs().size() == static_cast<std::size_t>(kSongs) && keyboard.errors().empty();
}

struct Route {
    midi::MidiSystem* system;
    midi::PortChoice output;
    midi::PortChoice input;
    // True when the receiving keyboard holds every song whole.
    std::function<bool()> received;
};

Route builtInRoute(midi::MidiSystem& system)
{
    return {&system, midi::PortChoice::of(system.outputs().front().ref),
            midi::PortChoice::of(system.inputs().front().ref), [&system] { return allStored(*system.keyboard()); }};
}

Measurement throughWindow(const DataFolders& folders, const transfer::TransferList& list, const Route& route)
{
    ui::RecordingMessageService messages;
    app::Session session(route.system, messages, folders);
    session.outputChoice = route.output;
    session.inputChoice = route.input;
    session.transfers = list;

    transfer::SendFileDialog window(session);
    QEventLoop loop;
    QObject::connect(&window, &transfer::SendFileDialog::statusChanged, &loop, [&](const QString& text) {
        // Finished, or the window itself reports that the keyboard went silent.
        if ((window.handshake() && window.handshake()->isFinished()) ||
            text == QLatin1String(transfer::SendFileDialog::kStatusKeyboardSilent))
            loop.quit();
    });
    QTimer::singleShot(std::chrono::seconds(120), &loop, &QEventLoop::quit);

    Measurement result;
    const double wall0 = wallSeconds();
    const double cpu0 = threadCpuSeconds();
    window.send();
    loop.exec();
    result.windowCpu = threadCpuSeconds() - cpu0;
    result.wall = wallSeconds() - wall0;
    result.blocks = totalBlocks();
    result.complete = window.handshake() && window.handshake()->isFinished() && route.received();
    if (!result.complete && window.handshake()) {
        std::printf("  window path stopped at song %d, block %lld of %u; %zu message boxes\n",
                    window.handshake()->songIndex(), window.handshake()->blockIndex(), window.handshake()->blockCount(),
                    messages.messages().size());
        for (const auto& shown : messages.messages())
            std::printf("  message: %s\n", shown.text.c_str());
    }
    return result;
}

Measurement throughBareCore(const DataFolders& folders, const transfer::TransferList& list, const Route& route)
{
    transfer::TransferHandshake handshake(
        list, [&folders](const std::string& name) { return transfer::readWholeFile(folders.songPath(name)); });
    midi::TransferOptions options;
    options.output = route.output;
    options.input = route.input;

    Measurement result;
    const double wall0 = wallSeconds();
    const double cpu0 = threadCpuSeconds();
    const auto report = midi::runTransfer(*route.system, handshake, options);
    result.windowCpu = threadCpuSeconds() - cpu0;
    result.wall = wallSeconds() - wall0;
    result.blocks = totalBlocks();
    result.complete = report.outcome == midi::TransferOutcome::Finished && route.received();
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

int portIndex(RtMidi& rtmidi, const std::string& wanted)
{
    for (unsigned i = 0; i < rtmidi.getPortCount(); ++i) {
        if (rtmidi.getPortName(i).find(wanted) != std::string::npos)
            return static_cast<int>(i);
    }
    return -1;
}

// The floor: the same messages straight through RtMidi on JACK, each answered
// message waiting for its Note On, with no handshake, pump or event loop.
Measurement rawPingPong(const std::vector<Step>& steps, const std::string& keyboardName)
{
    Measurement result;
    result.blocks = totalBlocks();
    RtMidiOut out(RtMidi::UNIX_JACK, "quillon-bench-raw");
    RtMidiIn in(RtMidi::UNIX_JACK, "quillon-bench-raw-in", 1000);
    const int outIndex = portIndex(out, keyboardName + ":in");
    const int inIndex = portIndex(in, keyboardName + "-out:out");
    if (outIndex < 0 || inIndex < 0)
        return result;
    std::mutex mutex;
    std::condition_variable answered;
    std::size_t replies = 0;
    struct Context {
        std::mutex* mutex;
        std::condition_variable* answered;
        std::size_t* replies;
    } context{&mutex, &answered, &replies};
    in.setCallback(
        [](double, std::vector<unsigned char>* message, void* data) {
            auto* c = static_cast<Context*>(data);
            if (message->size() >= 2 && (*message)[0] == frame::kReplyStatus) {
                std::lock_guard lock(*c->mutex);
                ++*c->replies;
                c->answered->notify_one();
            }
        },
        &context);
    in.openPort(static_cast<unsigned>(inIndex));
    out.openPort(static_cast<unsigned>(outIndex));

    std::size_t expected = 0;
    bool complete = true;
    const double wall0 = wallSeconds();
    const double cpu0 = threadCpuSeconds();
    for (const auto& step : steps) {
        out.sendMessage(step.message.data(), step.message.size());
        if (!step.answered)
            continue;
        ++expected;
        std::unique_lock lock(mutex);
        if (!answered.wait_for(lock, std::chrono::seconds(5), [&] { return replies >= expected; })) {
            complete = false;
            break;
        }
    }
    result.windowCpu = threadCpuSeconds() - cpu0;
    result.wall = wallSeconds() - wall0;
    result.complete = complete;
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
        QProcess probe;
        probe.setStandardOutputFile(QProcess::nullDevice());
        probe.setStandardErrorFile(QProcess::nullDevice());
        probe.start(QStringLiteral("jack_lsp"), {});
        if (!probe.waitForFinished() || probe.exitCode() != 0 || !m_logDir.isValid())
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

void print(const char* name, const Measurement& m)
{
    if (!m.complete) {
        // A stalled run's time includes the wait before giving up: no rate to report.
        std::printf("%-34s STALLED after %.3f s (not all songs arrived)\n", name, m.wall);
        return;
    }
    const double kib = kSongs * static_cast<double>(kSongBytes) / 1024.0;
    std::printf("%-34s ok  %8.0f KiB/s  %7.3f s  %5u blocks  calling thread CPU %.4f ms/block\n", name, kib / m.wall,
                m.wall, m.blocks, 1000.0 * m.windowCpu / m.blocks);
}

void printRatio(const char* label, const Measurement& reference, const Measurement& measured)
{
    if (reference.complete && measured.complete)
        std::printf("%s: %.2f\n", label, reference.wall / measured.wall);
    else
        std::printf("%s: n/a (a run stalled)\n", label);
}

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

    std::printf("28 songs x 64 KiB to the built-in keyboard (best of 3 runs each)\n");
    Measurement window, bare;
    bool allComplete = true;
    for (int run = 0; run < 3; ++run) {
        auto system = keyboardSystem();
        const auto w = throughWindow(folders, preparation.list, builtInRoute(*system));
        system->keyboard()->reset();
        const auto b = throughBareCore(folders, preparation.list, builtInRoute(*system));
        if (run == 0 || w.wall < window.wall)
            window = w;
        if (run == 0 || b.wall < bare.wall)
            bare = b;
        allComplete = allComplete && w.complete && b.complete;
    }
    print("Send File window path (no drawing)", window);
    print("bare handshake runner", bare);
    printRatio("window path / bare runner throughput", bare, window);
    std::printf(
        "(calling thread CPU includes the built-in keyboard checking and storing each message inside send)\n\n");

    // Each JACK run gets a freshly started keyboard, so one stalled run cannot
    // leave the next one facing a keyboard in the middle of a transfer.
    int keyboardNumber = 0;
    auto onFreshKeyboard = [&](auto&& measure) -> std::optional<Measurement> {
        JackKeyboard keyboard(
            QStringLiteral("quillon-bench-%1-%2").arg(QCoreApplication::applicationPid()).arg(++keyboardNumber));
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
                          findPort(system->inputs(), keyboard.name() + "-out:out"),
                          [&keyboard] { return keyboard.storedAll(kSongs); }};
        Measurement result = measure(route, keyboard);
        result.complete = result.complete && keyboard.storedAll(kSongs);
        if (!result.complete)
            std::printf("  keyboard's last lines:\n%s\n", keyboard.tail(3).constData());
        return result;
    };
    const auto script = scriptOf(folders, preparation.list);
    const auto raw =
        onFreshKeyboard([&](const Route&, JackKeyboard& keyboard) { return rawPingPong(script, keyboard.name()); });
    if (!raw) {
        std::printf("JACK: no server or no quillon-keyboard; JACK rows skipped\n");
        return allComplete ? 0 : 1;
    }
    std::printf("the same across JACK to quillon-keyboard (one run each)\n");
    const auto jackWindow = *onFreshKeyboard(
        [&](const Route& route, JackKeyboard&) { return throughWindow(folders, preparation.list, route); });
    const auto jackBare = *onFreshKeyboard(
        [&](const Route& route, JackKeyboard&) { return throughBareCore(folders, preparation.list, route); });
    print("raw RtMidi ping-pong", *raw);
    print("Send File window path (no drawing)", jackWindow);
    print("bare handshake runner", jackBare);
    printRatio("window path / raw RtMidi throughput", *raw, jackWindow);
    printRatio("bare runner / raw RtMidi throughput", *raw, jackBare);
    allComplete = allComplete && raw->complete && jackWindow.complete && jackBare.complete;
    return allComplete ? 0 : 1;
}
