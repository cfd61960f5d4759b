#include "app/widgets/SendHooks.h"

#include "app/widgets/MainWindow.h"
#include "transfer/widgets/SendCommands.h"

namespace quillon::app {

void installSendHooks(MainWindowHooks& hooks, session::Session& session)
{
    hooks.sendSongs = [&session](QWidget& parent, const FileSelection& selection) {
        // A format 0 copy made on the way is selected in the main window's list
        // in the refused song's place; the other chosen songs stay selected.
        auto* window = qobject_cast<MainWindow*>(&parent);
        transfer::sendSongs(parent, session, selection.names,
                            [window](const std::string& copyName, const std::string& originalName) {
                                if (window)
                                    window->refillAndSelect(copyName, originalName);
                            });
    };
    hooks.sendRomImage = [&session](QWidget& parent, const FileSelection& selection) {
        transfer::sendRomImage(parent, session, selection.names);
    };
}

} // namespace quillon::app
