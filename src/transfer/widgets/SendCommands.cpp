#include "transfer/widgets/SendCommands.h"

#include "app/core/Messages.h"
#include "app/widgets/Session.h"
#include "transfer/core/SongCheck.h"
#include "transfer/widgets/SendFileDialog.h"
#include "ui/MessageService.h"

namespace quillon::transfer {

namespace {

void reportRefusal(QWidget& parent, ui::MessageService& messages, CheckReason reason)
{
    // The two verdicts on a file's MIDI content carry their own caption and no icon.
    const bool aboutContent = reason == CheckReason::NotMidiFile || reason == CheckReason::NotFormat0;
    messages.inform(&parent, aboutContent ? text::kMidiFormatTitle : text::kProgramTitle, messageText(reason),
                    aboutContent ? ui::MessageIcon::None : ui::MessageIcon::Stop);
}

bool confirm(QWidget& parent, app::Session& session, const Preparation& preparation)
{
    session.transfers = preparation.list;
    if (!preparation.ok()) {
        reportRefusal(parent, session.messages(), *preparation.refusal);
        return false;
    }
    return session.messages().askYesNo(&parent, text::kProgramTitle, text::kConfirmSend, ui::MessageIcon::Stop);
}

void runDialog(QWidget& parent, app::Session& session)
{
    SendFileDialog dialog(session, &parent);
    session.messages().execDialog(dialog);
}

} // namespace

bool confirmSongSend(QWidget& parent, app::Session& session, const std::vector<std::string>& names)
{
    return confirm(parent, session, prepareSongs(DiskFiles(), session.folders().songFolder(), names));
}

bool confirmRomSend(QWidget& parent, app::Session& session, const std::vector<std::string>& names)
{
    return confirm(parent, session, prepareRomImage(DiskFiles(), session.folders().romFolder(), names));
}

void sendSongs(QWidget& parent, app::Session& session, const std::vector<std::string>& names)
{
    if (confirmSongSend(parent, session, names))
        runDialog(parent, session);
}

void sendRomImage(QWidget& parent, app::Session& session, const std::vector<std::string>& names)
{
    if (confirmRomSend(parent, session, names))
        runDialog(parent, session);
}

} // namespace quillon::transfer
