#pragma once
// The main window's two "&Send" commands: check the chosen files (how many;
// for songs "MThd" and format 0), put them in the session's transfer list with
// their size texts, ask the user to confirm, and run the Send File window.
// Every refusal is one message box with its exact text; nothing is opened
// after a refusal and no file is changed.
#include <string>
#include <vector>

class QWidget;

namespace quillon::app {
class Session;
}

namespace quillon::transfer {

// The checks and the confirmation; true when the user answered Yes. The
// session's transfer list holds every file that passed, even after a refusal.
bool confirmSongSend(QWidget& parent, app::Session& session, const std::vector<std::string>& names);
bool confirmRomSend(QWidget& parent, app::Session& session, const std::vector<std::string>& names);

// The whole commands: the checks, then the Send File window, run modally.
void sendSongs(QWidget& parent, app::Session& session, const std::vector<std::string>& names);
void sendRomImage(QWidget& parent, app::Session& session, const std::vector<std::string>& names);

} // namespace quillon::transfer
