// quillon-keyboard: the program's built-in keyboard model behind real MIDI
// ports, so that Quillon (or anything else) can be tested across ALSA or JACK.
// It opens an input port that takes the SysEx messages and an output port that
// sends the Note On replies, prints one line per event, and with --store DIR
// writes what it received as slotNN.mid, rom.bin and curve.txt.
#include "cli/KeyboardPorts.h"
#include "midi/core/KeyboardModel.h"

#include <CLI/CLI.hpp>

#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <span>
#include <thread>

namespace {

using quillon::frame::Bytes;
using namespace quillon::keyboard_program;

bool writeFile(const std::filesystem::path& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

bool writeCurve(const std::filesystem::path& path, const quillon::keyboard::CurveTable& table)
{
    std::ofstream out(path, std::ios::trunc);
    for (std::size_t i = 0; i < table.size(); ++i)
        out << int(table[i]) << ((i % 16 == 15) ? '\n' : ' ');
    return static_cast<bool>(out);
}

std::string slotFileName(int slot)
{
    char name[16];
    std::snprintf(name, sizeof name, "slot%02d.mid", slot);
    return name;
}

void store(const quillon::keyboard::KeyboardModel& model, const quillon::keyboard::Reaction& reaction,
           const std::filesystem::path& folder)
{
    using quillon::keyboard::Stored;
    bool ok = true;
    std::filesystem::path path;
    switch (reaction.stored) {
    case Stored::Nothing: return;
    case Stored::Song:
        path = folder / slotFileName(reaction.slot);
        ok = writeFile(path, *model.song(reaction.slot));
        break;
    case Stored::Rom:
        path = folder / "rom.bin";
        ok = writeFile(path, *model.romImage());
        break;
    case Stored::Curve:
        path = folder / "curve.txt";
        ok = writeCurve(path, *model.curve());
        break;
    }
    if (ok)
        std::cout << "wrote " << path.string() << std::endl;
    else
        std::cerr << "quillon-keyboard: cannot write " << path.string() << '\n';
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Quillon's keyboard model on virtual MIDI ports (ALSA or JACK)"};
    std::string apiName = "jack";
    std::string name = "quillon-keyboard";
    std::string storeDir;
    app.add_option("--api", apiName, "MIDI API: jack or alsa")->check(CLI::IsMember({"jack", "alsa"}));
    app.add_option("--name", name, "client name; ports are NAME:in (takes SysEx) and NAME-out:out (replies)");
    app.add_option("--store", storeDir, "folder that receives slotNN.mid, rom.bin and curve.txt");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        return app.exit(help);
    } catch (const CLI::ParseError& error) {
        std::cerr << "quillon-keyboard: " << error.what() << '\n';
        return 2;
    }
    if (!storeDir.empty()) {
        std::error_code error;
        std::filesystem::create_directories(storeDir, error);
        if (error) {
            std::cerr << "quillon-keyboard: cannot create " << storeDir << ": " << error.message() << '\n';
            return 1;
        }
    }

    // Signals are taken by one thread with sigwait(); every other thread blocks them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    Inbox inbox;
    std::unique_ptr<KeyboardPorts> ports = apiName == "jack" ? openJackPorts(name, inbox) : openAlsaPorts(name, inbox);
    if (!ports)
        return 1;

    std::jthread signalWaiter([&] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        std::lock_guard lock(inbox.mutex);
        inbox.stop = true;
        inbox.changed.notify_all();
    });

    std::cout << "listening on " << apiName << ": " << name << ":in, replies from " << name << "-out:out" << std::endl;
    quillon::keyboard::KeyboardModel model;
    while (true) {
        Bytes message;
        {
            std::unique_lock lock(inbox.mutex);
            inbox.changed.wait(lock, [&] { return inbox.stop || !inbox.messages.empty(); });
            if (inbox.stop)
                break;
            message = std::move(inbox.messages.front());
            inbox.messages.pop_front();
        }
        const auto reaction = model.feed(message);
        if (reaction.reply) {
            const unsigned char reply[3] = {quillon::frame::kReplyStatus, static_cast<unsigned char>(*reaction.reply),
                                            0x7F};
            ports->reply(reply);
        }
        std::cout << reaction.event << std::endl;
        if (!storeDir.empty())
            store(model, reaction, storeDir);
    }
    // The signal thread has returned from sigwait(): joining it is immediate.
    ports->close();
    if (const auto dropped = ports->droppedMessages())
        std::cout << "error: " << dropped << " messages arrived faster than they were taken and were lost" << std::endl;
    std::cout << "stopped: " << model.songs().size() << " songs, " << model.errors().size() << " errors" << std::endl;
    return 0;
}
