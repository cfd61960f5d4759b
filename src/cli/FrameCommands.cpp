#include "cli/Commands.h"

namespace quillon::cli {

void registerFrameCommands(CLI::App& app, CommandContext& context)
{
    (void)app;
    (void)context;
}

} // namespace quillon::cli
