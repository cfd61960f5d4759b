// quillon-keyboard: the program's built-in keyboard model behind real MIDI
// ports, so that Quillon (or anything else) can be tested across ALSA or JACK.
// It opens an input port that takes the SysEx messages and an output port that
// sends the Note On replies, prints one line per event, and with --store DIR
// writes what it received as slotNN.mid, rom.bin and curve.txt. With
// --end-songs-after N it behaves as a keyboard out of song memory, to try how
// a sender copes with songs ended early.
#include "base/core/Version.h"
#include "cli/KeyboardPorts.h"
#include "cli/KeyboardStore.h"
#include "cli/StopSignals.h"
#include "midi/core/KeyboardModel.h"

#include <CLI/CLI.hpp>

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <optional>
#include <span>

namespace {

using namespace quillon::keyboard_program;

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Quillon's keyboard model on virtual MIDI ports (ALSA or JACK)"};
    std::string apiName = "jack";
    std::string name = "quillon-keyboard";
    std::string storeDir;
    unsigned endSongsAfter = 0;
    app.set_version_flag("--version", "quillon-keyboard " QUILLON_VERSION "\n" QUILLON_VERSION_NOTICE);
    app.add_option("--api", apiName, "MIDI API: jack or alsa")->check(CLI::IsMember({"jack", "alsa"}));
    app.add_option("--name", name,
                   "client name; ports are NAME:in (takes SysEx) and NAME:out (replies); on ALSA NAME-out:out");
    app.add_option("--store", storeDir, "folder that receives slotNN.mid, rom.bin and curve.txt");
    const auto* endSongsOption =
        app.add_option("--end-songs-after", endSongsAfter,
                       "end each song after N data blocks with the song-done reply and keep nothing of it, as a "
                       "keyboard that runs out of song memory would (to try how a sender copes)")
            ->option_text("N")
            ->check(CLI::Range(0, 16383)); // a block count is 14 bits on the wire
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& helpOrVersion) {
        return app.exit(helpOrVersion);
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

    Inbox inbox;
    quillon::cli::StopSignals stopSignals; // before the ports' threads start
    std::unique_ptr<KeyboardPorts> ports = apiName == "jack" ? openJackPorts(name, inbox) : openAlsaPorts(name, inbox);
    if (!ports)
        return 1;
    stopSignals.start([&inbox](int) { inbox.requestStop(); });

    std::cout << "listening on " << apiName << ": " << ports->inputName() << ", replies from " << ports->outputName()
              << std::endl;
    auto model = endSongsOption->count() > 0 ? quillon::keyboard::KeyboardModel(endSongsAfter)
                                             : quillon::keyboard::KeyboardModel();
    std::optional<KeyboardStore> store;
    if (!storeDir.empty())
        store.emplace(storeDir);
    std::string stopReason;
    while (true) {
        quillon::frame::Bytes message;
        {
            std::unique_lock lock(inbox.mutex);
            inbox.changed.wait(lock, [&] { return inbox.stop || !inbox.messages.empty(); });
            if (inbox.stop) {
                stopReason = inbox.stopReason;
                break;
            }
            message = std::move(inbox.messages.front());
            inbox.messages.pop_front();
        }
        // Clock, sensing and the other real-time bytes pass a keyboard by, as they do a real one.
        if (message.size() == 1 && message[0] >= 0xF8)
            continue;
        const auto reaction = model.feed(message);
        std::cout << reaction.event << std::endl;
        // Stored before the reply: the sender takes the reply as "kept".
        if (const auto answer = storeThenReply(store ? &*store : nullptr, model, reaction)) {
            const unsigned char reply[3] = {quillon::frame::kReplyStatus, static_cast<unsigned char>(*answer), 0x7F};
            ports->reply(reply);
        }
    }
    if (!stopReason.empty()) {
        // Deaf ports are no keyboard: say so and end, rather than run on unheard.
        std::cerr << "quillon-keyboard: " << stopReason << "; exiting" << std::endl;
        ports->close();
        return 1;
    }
    ports->close();
    if (const auto dropped = ports->droppedMessages())
        std::cout << "error: " << dropped << " messages arrived faster than they were taken and were lost" << std::endl;
    std::cout << "stopped: " << model.songs().size() << " songs, " << model.errors().size() << " errors" << std::endl;
    return 0;
}
