#include "transfer/widgets/SendHooks.h"

#include "app/widgets/MainWindow.h"
#include "transfer/widgets/SendCommands.h"

namespace quillon::transfer {

void installSendHooks(app::MainWindowHooks& hooks, app::Session& session)
{
    hooks.sendSongs = [&session](QWidget& parent, const app::FileSelection& selection) {
        // A format 0 copy made on the way appears selected in the main window's list.
        auto* window = qobject_cast<app::MainWindow*>(&parent);
        sendSongs(parent, session, selection.names, [window](const std::string& fileName) {
            if (window)
                window->refillAndSelect(fileName);
        });
    };
    hooks.sendRomImage = [&session](QWidget& parent, const app::FileSelection& selection) {
        sendRomImage(parent, session, selection.names);
    };
}

} // namespace quillon::transfer
