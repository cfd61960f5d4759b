#pragma once
// What every window of a run shares and the prompts need: where messages are
// shown, the data folders and the name the last name prompt accepted. The
// session (src/session) adds what belongs to the areas above: ports and the
// transfer list.
#include "base/core/DataFolders.h"

#include <string>
#include <utility>

namespace quillon::ui {
class MessageService;
}

namespace quillon::base {

class RunBasics {
public:
    explicit RunBasics(ui::MessageService& messages, DataFolders folders = DataFolders())
        : m_messages(&messages), m_folders(std::move(folders))
    {
    }

    ui::MessageService& messages() const { return *m_messages; }
    // The data folder, relative to the working directory unless given a base.
    const DataFolders& folders() const { return m_folders; }

    std::string chosenName; // empty until a name prompt accepts one

private:
    ui::MessageService* m_messages;
    DataFolders m_folders;
};

} // namespace quillon::base
