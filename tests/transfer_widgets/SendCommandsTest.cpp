// The song and ROM image "&Send" commands: the checks with their exact messages,
// the confirmation, and the format 0 copy offered for a song refused for its format.
#include "TransferRig.h"

#include "../player/SmfBuilder.h"
#include "app/widgets/FileListWidget.h"
#include "app/widgets/MainWindow.h"
#include "app/widgets/SendHooks.h"
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
const ShownMessage kFormatRefusal{kFormatCaption,
                                  "   Sorry, this program only process MIDI file format 0!\n \nYou can use the tool "
                                  "Smfshift to change the midi file format!",
                                  MessageIcon::None, MessageButtons::Ok};

const std::string kCannotOpen = "The file can't be opened,please Select Right Download File, try again!";

// A refusal in the program's own name: a stop sign and Ok.
ShownMessage refusal(const std::string& text) { return {kProgram, text, MessageIcon::Stop, MessageButtons::Ok}; }

const ShownMessage kConfirmation{kProgram, "The file will be sent to midi device. Are you sure?\r\n", MessageIcon::Stop,
                                 MessageButtons::YesNo};

ShownMessage offerFor(const std::string& name)
{
    return {kProgram,
            "Make a format 0 copy of " + name +
                " beside it?\r\nThe copy is added to the list and selected, ready to be sent. The original file "
                "stays as it is.",
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

std::set<std::string> songFolderNames(const TransferRig& rig)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(rig.folders.songFolder()))
        names.insert(entry.path().filename().string());
    return names;
}

} // namespace

Q_DECLARE_METATYPE(ShownMessage)

class SendCommandsTest : public QObject {
    Q_OBJECT
private slots:
    // None opens the window (Yes does); the format refusal and its offer are the offer test's.
    void aRefusedOrDeclinedSongSendShowsWhyAndOpensNothing_data()
    {
        QTest::addColumn<int>("songs"); // how many are selected
        QTest::addColumn<bool>("riff"); // bad.mid is there, a RIFF file, rather than gone
        QTest::addColumn<ShownMessage>("shown");
        QTest::newRow("29 songs") << 29 << false
                                  << refusal("The Number of select files exceed 28!\n\n Please select again!");
        QTest::newRow("file gone") << 3 << false << refusal(kCannotOpen);
        QTest::newRow("No to the confirmation") << 1 << false << kConfirmation;
        QTest::newRow("not a MIDI file") << 3 << true
                                         << ShownMessage{kFormatCaption, "ERROR, The input file is not a MIDI file!",
                                                         MessageIcon::None, MessageButtons::Ok};
    }

    void aRefusedOrDeclinedSongSendShowsWhyAndOpensNothing()
    {
        QFETCH(int, songs);
        QFETCH(bool, riff);
        QFETCH(ShownMessage, shown);
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
        const auto before = songFolderNames(rig);
        const std::vector<ShownMessage> refusalAndOffer = {kFormatRefusal, offerFor("multi.mid")};

        answerOffer(rig, MessageAnswer::No);
        main.sendSelectedSongs();
        QCOMPARE(rig.messages.messages(), refusalAndOffer);
        QCOMPARE(songFolderNames(rig), before);
        QCOMPARE(main.currentSelection().caretName, std::string("multi.mid"));
        QCOMPARE(main.currentSelection().names.size(), 2u);

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
        const auto withBroken = songFolderNames(rig);
        int shown = 0;
        rig.messages.clear();
        answerOffer(rig, MessageAnswer::Yes);
        QVERIFY(!transfer::confirmSongSend(rig.owner, rig.session, {"broken.mid"},
                                           [&](const std::string&, const std::string&) { ++shown; }));
        QCOMPARE(rig.messages.messages().size(), 3u);
        const std::string prefix = "The song can't be converted: broken.mid\r\n";
        const std::string& failure = rig.messages.messages()[2].text;
        QVERIFY2(failure.starts_with(prefix) && failure.size() > prefix.size(), failure.c_str()); // the reason follows
        QCOMPARE(songFolderNames(rig), withBroken);
        QCOMPARE(shown, 0);
    }
};

QUILLON_QTEST(SendCommandsTest)
#include "SendCommandsTest.moc"
