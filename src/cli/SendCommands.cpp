// quillon-cli ports, send-curve, send-songs and send-rom: the device list as
// the Set device window numbers it, and every kind of sending, run by the same
// core handshake as the Send File window, with a progress bar on stderr.
// Exit status: 0 done, 1 the keyboard or a port failed, 2 bad input, 128 + the
// signal when SIGINT (130) or SIGTERM (143) ended a transfer.
#include "cli/Commands.h"
#include "cli/ListOptions.h"
#include "cli/SendReport.h"
#include "cli/StopSignals.h"

#include "base/core/Messages.h"
#include "curve/core/CurveMessage.h"
#include "curve/core/Presets.h"
#include "curve/core/VelocityCurve.h"
#include "midi/io/MidiSystem.h"
#include "midi/io/StallWatch.h"
#include "midi/io/VirtualKeyboard.h"
#include "transfer/core/FileAccess.h"
#include "transfer/core/SlotMap.h"
#include "transfer/core/SongCheck.h"
#include "transfer/core/TransferHandshake.h"
#include "transfer/core/TransferSnapshot.h"
#include "transfer/io/TransferRunner.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace quillon::cli {

namespace {

// A port as the command line names it; empty (not given) = the built-in keyboard.
struct PortOptions {
    std::string out;
    std::string in;
    int replyTimeoutMs = 5000;
    bool openPerMessage = false;
    std::string reportFile;
};

void addPortOptions(CLI::App& command, PortOptions& options, bool withInput)
{
    command.add_option("--out", options.out,
                       "output port: index from `quillon-cli ports` (-1 = default route), name, or unique part of it");
    if (!withInput)
        return;
    command.add_option("--in", options.in, "input port: index from `quillon-cli ports`, name, or unique part of it");
    command.add_option("--reply-timeout", options.replyTimeoutMs, "milliseconds to wait for each keyboard reply")
        ->check(CLI::Range(1, 600000));
    command.add_flag("--open-per-message", options.openPerMessage,
                     "open and close the output for every message instead of once per transfer");
    command.add_option("--report", options.reportFile,
                       "write what happened (ports, route, each message and reply with its time) to FILE");
}

void fail(CommandContext& context, const std::string& message)
{
    std::cerr << "quillon-cli: " << message << '\n';
    context.exitCode = 1;
}

std::string lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// The port a command-line word names, or a reason it names none: an index
// from `quillon-cli ports` (which moves when a device comes or goes), a port's
// name as listed, or a part of it that no other port's name holds, in any case.
Result<midi::PortChoice> choosePort(midi::MidiSystem& system, const std::string& word, midi::Direction direction)
{
    const std::string kind = direction == midi::Direction::Output ? "output" : "input";
    if (word.empty())
        return midi::PortChoice::of({midi::VirtualKeyboard::kBackendName, midi::VirtualKeyboard::kPortName, 0});
    int index = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), index);
    if (error == std::errc() && end == word.data() + word.size()) {
        const auto choice = system.choiceForIndex(index, direction);
        if (choice.kind == midi::PortChoice::Kind::NotChosen)
            return quillon::fail("no " + kind + " port " + word + " (see `quillon-cli ports`)");
        return choice;
    }
    const auto ports = direction == midi::Direction::Output ? system.outputs() : system.inputs();
    std::vector<std::size_t> matches;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        if (ports[i].ref.name == word || ports[i].label == word)
            return midi::PortChoice::of(ports[i].ref);
        if (lowered(ports[i].label).find(lowered(word)) != std::string::npos)
            matches.push_back(i);
    }
    if (matches.size() == 1)
        return midi::PortChoice::of(ports[matches.front()].ref);
    if (matches.empty())
        return quillon::fail("no " + kind + " port is named like \"" + word + "\" (see `quillon-cli ports`)");
    std::string listed;
    for (const std::size_t i : matches)
        listed += "\n  " + std::to_string(i) + "  " + ports[i].label;
    return quillon::fail(kind + " \"" + word + "\" matches " + std::to_string(matches.size()) +
                         " ports; give more of the name, or the index:" + listed);
}

// "[##########----------]  50% " redrawn in place on stderr.
class ProgressBar {
public:
    explicit ProgressBar(std::string label) : m_label(std::move(label)) {}
    ~ProgressBar() { finish(); }

    void show(unsigned position, unsigned range)
    {
        if (!m_terminal)
            return; // a log gets the status lines only
        const unsigned percent = range == 0 ? 100 : position * 100 / range;
        if (percent == m_lastPercent)
            return;
        m_lastPercent = percent;
        constexpr unsigned width = 30;
        const unsigned filled = percent * width / 100;
        std::cerr << '\r' << m_label << " [" << std::string(filled, '#') << std::string(width - filled, '-') << "] "
                  << percent << "%" << std::flush;
        m_drawn = true;
    }
    void setLabel(std::string label)
    {
        finish();
        if (!m_terminal)
            std::cerr << label << '\n';
        m_label = std::move(label);
        m_lastPercent = 101;
    }
    void finish()
    {
        if (m_drawn)
            std::cerr << '\n';
        m_drawn = false;
    }

private:
    std::string m_label;
    bool m_terminal = isatty(STDERR_FILENO) != 0;
    unsigned m_lastPercent = 101;
    bool m_drawn = false;
};

// Why the run failed, and what to do about it.
std::string outcomeMessage(const transfer::TransferReport& report, const PortOptions& options)
{
    const auto port = [](const std::string& word) { return word.empty() ? std::string("built-in") : word; };
    switch (report.outcome) {
    case transfer::TransferOutcome::NoOutput:
        return "output port " + port(options.out) +
               " cannot be opened (gone, or refused): see `quillon-cli ports` and name it again";
    case transfer::TransferOutcome::NoInput:
        return "input port " + port(options.in) +
               " cannot be opened (gone, or held by another program): close that program, or see `quillon-cli ports`";
    case transfer::TransferOutcome::NoReply:
        // A stopped server is why, not a wait that ran out.
        if (report.stall.cause == midi::StallCause::ServerStopped)
            return report.detail;
        return "no reply from the keyboard within " + std::to_string(options.replyTimeoutMs) + " ms: " + report.detail +
               (report.stall.cause == midi::StallCause::KeyboardSilent
                    ? " Check that --out and --in lead to the keyboard and that it is on, then send again."
                    : "");
    case transfer::TransferOutcome::SendFailed:
        return "a message did not leave the output port in time: " + report.detail + " Send again.";
    default:
        return std::string(transfer::outcomeName(report.outcome)) + (report.detail.empty() ? "" : ": " + report.detail);
    }
}

// Reads every file of the list once and checks those bytes; the transfer sends
// exactly them. Nothing when a file cannot be read or fails its checks (said on stderr).
std::shared_ptr<const transfer::TransferSnapshot> readAndCheck(CommandContext& context, transfer::TransferList& list)
{
    auto snapshot = transfer::takeSnapshot(list, [](const std::string& name) { return std::filesystem::path(name); });
    if (!snapshot->ok()) {
        reportBadInput(context,
                       snapshot->refusedFile + ": " +
                           transfer::refusalText(*snapshot->refusal, snapshot->refusedFile, snapshot->refusedLength));
        return nullptr;
    }
    for (auto& entry : list.entries)
        entry.sizeText = transfer::sizeText(snapshot->lengthOf(entry.fileName).value_or(0));
    return snapshot;
}

void runAndReport(CommandContext& context, transfer::TransferList list, const PortOptions& options,
                  const std::string& command)
{
    const auto snapshot = readAndCheck(context, list);
    if (!snapshot)
        return;
    // Ctrl+C or a TERM ends the run as Cancel does in the window: the keyboard
    // is told, so that the next run finds it ready.
    transfer::TransferStop stop;
    StopSignals signals; // before the MIDI system starts threads
    signals.start([&stop](int) { stop.request(); });
    auto system = midi::MidiSystem::createDefault();
    const auto out = choosePort(*system, options.out, midi::Direction::Output);
    const auto in = choosePort(*system, options.in, midi::Direction::Input);
    if (!out || !in)
        return fail(context, !out ? out.reason() : in.reason());

    transfer::TransferHandshake handshake(std::move(list), transfer::snapshotReader(snapshot));
    // The run goes into the same log as the window's, under the name the song lists by, so the slot map holds it.
    transfer::TransferRecorder recorder([&snapshot](const std::string& name) { return snapshot->lengthOf(name); });
    if (const auto port = system->resolve(*out, midi::Direction::Output))
        recorder.setDevice(transfer::deviceIdentity(port->name));
    SendReport sendReport(command);
    sendReport.ports(*system, *out, *in);
    ProgressBar bar("sending");
    transfer::TransferOptions transferOptions{
        .output = *out,
        .input = *in,
        .replyTimeout = std::chrono::milliseconds(options.replyTimeoutMs),
        .keepOutputOpen = !options.openPerMessage,
        .onProgress = [&bar](unsigned p, unsigned r) { bar.show(p, r); },
        .onStatus = [&bar](const std::string& status) { bar.setLabel(status); },
        .stop = &stop,
        .onSent = [&sendReport](std::span<const std::uint8_t> bytes) { sendReport.sent(bytes); },
        .onReply = [&sendReport](std::uint32_t packed) { sendReport.reply(packed); },
        .recorder = &recorder};
    const auto report = transfer::runTransfer(*system, handshake, transferOptions);
    bar.finish();
    auto records = recorder.takeNewRecords();
    for (auto& record : records)
        record.fileName = std::filesystem::path(record.fileName).filename().string();
    // Without a data folder here there is no log to keep, as in the window.
    const DataFolders folders;
    std::error_code missing;
    if (!transfer::appendTransferLog(transfer::transferLogPath(folders), records) &&
        std::filesystem::is_directory(folders.root(), missing))
        std::cerr << "quillon-cli: the run could not be added to " << transfer::transferLogPath(folders).string()
                  << '\n';
    if (!options.reportFile.empty()) {
        const bool finished = report.outcome == transfer::TransferOutcome::Finished;
        std::string outcome = finished ? "finished" : outcomeMessage(report, options);
        if (finished && !handshake.cutShortSongs().empty()) {
            outcome += ", but the keyboard ended these songs early:";
            for (const auto& song : handshake.cutShortSongs())
                outcome += ' ' + song;
        }
        if (!sendReport.write(options.reportFile, outcome))
            fail(context, "cannot write the report to " + options.reportFile);
    }
    if (report.outcome == transfer::TransferOutcome::Interrupted) {
        std::cerr << "quillon-cli: interrupted (" << (signals.received() == SIGINT ? "SIGINT" : "SIGTERM")
                  << "): the transfer was ended; run the command again to send\n";
        context.exitCode = 128 + signals.received();
        return;
    }
    if (report.outcome != transfer::TransferOutcome::Finished)
        return fail(context, outcomeMessage(report, options));
    // The keyboard ended these songs early: the run went to its end, but they did not arrive whole.
    for (const auto& song : handshake.cutShortSongs())
        fail(context, song + ": the keyboard ended this song before all of its blocks were sent; it is not stored");

    const double seconds = std::chrono::duration<double>(report.elapsed).count();
    std::cout << "sent " << report.messagesSent << " messages, " << report.bytesSent << " bytes in " << seconds
              << " s\n";
    if (auto* keyboard = system->keyboard(); keyboard && options.out.empty()) {
        for (const auto& [slot, bytes] : keyboard->songs())
            std::cout << "built-in keyboard: slot " << slot << " holds " << bytes.size() << " bytes\n";
        if (const auto rom = keyboard->romImage())
            std::cout << "built-in keyboard: ROM image of " << rom->size() << " bytes\n";
    }
}

struct SongsOptions {
    std::vector<std::string> files;
    std::string slots;
    PortOptions ports;
};

void sendSongs(CommandContext& context, const SongsOptions& options)
{
    if (const auto tooMany = transfer::checkSelectionCount(options.files.size(), transfer::TransferKind::Songs))
        return reportBadInput(context, std::string(transfer::messageText(*tooMany)));
    std::vector<int> slots;
    if (!options.slots.empty()) {
        auto parsed = parseSlots(options.slots, options.files.size());
        if (!parsed)
            return reportBadInput(context, parsed.reason());
        slots = *parsed;
    }
    transfer::TransferList list{transfer::TransferKind::Songs, {}};
    for (std::size_t i = 0; i < options.files.size(); ++i) {
        const int slot = slots.empty() ? static_cast<int>(i) + 1 : slots[i];
        list.entries.push_back({options.files[i], {}, slot});
    }
    // As the window does: said, and sent as asked.
    if (const auto repeats = transfer::repeatedSlotsText(list); !repeats.empty())
        std::cerr << "quillon-cli: warning: " << repeats << '\n';
    std::string command = "send-songs";
    for (std::size_t i = 0; i < options.files.size(); ++i)
        command += " " + options.files[i] + " (slot " + std::to_string(list.entries[i].slot) + ")";
    runAndReport(context, std::move(list), options.ports, command);
}

struct RomOptions {
    std::string file;
    PortOptions ports;
};

void sendRom(CommandContext& context, const RomOptions& options)
{
    transfer::TransferList list{transfer::TransferKind::RomImage, {{options.file, {}, 1}}};
    runAndReport(context, std::move(list), options.ports, "send-rom " + options.file);
}

struct CurveSendOptions {
    std::string preset;
    std::string points;
    std::string values;
    PortOptions ports;
};

Result<curve::KeyPoints> curvePoints(const CurveSendOptions& options)
{
    const bool preset = !options.preset.empty();
    if (preset == (!options.points.empty() || !options.values.empty()) ||
        options.points.empty() != options.values.empty())
        return quillon::fail("give either --preset NAME or both --points X0,..,X6 and --values Y0,..,Y6");
    if (preset) {
        const auto index = curve::findPreset(options.preset);
        if (!index)
            return quillon::fail("unknown preset \"" + options.preset + "\"");
        return curve::presetCurves()[*index].points;
    }
    const auto x = parseSeven(options.points, "--points");
    const auto y = parseSeven(options.values, "--values");
    if (!x || !y)
        return quillon::fail(!x ? x.reason() : y.reason());
    curve::KeyPoints points{*x, *y};
    if (const auto valid = curve::checkKeyPoints(points); !valid)
        return quillon::fail(valid.reason());
    return points;
}

void sendCurve(CommandContext& context, const CurveSendOptions& options)
{
    const auto points = curvePoints(options);
    if (!points)
        return reportBadInput(context, points.reason());
    const auto message = curve::buildCurveMessage(curve::computeCurveTable(*points));
    if (!message)
        return reportBadInput(context, message.reason());

    auto system = midi::MidiSystem::createDefault();
    const auto out = choosePort(*system, options.ports.out, midi::Direction::Output);
    if (!out)
        return fail(context, out.reason());
    ProgressBar bar("sending curve");
    bar.show(0, 1);
    const auto result = system->sendOne(*out, *message);
    if (result == midi::SendResult::OpenFailed)
        return fail(context, "output port " + options.ports.out +
                                 " cannot be opened: see `quillon-cli ports` and name it again");
    if (result == midi::SendResult::SendFailed) {
        midi::StallWatch watch;
        const auto stall = watch.diagnose(*system, *out, midi::PortChoice::defaultRoute());
        return fail(context, "the curve did not leave the output port in time: " +
                                 stallNotice(stall, text::kStallKeyboardSilent));
    }
    bar.show(1, 1);
    bar.finish();
    std::cout << "sent curve message of " << message->size() << " bytes\n";
    if (auto* keyboard = system->keyboard(); keyboard && options.ports.out.empty() && keyboard->curve())
        std::cout << "built-in keyboard: curve stored\n";
}

void listPorts()
{
    auto system = midi::MidiSystem::createDefault();
    const auto outputs = system->outputs();
    const auto inputs = system->inputs();
    std::cout << "outputs:\n  -1  default route";
    if (const auto route = system->resolve(midi::PortChoice::defaultRoute(), midi::Direction::Output))
        std::cout << " (" << route->backend << ": " << route->name << ")";
    std::cout << '\n';
    for (std::size_t i = 0; i < outputs.size(); ++i)
        std::cout << "  " << i << "  " << outputs[i].label << '\n';
    std::cout << "inputs:\n";
    for (std::size_t i = 0; i < inputs.size(); ++i)
        std::cout << "  " << i << "  " << inputs[i].label << '\n';
}

} // namespace

void registerSendCommands(CLI::App& app, CommandContext& context)
{
    app.add_subcommand("ports", "list MIDI output and input ports with the indices --out and --in take")->callback([] {
        listPorts();
    });

    auto curveOptions = std::make_shared<CurveSendOptions>();
    auto* curveCommand = app.add_subcommand("send-curve", "send a velocity curve (one SysEx message)");
    curveCommand->add_option("--preset", curveOptions->preset, "a preset by its list name, e.g. Hard2.crv");
    curveCommand->add_option("--points", curveOptions->points, "seven key-point source velocities X0,..,X6");
    curveCommand->add_option("--values", curveOptions->values, "seven key-point new velocities Y0,..,Y6");
    addPortOptions(*curveCommand, curveOptions->ports, false);
    curveCommand->callback([&context, curveOptions] { sendCurve(context, *curveOptions); });

    auto songOptions = std::make_shared<SongsOptions>();
    auto* songsCommand = app.add_subcommand("send-songs", "send format-0 MIDI files into keyboard song slots");
    songsCommand->add_option("files", songOptions->files, "the .mid files, at most 28")->required();
    songsCommand->add_option("--slots", songOptions->slots, "slot of each file, e.g. 5,1,5 (default 1,2,3,...)");
    addPortOptions(*songsCommand, songOptions->ports, true);
    songsCommand->callback([&context, songOptions] { sendSongs(context, *songOptions); });

    auto romOptions = std::make_shared<RomOptions>();
    auto* romCommand = app.add_subcommand("send-rom", "update the keyboard's ROM from an image file");
    romCommand->add_option("file", romOptions->file, "the .bin image")->required();
    addPortOptions(*romCommand, romOptions->ports, true);
    romCommand->callback([&context, romOptions] { sendRom(context, *romOptions); });
}

} // namespace quillon::cli
