// The song and ROM image "&Send" commands: the checks with their exact messages,
// the confirmation, and the format 0 copy offered for a song refused for its format.
#include "TransferRig.h"

#include "../player/SmfBuilder.h"
#include "app/widgets/FileListWidget.h"
#include "app/widgets/MainWindow.h"
#include "app/widgets/SendHooks.h"
#include "base/core/Messages.h"
#include "transfer/widgets/SendCommands.h"

#include <QPushButton>
#include <QtTest>

#include <set>

using namespace quillon;
using namespace quillon::testing;
using namespace quillon::ui;
using transfer::SendFileDialog;

namespace {

const std::string kProgram = "Quillon v1.1 Beta";
const std::string kFormatCaption = "Hox software V1.0";
// The format refusal's own text is the command line's test's.
const ShownMessage kFormatRefusal{kFormatCaption, std::string(text::kNotFormat0), MessageIcon::None,
                                  MessageButtons::Ok};

const std::string kCannotOpen = "The file can't be opened,please Select Right Download File, try again!";

// A refusal in the program's own name: a stop sign and Ok.
ShownMessage refusal(const std::string& text) { return {kProgram, text, MessageIcon::Stop, MessageButtons::Ok}; }

const ShownMessage kConfirmation{kProgram, "The file will be sent to midi device. Are you sure?\r\n", MessageIcon::Stop,
                                 MessageButtons::YesNo};

ShownMessage offerFor(const std::string& name)
{
    return {kProgram, std::string(text::kConvertQuestionPrefix) + name + std::string(text::kConvertQuestionSuffix),
            MessageIcon::Question, MessageButtons::YesNo};
}

frame::Bytes format1Song()
{
    TrackBytes conductor;
    conductor.tempo(0, 500000).end(0);
    TrackBytes piano;
    piano.event(0, {0x90, 60, 100}).event(96, {0x80, 60, 0}).end();
    return quillon::testing::smf(1, 96, {conductor, piano});
}

// The format refusal is acknowledged, then the offer answered.
void answerOffer(TransferRig& rig, MessageAnswer answer)
{
    rig.messages.answerNext(MessageAnswer::Ok);
    rig.messages.answerNext(answer);
}

} // namespace

class SendCommandsTest : public QObject {
    Q_OBJECT
private slots:
    // None opens the window (Yes does); the format refusal and its offer are the offer test's.
    void aRefusedOrDeclinedSongSendShowsWhyAndOpensNothing()
    {
        const struct {
            int songs; // how many are selected
            bool riff; // bad.mid is there, a RIFF file, rather than gone
            ShownMessage shown;
        } cases[] = {
            {29, false, refusal("The Number of select files exceed 28!\n\n Please select again!")},
            {3, false, refusal(kCannotOpen)},
            {1, false, kConfirmation}, // No to the confirmation
            {3,
             true,
             {kFormatCaption, "ERROR, The input file is not a MIDI file!", MessageIcon::None, MessageButtons::Ok}},
        };
        for (const auto& [songs, riff, shown] : cases) {
            TransferRig rig;
            rig.writeSong("first.mid", 300, 1);
            rig.writeSong("last.mid", 300, 3);
            if (riff)
                TransferRig::write(rig.folders.songPath("bad.mid"),
                                   frame::Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 6, 0, 0, 0, 1});
            std::vector<std::string> names = {"first.mid", "bad.mid", "last.mid"};
            if (songs != 3)
                names.assign(songs, "first.mid");
            transfer::sendSongs(rig.owner, rig.session, names);
            QCOMPARE(rig.messages.messages(), std::vector<ShownMessage>{shown});
            QVERIFY(rig.messages.dialogTitles().empty());
        }
    }

    void romImageChecks()
    {
        TransferRig rig;
        rig.writeRom("one.bin", 2048, 1);
        rig.writeRom("two.bin", 2048, 2);

        QVERIFY(!transfer::confirmRomSend(rig.owner, rig.session, {"one.bin", "two.bin"}));
        QVERIFY(!transfer::confirmRomSend(rig.owner, rig.session, {"gone.bin"}));
        // The content of an image is never judged: noise is fine.
        rig.messages.answerNext(ui::MessageAnswer::Yes);
        QVERIFY(transfer::confirmRomSend(rig.owner, rig.session, {"one.bin"}));

        const std::vector<ShownMessage> expected = {
            refusal("The Number of select files exceed one!\n\nPlease select again!"), refusal(kCannotOpen),
            kConfirmation};
        QCOMPARE(rig.messages.messages(), expected);
        QCOMPARE(rig.session.transfers.kind, transfer::TransferKind::RomImage);
        QCOMPARE(rig.session.transfers.entries.size(), 1u);
    }

    // No to the offer makes nothing and changes no selection; Yes makes the copy,
    // lists it and selects it in the refused song's place; a song that cannot be
    // converted makes nothing.
    void aFormatRefusalOffersACopyThatYesMakesListsAndSelects()
    {
        TransferRig rig;
        rig.writeSong("plain.mid", 600, 1);
        const frame::Bytes original = format1Song();
        TransferRig::write(rig.folders.songPath("multi.mid"), original);
        app::MainWindow main(rig.session);
        app::MainWindowHooks hooks;
        app::installSendHooks(hooks, rig.session);
        main.setHooks(std::move(hooks));
        main.refillFileList();
        main.fileList().selectAll(); // the two songs, the caret on multi.mid
        main.fileList().setCurrentItem(main.fileList().findItems("multi.mid", Qt::MatchExactly).value(0),
                                       QItemSelectionModel::Select);
        const auto before = rig.onDisk("mid");
        const std::vector<ShownMessage> refusalAndOffer = {kFormatRefusal, offerFor("multi.mid")};

        answerOffer(rig, MessageAnswer::No);
        main.sendSelectedSongs();
        QCOMPARE(rig.messages.messages(), refusalAndOffer);
        QCOMPARE(rig.onDisk("mid"), before);

        rig.messages.clear();
        answerOffer(rig, MessageAnswer::Yes);
        main.sendSelectedSongs();
        QCOMPARE(rig.messages.messages(), refusalAndOffer);
        QVERIFY(rig.messages.dialogTitles().empty()); // nothing is sent on the way
        QVERIFY(readBytes(rig.folders.songPath("multi.mid")) == original);
        QCOMPARE(main.fileList().count(), 3);
        const app::FileSelection selection = main.currentSelection();
        QCOMPARE(std::set<std::string>(selection.names.begin(), selection.names.end()),
                 (std::set<std::string>{"multi-0.mid", "plain.mid"}));
        QCOMPARE(selection.caretName, std::string("multi-0.mid"));

        // A song that cannot be converted (the right head, noise after it) says why and leaves no file.
        auto broken = rig.writeSong("broken.mid", 300, 9);
        broken[9] = 1;
        TransferRig::write(rig.folders.songPath("broken.mid"), broken);
        const auto withBroken = rig.onDisk("mid");
        rig.messages.clear();
        answerOffer(rig, MessageAnswer::Yes);
        QVERIFY(!transfer::confirmSongSend(rig.owner, rig.session, {"broken.mid"}));
        QCOMPARE(rig.messages.messages().size(), 3u);
        const std::string prefix = "The song can't be converted: broken.mid\r\n";
        const std::string& failure = rig.messages.messages()[2].text;
        QVERIFY2(failure.starts_with(prefix) && failure.size() > prefix.size(), failure.c_str()); // the reason follows
        QCOMPARE(rig.onDisk("mid"), withBroken);
    }
};

QUILLON_QTEST(SendCommandsTest)
#include "SendCommandsTest.moc"
