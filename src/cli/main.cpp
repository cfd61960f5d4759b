// quillon-cli: everything Quillon computes and sends, from a terminal.
#include "base/core/Version.h"
#include "cli/Commands.h"

#include <iostream>
#include <string_view>
#include <vector>

namespace quillon::cli {
void reportBadInput(CommandContext& context, const std::string& message)
{
    std::cerr << "quillon-cli: " << message << '\n';
    context.exitCode = 2;
}
} // namespace quillon::cli

namespace {
// check-song takes nothing but file names, and a song's name may start with "-"
// ("-lead.mid"): unless the first word asks for help, the words after the
// command are files, as if "--" had been written before them.
std::vector<char*> withFileNamesAfterCheckSong(int argc, char** argv)
{
    std::vector<char*> arguments(argv, argv + argc);
    static char separator[] = "--";
    if (argc > 2 && std::string_view(argv[1]) == "check-song") {
        const std::string_view first = argv[2];
        if (first != "--" && first != "-h" && first != "--help")
            arguments.insert(arguments.begin() + 2, separator);
    }
    return arguments;
}
} // namespace

int main(int argc, char** argv)
{
    using namespace quillon::cli;
    CLI::App app{"Quillon command-line tool: curves, frames, song checks, listings and sending"};
    app.require_subcommand(1);
    app.set_version_flag("--version", "quillon-cli " QUILLON_VERSION "\n" QUILLON_VERSION_NOTICE);
    CommandContext context;
    registerCurveCommands(app, context);
    registerFrameCommands(app, context);
    registerFileCommands(app, context);
    registerSendCommands(app, context);
    registerDemoCommands(app, context);
    registerConvertCommands(app, context);
    registerSlotCommands(app, context);
    try {
        auto arguments = withFileNamesAfterCheckSong(argc, argv);
        app.parse(static_cast<int>(arguments.size()), arguments.data());
    } catch (const CLI::Success& helpOrVersion) {
        return app.exit(helpOrVersion);
    } catch (const CLI::ParseError& error) {
        // One clear line, never a page of usage, and always status 2 for bad input.
        std::cerr << "quillon-cli: " << error.what() << '\n';
        return 2;
    }
    return context.exitCode;
}
