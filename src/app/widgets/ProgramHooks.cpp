#include "app/widgets/ProgramHooks.h"

#include "app/widgets/Session.h"
#include "curve/widgets/CurveEditor.h"
#include "player/widgets/MidiPlayWindow.h"
#include "transfer/widgets/SendHooks.h"
#include "ui/MessageService.h"

namespace quillon::app {

MainWindowHooks programHooks(Session& session)
{
    MainWindowHooks hooks;
    hooks.openCurveEditor = [&session](QWidget& parent) {
        curve::CurveEditor editor(session, &parent);
        session.messages().execDialog(editor);
    };
    hooks.playSongs = [&session](QWidget& parent, const FileSelection&) { player::runMidiPlayWindow(session, parent); };
    transfer::installSendHooks(hooks, session);
    return hooks;
}

} // namespace quillon::app
