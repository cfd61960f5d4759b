#include "app/widgets/Program.h"

#include "app/widgets/SendHooks.h"
#include "curve/widgets/CurveEditor.h"
#include "player/widgets/MidiPlayWindow.h"
#include "ui/ProgramIcon.h"

#include <QApplication>

namespace quillon::app {

namespace {

MainWindowHooks programHooks(session::Session& session)
{
    MainWindowHooks hooks;
    hooks.openCurveEditor = [&session](QWidget& parent) {
        curve::CurveEditor editor(session, &parent);
        session.messages().execDialog(editor);
    };
    hooks.playSongs = [&session](QWidget& parent, const FileSelection&) { player::runMidiPlayWindow(session, parent); };
    installSendHooks(hooks, session);
    return hooks;
}

} // namespace

Program::Program() : m_midi(midi::MidiSystem::createDefault()), m_session(m_midi.get(), m_messages), m_window(m_session)
{
    m_window.setHooks(programHooks(m_session));
}

void Program::setIdentity()
{
    // The windows' class on X11, which the desktop entry's StartupWMClass names.
    QApplication::setApplicationName(QStringLiteral("Quillon"));
    // Wayland's application id: the desktop matches the windows to the menu
    // entry (and its icon) by this name.
    QApplication::setDesktopFileName(QStringLiteral(QUILLON_APP_ID));
    QApplication::setWindowIcon(ui::programIcon());
}

} // namespace quillon::app
