// quillon-cli convert-format0: a song of format 1 (or 0) rewritten as format 0,
// the only format the keyboard takes, with every track merged in time order.
// Exit status: 0 written, 1 the new file could not be written, 2 bad input
// (missing or unusable song, or an output file that exists already).
#include "cli/Commands.h"

#include "base/core/ReplaceFile.h"
#include "player/core/Format0Converter.h"
#include "player/core/SongFacts.h"

#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

namespace quillon::cli {

namespace {

struct ConvertOptions {
    std::string input;
    std::string output; // empty: "name-0.mid" beside the input
};

void runConvert(const ConvertOptions& options, CommandContext& context)
{
    const auto bytes = player::readSongBytes(options.input);
    if (!bytes)
        return reportBadInput(context, "convert-format0: " + bytes.reason());
    auto converted = player::convertToFormat0(*bytes);
    if (!converted)
        return reportBadInput(context, "convert-format0: " + options.input + ": " + converted.reason());

    std::filesystem::path output = options.output;
    if (output.empty()) {
        auto beside = player::format0TargetPath(options.input);
        if (!beside)
            return reportBadInput(context, "convert-format0: " + beside.reason());
        output = *beside;
    } else {
        std::error_code error;
        if (std::filesystem::exists(std::filesystem::symlink_status(output, error)))
            return reportBadInput(context,
                                  "convert-format0: " + output.string() + " exists already; it is not overwritten");
    }
    if (auto written = base::replaceFile(output, *converted, base::Existing::Keep); !written) {
        std::cerr << "quillon-cli: convert-format0: " << written.reason() << '\n';
        context.exitCode = 1;
        return;
    }
    std::cout << output.string() << '\n';
}

} // namespace

void registerConvertCommands(CLI::App& app, CommandContext& context)
{
    auto options = std::make_shared<ConvertOptions>();
    auto* convert = app.add_subcommand(
        "convert-format0",
        "Write a Standard MIDI File of format 1 (or 0) as a new format 0 file: all tracks merged into one in\n"
        "time order (equal times keep track order), meta events kept, one End of Track, division unchanged.\n"
        "Without OUT the new file is IN's name with \"-0\" added beside it (\"-0-2\", \"-0-3\" ... when taken).\n"
        "Prints the new file's path. An existing OUT is never overwritten (exit status 2).");
    convert->add_option("IN", options->input, "the song to convert")->required();
    convert->add_option("OUT", options->output, "the new format 0 file (must not exist)");
    convert->callback([options, &context] { runConvert(*options, context); });
}

} // namespace quillon::cli
