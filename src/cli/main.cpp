// quillon-cli: everything Quillon computes and sends, from a terminal.
#include "cli/Commands.h"

#include <iostream>

namespace quillon::cli {
void reportBadInput(CommandContext& context, const std::string& message)
{
    std::cerr << "quillon-cli: " << message << '\n';
    context.exitCode = 2;
}
} // namespace quillon::cli

int main(int argc, char** argv)
{
    using namespace quillon::cli;
    CLI::App app{"Quillon command-line tool: curves, frames, song checks, listings and sending"};
    app.require_subcommand(1);
    CommandContext context;
    registerCurveCommands(app, context);
    registerFrameCommands(app, context);
    registerFileCommands(app, context);
    registerSendCommands(app, context);
    registerDemoCommands(app, context);
    registerConvertCommands(app, context);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        return app.exit(help);
    } catch (const CLI::CallForAllHelp& help) {
        return app.exit(help);
    } catch (const CLI::ParseError& error) {
        // One clear line, never a page of usage, and always status 2 for bad input.
        std::cerr << "quillon-cli: " << error.what() << '\n';
        return 2;
    }
    return context.exitCode;
}
