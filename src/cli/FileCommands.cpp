#include "cli/Commands.h"

namespace quillon::cli {

void registerFileCommands(CLI::App& app, CommandContext& context)
{
    (void)app;
    (void)context;
}

} // namespace quillon::cli
