#include "SongTransfer.h"

#include "base/core/Messages.h"

#include "midi/core/DeviceFrame.h"
#include "midi/io/VirtualKeyboard.h"
#include "session/Session.h"
#include "transfer/widgets/SendFileDialog.h"
#include "ui/MessageService.h"

#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>

namespace quillon::bench {

unsigned totalBlocks() { return kSongs * frame::blockCount(frame::packedLength(kSongBytes)); }

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

std::unique_ptr<midi::MidiSystem> keyboardSystem()
{
    std::vector<std::unique_ptr<midi::Backend>> backends;
    backends.push_back(std::make_unique<midi::VirtualKeyboard>());
    return std::make_unique<midi::MidiSystem>(std::move(backends));
}

Route builtInRoute(midi::MidiSystem& system)
{
    return {&system, midi::PortChoice::of(system.outputs().front().ref),
            midi::PortChoice::of(system.inputs().front().ref), [&system] {
                return system.keyboard()->songs().size() == static_cast<std::size_t>(kSongs) &&
                       system.keyboard()->errors().empty();
            }};
}

Measurement throughWindow(const DataFolders& folders, const transfer::TransferList& list, const Route& route)
{
    ui::RecordingMessageService messages;
    session::Session session(route.system, messages, folders);
    session.outputChoice = route.output;
    session.inputChoice = route.input;
    session.transfers = list;

    transfer::SendFileDialog window(session);
    QEventLoop loop;
    QObject::connect(&window, &transfer::SendFileDialog::statusChanged, &loop, [&](const QString& text) {
        // Finished, or the window itself reports that the keyboard went silent.
        if ((window.handshake() && window.handshake()->isFinished()) ||
            text == QLatin1String(transfer::SendFileDialog::kStatusKeyboardSilent) ||
            text == QString::fromUtf8(text::kStatusNoReadyReply.data(), qsizetype(text::kStatusNoReadyReply.size())))
            loop.quit();
    });
    QTimer::singleShot(std::chrono::seconds(120), &loop, &QEventLoop::quit);

    Measurement result;
    const double wall0 = wallSeconds();
    const double cpu0 = threadCpuSeconds();
    window.send();
    loop.exec();
    result.callingThreadCpu = threadCpuSeconds() - cpu0;
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

} // namespace quillon::bench
