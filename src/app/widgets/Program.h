#pragma once
// What one run of quillon owns, built in the order it needs: the MIDI system,
// the message service, the session, and the main window with its buttons
// wired to the program's other windows (curve editor, player, Send commands).
// Needs a QApplication; the program shows the window with exec().
#include "app/widgets/MainWindow.h"
#include "midi/io/MidiSystem.h"
#include "session/Session.h"
#include "ui/MessageService.h"

#include <memory>

namespace quillon::app {

class Program {
public:
    Program();
    MainWindow& mainWindow() { return m_window; }
    session::Session& session() { return m_session; }

    // The application's name, icon and desktop entry, set once before any window shows.
    static void setIdentity();

private:
    std::unique_ptr<midi::MidiSystem> m_midi;
    ui::DesktopMessageService m_messages;
    session::Session m_session;
    MainWindow m_window;
};

} // namespace quillon::app
