#pragma once
// Each group of quillon-cli subcommands registers itself here. A command's
// callback sets the process exit status through CommandContext::exitCode.
#include <CLI/CLI.hpp>

namespace quillon::cli {

struct CommandContext {
    int exitCode = 0;
};

// Prints one line to stderr and marks the run as bad input (exit status 2).
void reportBadInput(CommandContext& context, const std::string& message);

void registerCurveCommands(CLI::App& app, CommandContext& context);
void registerFrameCommands(CLI::App& app, CommandContext& context);
void registerFileCommands(CLI::App& app, CommandContext& context);
void registerSendCommands(CLI::App& app, CommandContext& context);
void registerDemoCommands(CLI::App& app, CommandContext& context);
void registerConvertCommands(CLI::App& app, CommandContext& context);
void registerSlotCommands(CLI::App& app, CommandContext& context);

} // namespace quillon::cli
