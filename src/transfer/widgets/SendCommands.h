#pragma once
// The main window's two "&Send" commands: check the chosen files (how many;
// for songs "MThd" and format 0), put them in the session's transfer list with
// their size texts, ask the user to confirm, and run the Send File window.
// Every refusal is one message box with its exact text; nothing is opened
// after a refusal and no file is changed. A song refused for not being of
// format 0 may then be copied, on the user's Yes, into a new format 0 file
// beside it (never replacing a file); the copy is shown in the caller's list,
// selected in the refused song's place. Nothing is sent on the way.
#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace quillon::session {
class Session;
}

namespace quillon::transfer {

// Called with the name of a format 0 copy just made in the song folder and
// the song it was made from, so that the list the user chose from can show
// the copy and select it in the original's place.
using ShowNewSong = std::function<void(const std::string& copyName, const std::string& originalName)>;

// Asks whether to copy a song of the song folder into a new format 0 file
// beside it; on Yes makes the copy and hands its name on, or tells why it
// could not be made.
void offerFormat0Copy(QWidget& parent, session::Session& session, const std::string& fileName,
                      const ShowNewSong& showNewSong);

// The checks and the confirmation; true when the user answered Yes. The
// session's transfer list holds every file that passed, even after a refusal.
// After a format refusal the copy is offered; showNewSong may be empty.
bool confirmSongSend(QWidget& parent, session::Session& session, const std::vector<std::string>& names,
                     const ShowNewSong& showNewSong = {});
bool confirmRomSend(QWidget& parent, session::Session& session, const std::vector<std::string>& names);

// The whole commands: the checks, then the Send File window, run modally.
void sendSongs(QWidget& parent, session::Session& session, const std::vector<std::string>& names,
               const ShowNewSong& showNewSong = {});
void sendRomImage(QWidget& parent, session::Session& session, const std::vector<std::string>& names);

} // namespace quillon::transfer
