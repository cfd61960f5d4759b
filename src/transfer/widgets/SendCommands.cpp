#include "transfer/widgets/SendCommands.h"

#include "base/core/Messages.h"
#include "player/core/Format0Converter.h"
#include "session/Session.h"
#include "transfer/core/SongCheck.h"
#include "transfer/widgets/SendFileDialog.h"
#include "ui/MessageService.h"

namespace quillon::transfer {

namespace {

void reportRefusal(QWidget& parent, ui::MessageService& messages, const Preparation& preparation)
{
    const CheckReason reason = *preparation.refusal;
    // The two verdicts on a file's MIDI content carry their own caption and no icon.
    const bool aboutContent = reason == CheckReason::NotMidiFile || reason == CheckReason::NotFormat0;
    messages.inform(&parent, aboutContent ? text::kMidiFormatTitle : text::kProgramTitle,
                    refusalText(reason, preparation.refusedFile, preparation.refusedLength),
                    aboutContent ? ui::MessageIcon::None : ui::MessageIcon::Stop);
}

} // namespace

void offerFormat0Copy(QWidget& parent, session::Session& session, const std::string& fileName,
                      const ShowNewSong& showNewSong)
{
    auto& messages = session.messages();
    const std::string question =
        std::string(text::kConvertQuestionPrefix) + fileName + std::string(text::kConvertQuestionSuffix);
    if (!messages.askYesNo(&parent, text::kProgramTitle, question, ui::MessageIcon::Question))
        return;
    const auto copy = player::convertSongBeside(session.folders().songPath(fileName));
    if (!copy) {
        messages.inform(&parent, text::kProgramTitle,
                        std::string(text::kCannotConvert) + fileName + "\r\n" + copy.reason(), ui::MessageIcon::Stop);
        return;
    }
    if (showNewSong)
        showNewSong(copy->filename().string(), fileName);
}

namespace {

bool confirm(QWidget& parent, session::Session& session, const Preparation& preparation,
             const ShowNewSong& showNewSong = {})
{
    session.transfers = preparation.list;
    if (!preparation.ok()) {
        reportRefusal(parent, session.messages(), preparation);
        if (*preparation.refusal == CheckReason::NotFormat0 && !preparation.refusedFile.empty())
            offerFormat0Copy(parent, session, preparation.refusedFile, showNewSong);
        return false;
    }
    return session.messages().askYesNo(&parent, text::kProgramTitle, text::kConfirmSend, ui::MessageIcon::Stop);
}

void runDialog(QWidget& parent, session::Session& session)
{
    SendFileDialog dialog(session, &parent);
    session.messages().execDialog(dialog);
}

} // namespace

bool confirmSongSend(QWidget& parent, session::Session& session, const std::vector<std::string>& names,
                     const ShowNewSong& showNewSong)
{
    return confirm(parent, session, prepareSongs(DiskFiles(), session.folders().songFolder(), names), showNewSong);
}

bool confirmRomSend(QWidget& parent, session::Session& session, const std::vector<std::string>& names)
{
    return confirm(parent, session, prepareRomImage(DiskFiles(), session.folders().romFolder(), names));
}

void sendSongs(QWidget& parent, session::Session& session, const std::vector<std::string>& names,
               const ShowNewSong& showNewSong)
{
    if (confirmSongSend(parent, session, names, showNewSong))
        runDialog(parent, session);
}

void sendRomImage(QWidget& parent, session::Session& session, const std::vector<std::string>& names)
{
    if (confirmRomSend(parent, session, names))
        runDialog(parent, session);
}

} // namespace quillon::transfer
