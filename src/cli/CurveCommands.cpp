#include "cli/Commands.h"

namespace quillon::cli {

void registerCurveCommands(CLI::App& app, CommandContext& context)
{
    (void)app;
    (void)context;
}

} // namespace quillon::cli
