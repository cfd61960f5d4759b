#include "transfer/widgets/SendHooks.h"

#include "app/widgets/MainWindow.h"
#include "transfer/widgets/SendCommands.h"

namespace quillon::transfer {

void installSendHooks(app::MainWindowHooks& hooks, app::Session& session)
{
    hooks.sendSongs = [&session](QWidget& parent, const app::FileSelection& selection) {
        sendSongs(parent, session, selection.names);
    };
    hooks.sendRomImage = [&session](QWidget& parent, const app::FileSelection& selection) {
        sendRomImage(parent, session, selection.names);
    };
}

} // namespace quillon::transfer
