#include "base/widgets/Session.h"

#include <utility>

namespace quillon::base {

Session::Session(midi::MidiSystem* midi, ui::MessageService& messages, DataFolders folders)
    : m_midi(midi), m_messages(&messages), m_folders(std::move(folders))
{
}

} // namespace quillon::base
