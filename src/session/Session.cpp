#include "session/Session.h"

#include <utility>

namespace quillon::session {

Session::Session(midi::MidiSystem* midi, ui::MessageService& messages, DataFolders folders)
    : RunBasics(messages, std::move(folders)), m_midi(midi)
{
}

} // namespace quillon::session
