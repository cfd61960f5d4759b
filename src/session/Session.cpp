#include "session/Session.h"

#include <utility>

namespace quillon::session {

Session::Session(midi::MidiSystem* midi, ui::MessageService& messages, DataFolders folders)
    : RunBasics(messages, std::move(folders)), m_midi(midi)
{
}

std::optional<std::string> Session::chosenKeyboard() const
{
    if (!m_midi || outputChoice.kind == midi::PortChoice::Kind::NotChosen)
        return std::nullopt;
    const auto port = m_midi->resolve(outputChoice, midi::Direction::Output);
    if (!port)
        return std::nullopt;
    return transfer::deviceIdentity(port->name);
}

transfer::SlotMap Session::slotMap() const { return transfer::readSlotMap(transfer::transferLogPath(folders())); }

} // namespace quillon::session
