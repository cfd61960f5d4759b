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

#include <QApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
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

unsigned totalBlocks()
{
    return kSongs * frame::blockCount(frame::packedLength(kSongBytes));
}

bool allStored(midi::VirtualKeyboard& keyboard)
{
    return keyboard.songs().size() == static_cast<std::size_t>(kSongs) && keyboard.errors().empty();
}

Measurement throughWindow(const DataFolders& folders, const transfer::TransferList& list)
{
    auto system = keyboardSystem();
    ui::RecordingMessageService messages;
    app::Session session(system.get(), messages, folders);
    session.outputChoice = midi::PortChoice::of(system->outputs().front().ref);
    session.inputChoice = midi::PortChoice::of(system->inputs().front().ref);
    session.transfers = list;

    transfer::SendFileDialog window(session);
    QEventLoop loop;
    QObject::connect(&window, &transfer::SendFileDialog::statusChanged, &loop, [&](const QString&) {
        if (window.handshake() && window.handshake()->isFinished())
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
    result.complete = window.handshake() && window.handshake()->isFinished() && allStored(*system->keyboard());
    return result;
}

Measurement throughBareCore(const DataFolders& folders, const transfer::TransferList& list)
{
    auto system = keyboardSystem();
    transfer::TransferHandshake handshake(list, [&folders](const std::string& name) {
        return transfer::readWholeFile(folders.songPath(name));
    });
    midi::TransferOptions options;
    options.output = midi::PortChoice::of(system->outputs().front().ref);
    options.input = midi::PortChoice::of(system->inputs().front().ref);

    Measurement result;
    const double wall0 = wallSeconds();
    const double cpu0 = threadCpuSeconds();
    const auto report = midi::runTransfer(*system, handshake, options);
    result.windowCpu = threadCpuSeconds() - cpu0;
    result.wall = wallSeconds() - wall0;
    result.blocks = totalBlocks();
    result.complete = report.outcome == midi::TransferOutcome::Finished && allStored(*system->keyboard());
    return result;
}

void print(const char* name, const Measurement& m)
{
    const double kib = kSongs * static_cast<double>(kSongBytes) / 1024.0;
    std::printf("%-34s %s  %8.0f KiB/s  %7.3f s  %5u blocks  calling thread CPU %.4f ms/block\n", name,
                m.complete ? "ok  " : "FAIL", kib / m.wall, m.wall, m.blocks, 1000.0 * m.windowCpu / m.blocks);
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
    for (int run = 0; run < 3; ++run) {
        const auto w = throughWindow(folders, preparation.list);
        const auto b = throughBareCore(folders, preparation.list);
        if (run == 0 || w.wall < window.wall)
            window = w;
        if (run == 0 || b.wall < bare.wall)
            bare = b;
    }
    print("Send File window path (no drawing)", window);
    print("bare handshake runner", bare);
    std::printf("window path / bare runner throughput: %.2f\n", bare.wall / window.wall);
    std::printf("(calling thread CPU includes the built-in keyboard checking and storing each message inside send)\n");
    return window.complete && bare.complete ? 0 : 1;
}
