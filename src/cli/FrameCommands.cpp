// quillon-cli frames and check-song: the exact bytes a transfer sends, and the
// verdict of the song checks, computed by the same code the Send File window uses.
#include "cli/Commands.h"
#include "cli/Output.h"

#include "midi/core/DeviceFrame.h"
#include "transfer/core/FileAccess.h"
#include "transfer/core/SongCheck.h"
#include "transfer/core/TransferHandshake.h"

#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::cli {

namespace {

using frame::Bytes;
using transfer::TransferHandshake;
using transfer::TransferKind;

// Every message one file's transfer sends after the control message: the header,
// then each block, obtained by answering the handshake as the keyboard would.
Result<std::vector<Bytes>> transferMessages(TransferKind kind, const std::string& path, int slot)
{
    transfer::TransferList list{kind, {{path, {}, slot}}};
    TransferHandshake handshake(std::move(list), [](const std::string& name) { return transfer::readWholeFile(name); });
    if (auto started = handshake.start(); !started)
        return fail(started.reason());

    std::vector<Bytes> messages;
    std::string stopReason;
    auto collect = [&](const transfer::Actions& actions) {
        for (const auto& action : actions) {
            if (const auto* message = std::get_if<transfer::SendMessage>(&action))
                messages.push_back(message->bytes);
            else if (const auto* stopped = std::get_if<transfer::Stopped>(&action))
                stopReason = stopped->detail;
        }
    };
    collect(handshake.onShortMessage(frame::kReplyStatus, static_cast<std::uint8_t>(frame::Reply::Ready)));
    if (handshake.isStopped())
        return fail(stopReason);
    const auto blockDone = kind == TransferKind::Songs ? frame::Reply::SongBlockDone : frame::Reply::RomBlockDone;
    while (handshake.blockIndex() < static_cast<long long>(handshake.blockCount()))
        collect(handshake.onShortMessage(frame::kReplyStatus, static_cast<std::uint8_t>(blockDone)));
    return messages;
}

struct FrameOptions {
    bool control = false;
    std::string songFile;
    std::string romFile;
    int slot = 0;
};

void runFrames(const FrameOptions& options, CLI::App& command, CommandContext& context)
{
    const bool song = command.count("--song") > 0;
    const bool rom = command.count("--rom") > 0;
    if (static_cast<int>(options.control) + static_cast<int>(song) + static_cast<int>(rom) != 1) {
        reportBadInput(context, "frames: give exactly one of --control, --song FILE --slot N, --rom FILE");
        return;
    }
    if (options.control) {
        std::cout << hexLine(frame::buildTransferControl()) << '\n';
        return;
    }
    const auto messages = song ? transferMessages(TransferKind::Songs, options.songFile, options.slot)
                               : transferMessages(TransferKind::RomImage, options.romFile, 0);
    if (!messages) {
        reportBadInput(context, "frames: " + messages.reason());
        return;
    }
    for (const auto& message : *messages)
        std::cout << hexLine(message) << '\n';
}

void runCheckSong(const std::vector<std::string>& files, CommandContext& context)
{
    for (const auto& file : files) {
        const auto verdict = transfer::checkSongFile(file);
        if (verdict.ok()) {
            std::cout << "ok\t" << verdict.sizeText << '\n';
        } else {
            std::cout << "refused\t" << escapeLineBreaks(transfer::refusalText(*verdict.refusal, file, verdict.length))
                      << '\n';
            context.exitCode = 1;
        }
    }
}

} // namespace

void registerFrameCommands(CLI::App& app, CommandContext& context)
{
    auto options = std::make_shared<FrameOptions>();
    auto* frames = app.add_subcommand(
        "frames", "Print the SysEx messages of a transfer, one per line, as upper-case hex bytes separated by spaces.\n"
                  "--control: the transfer control message. --song FILE --slot N: the song header for slot N (1..28)\n"
                  "then each data block in sending order. --rom FILE: the ROM image header then each data block.");
    frames->add_flag("--control", options->control, "the transfer control message");
    auto* songOption = frames->add_option("--song", options->songFile, "a song file to frame");
    auto* slotOption =
        frames->add_option("--slot", options->slot, "keyboard slot of the song, 1..28")->check(CLI::Range(1, 28));
    auto* romOption = frames->add_option("--rom", options->romFile, "a ROM image file to frame");
    songOption->needs(slotOption);
    slotOption->needs(songOption);
    songOption->excludes(romOption);
    frames->callback([options, frames, &context] { runFrames(*options, *frames, context); });

    auto* check = app.add_subcommand(
        "check-song",
        "Check songs as a send selection does: \"MThd\" at the start and MIDI file format 0.\n"
        "Prints one line per file: ok<TAB>size text (padding kept), or refused<TAB>message text.\n"
        "Line breaks inside a message are written as the two characters \\n and \\r so each verdict\n"
        "stays on one line. Each file is judged on its own (the 28-song limit of a selection is not applied).\n"
        "Every argument is a file name, also one that starts with \"-\". Usage: check-song FILE...\n"
        "Exit status 1 when any file is refused.");
    auto files = std::make_shared<std::vector<std::string>>();
    check->add_option("FILE", *files, "song files")->required();
    check->callback([files, &context] { runCheckSong(*files, context); });
}

} // namespace quillon::cli
