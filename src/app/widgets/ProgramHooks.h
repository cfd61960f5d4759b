#pragma once
// The main window's buttons wired to the program's other windows, as quillon
// starts them: curve editor, player, and the Send commands.
#include "app/widgets/MainWindow.h"

namespace quillon::app {

class Session;

MainWindowHooks programHooks(Session& session);

} // namespace quillon::app
