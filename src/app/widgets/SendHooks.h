#pragma once
// Plugs the song and ROM image "&Send" commands into the main window.
namespace quillon::session {
class Session;
} // namespace quillon::session

namespace quillon::app {

struct MainWindowHooks;

// The hooks act on the session handed in here, which must outlive the window.
void installSendHooks(MainWindowHooks& hooks, session::Session& session);

} // namespace quillon::app
