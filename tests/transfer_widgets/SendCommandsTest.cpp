// The song and ROM image "&Send" commands: the checks with their exact
// messages, the confirmation, and the whole road from the main window's menu
// to the keyboard.
#include "TransferRig.h"

#include "app/core/Messages.h"
#include "app/widgets/FileListWidget.h"
#include "app/widgets/MainWindow.h"
#include "transfer/widgets/SendCommands.h"
#include "transfer/widgets/SendHooks.h"
#include "ui/EditableList.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QPushButton>
#include <QtTest>

using namespace quillon;
using quillon::testing::TransferRig;
using transfer::SendFileDialog;
using ui::MessageButtons;
using ui::MessageIcon;
using ui::ShownMessage;

namespace {

const std::string kProgram = "Quillon v1.1 Beta";
const std::string kFormatCaption = "Hox software V1.0";

ShownMessage confirmation()
{
    return {kProgram, "The file will be sent to midi device. Are you sure?\r\n", MessageIcon::Stop,
            MessageButtons::YesNo};
}

QAction* sendAction(app::MainWindow& window, app::FileCategory category)
{
    QMenu* menu = window.buildFileMenu(category, &window);
    for (QAction* action : menu->actions()) {
        if (action->text() == QStringLiteral("&Send"))
            return action;
    }
    return nullptr;
}

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
        QTest::newRow("too short for a format") << "short";
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
            expected = {kFormatCaption,
                        "   Sorry, this program only process MIDI file format 0!\n \nYou can use the tool Smfshift to "
                        "change the midi file format!",
                        MessageIcon::None, MessageButtons::Ok};
        } else {
            TransferRig::write(rig.folders.songPath("bad.mid"),
                               refusal == "short" ? frame::Bytes{'M', 'T', 'h', 'd', 0, 0}
                                                  : frame::Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 6, 0, 0, 0, 1});
            expected = {kFormatCaption, "ERROR, The input file is not a MIDI file!", MessageIcon::None,
                        MessageButtons::Ok};
        }

        QVERIFY(!transfer::confirmSongSend(rig.owner, rig.session, names));
        // A format refusal is followed by the offer of a format 0 copy (answered No here).
        QCOMPARE(rig.messages.messages().size(), refusal == "format 1" ? 2u : 1u);
        QCOMPARE(rig.messages.messages()[0], expected);
        QVERIFY(rig.messages.dialogTitles().empty());
        // Files before the refused one were checked and kept; none after it.
        if (refusal != "count") {
            QCOMPARE(rig.session.transfers.entries.size(), 1u);
            QCOMPARE(rig.session.transfers.entries[0].fileName, std::string("first.mid"));
        }
    }

    void theConfirmationDecidesWhetherTheWindowOpens()
    {
        TransferRig rig;
        rig.writeSong("small.mid", 1024, 1);
        rig.writeSong("large.mid", 102400, 2);
        const std::vector<std::string> names = {"small.mid", "large.mid"};

        rig.messages.answerNext(ui::MessageAnswer::No);
        transfer::sendSongs(rig.owner, rig.session, names);
        QCOMPARE(rig.messages.messages(), std::vector<ShownMessage>{confirmation()});
        QVERIFY(rig.messages.dialogTitles().empty());

        rig.messages.clear();
        rig.messages.answerNext(ui::MessageAnswer::Yes);
        QStringList sizes;
        rig.whileWindowOpen([&](SendFileDialog& window) {
            sizes = {window.list().cellText(0, 1), window.list().cellText(1, 1)};
        });
        transfer::sendSongs(rig.owner, rig.session, names);
        QCOMPARE(rig.messages.dialogTitles(), std::vector<QString>{"Send File"});
        QCOMPARE(sizes, (QStringList{" 1.00K", "100.00K"}));
    }

    void noSelectedSongStillAsksAndOpensAnEmptyWindow()
    {
        TransferRig rig;
        rig.messages.answerNext(ui::MessageAnswer::Yes);
        int rows = -1;
        rig.whileWindowOpen([&](SendFileDialog& window) { rows = window.list().rowCount(); });
        transfer::sendSongs(rig.owner, rig.session, {});
        QCOMPARE(rig.messages.messages(), std::vector<ShownMessage>{confirmation()});
        QCOMPARE(rows, 0);
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

    void theMainWindowsMenusSendSongsAndRomImagesToTheKeyboard()
    {
        TransferRig rig;
        const auto first = rig.writeSong("first.mid", 1500, 1);
        const auto second = rig.writeSong("second.mid", 4000, 2);
        const auto image = rig.writeRom("image.bin", 3000, 3);
        app::MainWindow window(rig.session);
        // A fresh main window forgets the ports; choose them again as the device dialog would.
        QVERIFY(rig.session.outputChoice.kind == midi::PortChoice::Kind::NotChosen);
        rig.session.outputChoice = midi::PortChoice::of(rig.system.outputs().front().ref);
        rig.session.inputChoice = midi::PortChoice::of(rig.system.inputs().front().ref);
        app::MainWindowHooks hooks;
        transfer::installSendHooks(hooks, rig.session);
        window.setHooks(std::move(hooks));
        window.refillFileList();
        QCOMPARE(window.fileList().count(), 2);
        window.fileList().selectAll();

        auto finishTransfer = [](SendFileDialog& window) {
            window.sendButton().click();
            QTRY_VERIFY_WITH_TIMEOUT(window.handshake() && window.handshake()->isFinished(), 10000);
            window.closeButton().click();
        };
        rig.messages.answerNext(ui::MessageAnswer::Yes);
        rig.whileWindowOpen(finishTransfer);
        QAction* sendSongs = sendAction(window, app::FileCategory::Songs);
        QVERIFY(sendSongs);
        sendSongs->trigger();

        QCOMPARE(rig.session.transfers.entries.size(), 2u);
        for (const auto& entry : rig.session.transfers.entries)
            QVERIFY(rig.keyboard.song(entry.slot) == (entry.fileName == "first.mid" ? first : second));

        auto* categories = window.findChild<QComboBox*>();
        QVERIFY(categories);
        categories->setCurrentIndex(1);
        QCOMPARE(rig.session.category, app::FileCategory::RomImages);
        QCOMPARE(window.fileList().count(), 1);
        window.fileList().selectAll();
        rig.messages.answerNext(ui::MessageAnswer::Yes);
        rig.whileWindowOpen(finishTransfer);
        sendAction(window, app::FileCategory::RomImages)->trigger();
        QVERIFY(rig.keyboard.romImage() == image);
        QCOMPARE(rig.messages.dialogTitles(), (std::vector<QString>{"Send File", "Send File"}));
    }
};

QTEST_MAIN(SendCommandsTest)
#include "SendCommandsTest.moc"
