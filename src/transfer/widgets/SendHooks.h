#pragma once
// Plugs the song and ROM image "&Send" commands into the main window.
namespace quillon::app {
class Session;
struct MainWindowHooks;
} // namespace quillon::app

namespace quillon::transfer {

// The hooks act on the session handed in here, which must outlive the window.
void installSendHooks(app::MainWindowHooks& hooks, app::Session& session);

} // namespace quillon::transfer
