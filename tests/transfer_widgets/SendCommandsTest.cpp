// The song and ROM image "&Send" commands: the checks with their exact
// messages, the confirmation, the offer of a format 0 copy for a song refused
// for its format (made beside it on Yes, never replacing a file, listed,
// selected and then passing the checks like any other song).
#include "TransferRig.h"

#include "../player/SmfBuilder.h"
#include "app/widgets/FileListWidget.h"
#include "app/widgets/MainWindow.h"
#include "app/widgets/SendHooks.h"
#include "base/core/Messages.h"
#include "transfer/core/SongCheck.h"
#include "transfer/widgets/SendCommands.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QtTest>

#include <set>

using namespace quillon;
using quillon::testing::readBytes;
using quillon::testing::TrackBytes;
using quillon::testing::TransferRig;
using transfer::SendFileDialog;
using ui::MessageAnswer;
using ui::MessageButtons;
using ui::MessageIcon;
using ui::ShownMessage;

namespace {

const std::string kProgram = "Quillon v1.1 Beta";
const std::string kFormatCaption = "Hox software V1.0";
const ShownMessage kFormatRefusal{kFormatCaption,
                                  "   Sorry, this program only process MIDI file format 0!\n \nYou can use the tool "
                                  "Smfshift to change the midi file format!",
                                  MessageIcon::None, MessageButtons::Ok};

ShownMessage confirmation()
{
    return {kProgram, "The file will be sent to midi device. Are you sure?\r\n", MessageIcon::Stop,
            MessageButtons::YesNo};
}

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

// The main window on the rig's session with the send commands plugged in and
// the rig's ports chosen again (a new main window forgets them).
struct MainWindowRig {
    explicit MainWindowRig(TransferRig& rig) : window(rig.session)
    {
        rig.chooseKeyboard();
        app::MainWindowHooks hooks;
        app::installSendHooks(hooks, rig.session);
        window.setHooks(std::move(hooks));
        window.refillFileList();
    }

    bool select(const QStringList& names)
    {
        auto& list = window.fileList();
        list.clearSelection();
        for (const QString& name : names) {
            const auto found = list.findItems(name, Qt::MatchExactly);
            if (found.size() != 1)
                return false;
            list.setCurrentItem(found.front(), QItemSelectionModel::Select);
        }
        return true;
    }

    // "&Send" from the file list's menu.
    void triggerSend()
    {
        std::unique_ptr<QMenu> menu(window.buildFileMenu(base::FileCategory::Songs, &window));
        for (QAction* action : menu->actions())
            if (action->text() == QStringLiteral("&Send"))
                action->trigger();
    }

    QStringList listed() const
    {
        QStringList names;
        for (int row = 0; row < window.fileList().count(); ++row)
            names.append(window.fileList().item(row)->text());
        return names;
    }

    app::MainWindow window;
};

} // namespace

class SendCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void songRefusalsShowTheirOwnTextAndOpenNothing_data()
    {
        QTest::addColumn<QString>("refusal");
        QTest::newRow("29 songs") << "count";
        QTest::newRow("file gone") << "gone";
        QTest::newRow("not a MIDI file") << "not midi";
        QTest::newRow("format 1") << "format 1";
    }

    void songRefusalsShowTheirOwnTextAndOpenNothing()
    {
        QFETCH(QString, refusal);
        TransferRig rig;
        rig.writeSong("first.mid", 300, 1);
        std::vector<std::string> names = {"first.mid", "bad.mid", "last.mid"};
        rig.writeSong("last.mid", 300, 3);
        ShownMessage expected;
        if (refusal == "count") {
            names.assign(29, "first.mid");
            expected = {kProgram, "The Number of select files exceed 28!\n\n Please select again!", MessageIcon::Stop,
                        MessageButtons::Ok};
        } else if (refusal == "gone") {
            expected = {kProgram, "The file can't be opened,please Select Right Download File, try again!",
                        MessageIcon::Stop, MessageButtons::Ok};
        } else if (refusal == "format 1") {
            auto bytes = rig.writeSong("bad.mid", 300, 2);
            bytes[9] = 1;
            TransferRig::write(rig.folders.songPath("bad.mid"), bytes);
            expected = kFormatRefusal;
        } else {
            TransferRig::write(rig.folders.songPath("bad.mid"),
                               frame::Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 6, 0, 0, 0, 1});
            expected = {kFormatCaption, "ERROR, The input file is not a MIDI file!", MessageIcon::None,
                        MessageButtons::Ok};
        }

        QVERIFY(!transfer::confirmSongSend(rig.owner, rig.session, names));
        // A format refusal is followed by the offer of a format 0 copy (answered No here).
        QCOMPARE(rig.messages.messages().size(), refusal == "format 1" ? 2u : 1u);
        QCOMPARE(rig.messages.messages()[0], expected);
        QVERIFY(rig.messages.dialogTitles().empty());
    }

    // Yes opens the Send File window, as every test of that window shows.
    void noToTheConfirmationOpensNothing()
    {
        TransferRig rig;
        rig.writeSong("small.mid", 1024, 1);
        rig.messages.answerNext(ui::MessageAnswer::No);
        transfer::sendSongs(rig.owner, rig.session, {"small.mid"});
        QCOMPARE(rig.messages.messages(), std::vector<ShownMessage>{confirmation()});
        QVERIFY(rig.messages.dialogTitles().empty());
    }

    void noSelectedSongStillAsksAndOpensAnEmptyWindowThatCannotSend()
    {
        TransferRig rig;
        int rows = -1;
        rig.sendSongs({}, [&](SendFileDialog& window) {
            rows = window.list().rowCount();
            QVERIFY(!window.sendButton().isEnabled());
            window.send();
            QVERIFY(!window.isTransferring());
        });
        QCOMPARE(rig.messages.messages(), std::vector<ShownMessage>{confirmation()});
        QCOMPARE(rows, 0);
        QCOMPARE(rig.keyboard.messagesReceived(), 0u);
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
            {kProgram, "The Number of select files exceed one!\n\nPlease select again!", MessageIcon::Stop,
             MessageButtons::Ok},
            {kProgram, "The file can't be opened,please Select Right Download File, try again!", MessageIcon::Stop,
             MessageButtons::Ok},
            confirmation()};
        QCOMPARE(rig.messages.messages(), expected);
        QCOMPARE(rig.session.transfers.kind, transfer::TransferKind::RomImage);
        QCOMPARE(rig.session.transfers.entries.size(), 1u);
        QCOMPARE(rig.session.transfers.entries[0].sizeText, std::string(" 2.00K"));
        QVERIFY(rig.messages.dialogTitles().empty());
    }

    // No to the offer makes nothing and changes no selection; Yes makes the copy,
    // lists it and selects it in the refused song's place.
    void aFormatRefusalOffersACopyThatYesMakesListsAndSelects()
    {
        TransferRig rig;
        rig.writeSong("plain.mid", 600, 1);
        const frame::Bytes original = format1Song();
        TransferRig::write(rig.folders.songPath("multi.mid"), original);
        MainWindowRig main(rig);
        QVERIFY(main.select({"plain.mid", "multi.mid"}));
        const auto before = songFolderNames(rig);
        const std::vector<ShownMessage> refusalAndOffer = {kFormatRefusal, offerFor("multi.mid")};

        answerOffer(rig, MessageAnswer::No);
        main.triggerSend();
        QCOMPARE(rig.messages.messages(), refusalAndOffer);
        QCOMPARE(songFolderNames(rig), before);
        QCOMPARE(main.window.currentSelection().caretName, std::string("multi.mid"));
        QCOMPARE(main.window.currentSelection().names.size(), 2u);

        rig.messages.clear();
        answerOffer(rig, MessageAnswer::Yes);
        main.triggerSend();
        QCOMPARE(rig.messages.messages(), refusalAndOffer);
        QVERIFY(rig.messages.dialogTitles().empty()); // nothing is sent on the way
        QVERIFY(readBytes(rig.folders.songPath("multi.mid")) == original);
        QCOMPARE(main.listed().size(), 3);
        QVERIFY(main.listed().contains("multi-0.mid"));
        const app::FileSelection selection = main.window.currentSelection();
        QCOMPARE(std::set<std::string>(selection.names.begin(), selection.names.end()),
                 (std::set<std::string>{"multi-0.mid", "plain.mid"}));
        QCOMPARE(selection.caretName, std::string("multi-0.mid"));

        // The selected songs now pass the Send checks: only the confirmation is asked.
        rig.messages.clear();
        rig.messages.answerNext(MessageAnswer::Yes);
        QVERIFY(transfer::confirmSongSend(rig.owner, rig.session, selection.names));
        QCOMPARE(rig.messages.messages(), std::vector<ShownMessage>{confirmation()});
    }

    void aSongThatCannotBeConvertedSaysWhyAndLeavesNoFile()
    {
        TransferRig rig;
        // The right head for the check, noise after it: no track can be read.
        auto broken = rig.writeSong("broken.mid", 300, 9);
        broken[9] = 1;
        TransferRig::write(rig.folders.songPath("broken.mid"), broken);
        const auto before = songFolderNames(rig);
        int shown = 0;

        answerOffer(rig, MessageAnswer::Yes);
        QVERIFY(!transfer::confirmSongSend(rig.owner, rig.session, {"broken.mid"},
                                           [&](const std::string&, const std::string&) { ++shown; }));

        QCOMPARE(rig.messages.messages().size(), 3u);
        const ShownMessage& failure = rig.messages.messages()[2];
        QCOMPARE(failure.title, std::string("Quillon v1.1 Beta"));
        QCOMPARE(failure.icon, MessageIcon::Stop);
        const std::string prefix = "The song can't be converted: broken.mid\r\n";
        QVERIFY2(failure.text.rfind(prefix, 0) == 0, failure.text.c_str());
        QVERIFY(failure.text.size() > prefix.size()); // the reason follows
        QCOMPARE(songFolderNames(rig), before);
        QCOMPARE(shown, 0);
    }
};

QUILLON_QTEST(SendCommandsTest)
#include "SendCommandsTest.moc"
