// A song refused for its format is offered as a format 0 copy: made beside
// it on Yes (never replacing a file), listed and selected in the main window,
// and then sent like any other song; nothing is made on No.
#include "TransferRig.h"

#include "../player/SmfBuilder.h"
#include "app/widgets/FileListWidget.h"
#include "app/widgets/MainWindow.h"
#include "player/core/MidiFile.h"
#include "transfer/core/SongCheck.h"
#include "transfer/widgets/SendCommands.h"
#include "transfer/widgets/SendHooks.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QtTest>

#include <fstream>
#include <iterator>
#include <set>

using namespace quillon;
using quillon::testing::TrackBytes;
using quillon::testing::TransferRig;
using transfer::SendFileDialog;
using ui::MessageAnswer;
using ui::MessageButtons;
using ui::MessageIcon;
using ui::ShownMessage;

namespace {

const ShownMessage kRefusal{"Hox software V1.0",
                            "   Sorry, this program only process MIDI file format 0!\n \nYou can use the tool Smfshift "
                            "to change the midi file format!",
                            MessageIcon::None, MessageButtons::Ok};

ShownMessage offerFor(const std::string& name)
{
    return {"Quillon v1.1 Beta",
            "Make a format 0 copy of " + name +
                " beside it, to send in its place?\r\nThe original file stays as it is.",
            MessageIcon::Question, MessageButtons::YesNo};
}

// Three tracks with a tempo change and notes interleaved in time: 9 events
// besides the End of Track events.
frame::Bytes format1Song()
{
    TrackBytes conductor;
    conductor.tempo(0, 500000).tempo(192, 250000).end(0);
    TrackBytes piano;
    piano.event(0, {0x90, 60, 100}).event(96, {0x80, 60, 0}).event(96, {0x90, 64, 90}).event(192, {0x80, 64, 0}).end();
    TrackBytes bass;
    bass.event(48, {0x91, 36, 80}).event(240, {0x81, 36, 0}).event(10, {0xC1, 5}).end();
    return quillon::testing::smf(1, 96, {conductor, piano, bass});
}

frame::Bytes readBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return frame::Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The refusal is acknowledged, then the offer answered.
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
        rig.session.outputChoice = midi::PortChoice::of(rig.system.outputs().front().ref);
        rig.session.inputChoice = midi::PortChoice::of(rig.system.inputs().front().ref);
        app::MainWindowHooks hooks;
        transfer::installSendHooks(hooks, rig.session);
        window.setHooks(std::move(hooks));
        window.refillFileList();
    }

    bool select(const QString& name)
    {
        auto& list = window.fileList();
        list.clearSelection();
        const auto found = list.findItems(name, Qt::MatchExactly);
        if (found.size() != 1)
            return false;
        list.setCurrentItem(found.front(), QItemSelectionModel::ClearAndSelect);
        return true;
    }

    void triggerSend()
    {
        QMenu* menu = window.buildFileMenu(app::FileCategory::Songs, &window);
        for (QAction* action : menu->actions())
            if (action->text() == QStringLiteral("&Send"))
                action->trigger();
        delete menu;
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

class Format0OfferTest : public QObject {
    Q_OBJECT
private slots:
    void yesMakesACopyThatIsListedSelectedAndSendable()
    {
        TransferRig rig;
        rig.writeSong("plain.mid", 600, 1);
        const frame::Bytes original = format1Song();
        TransferRig::write(rig.folders.songPath("multi.mid"), original);
        MainWindowRig main(rig);
        QVERIFY(main.select("multi.mid"));

        answerOffer(rig, MessageAnswer::Yes);
        main.triggerSend();

        QCOMPARE(rig.messages.messages(), (std::vector<ShownMessage>{kRefusal, offerFor("multi.mid")}));
        QVERIFY(rig.messages.dialogTitles().empty()); // nothing is sent on the way
        const auto copyPath = rig.folders.songPath("multi-0.mid");
        QVERIFY(readBytes(rig.folders.songPath("multi.mid")) == original);
        QVERIFY(transfer::checkSongFile(copyPath).ok());
        const auto copy = player::readMidiFile(readBytes(copyPath));
        QVERIFY2(copy.ok(), copy.ok() ? "" : copy.reason().c_str());
        QCOMPARE(copy->format, 0);
        QCOMPARE(copy->tracks.size(), 1u);
        QCOMPARE(copy->tracks[0].events.size(), 10u); // nine events and one End of Track
        QCOMPARE(copy->tracks[0].endTick, std::uint64_t(384));

        QCOMPARE(main.listed().size(), 3);
        QVERIFY(main.listed().contains("multi-0.mid"));
        const app::FileSelection selection = main.window.currentSelection();
        QCOMPARE(selection.names, std::vector<std::string>{"multi-0.mid"});
        QCOMPARE(selection.caretName, std::string("multi-0.mid"));

        // The selected copy now passes the checks and reaches the keyboard whole.
        rig.messages.clear();
        rig.messages.answerNext(MessageAnswer::Yes);
        rig.whileWindowOpen([](SendFileDialog& window) {
            window.sendButton().click();
            QTRY_VERIFY_WITH_TIMEOUT(window.handshake() && window.handshake()->isFinished(), 10000);
            window.closeButton().click();
        });
        main.triggerSend();
        QCOMPARE(rig.messages.dialogTitles(), std::vector<QString>{"Send File"});
        QVERIFY(rig.keyboard.song(1) == readBytes(copyPath));
    }

    void noMakesNothing()
    {
        TransferRig rig;
        rig.writeSong("plain.mid", 600, 1);
        TransferRig::write(rig.folders.songPath("multi.mid"), format1Song());
        MainWindowRig main(rig);
        QVERIFY(main.select("multi.mid"));
        const auto before = songFolderNames(rig);

        answerOffer(rig, MessageAnswer::No);
        main.triggerSend();

        QCOMPARE(rig.messages.messages(), (std::vector<ShownMessage>{kRefusal, offerFor("multi.mid")}));
        QCOMPARE(songFolderNames(rig), before);
        QCOMPARE(main.window.currentSelection().names, std::vector<std::string>{"multi.mid"});
    }

    void anExistingCopyIsNeverReplaced()
    {
        TransferRig rig;
        TransferRig::write(rig.folders.songPath("multi.mid"), format1Song());
        const auto earlier = rig.writeSong("multi-0.mid", 700, 4);
        MainWindowRig main(rig);
        QVERIFY(main.select("multi.mid"));

        answerOffer(rig, MessageAnswer::Yes);
        main.triggerSend();

        QVERIFY(readBytes(rig.folders.songPath("multi-0.mid")) == earlier);
        QVERIFY(transfer::checkSongFile(rig.folders.songPath("multi-0-2.mid")).ok());
        QCOMPARE(main.listed().size(), 3);
        QCOMPARE(main.window.currentSelection().names, std::vector<std::string>{"multi-0-2.mid"});
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
        QVERIFY(
            !transfer::confirmSongSend(rig.owner, rig.session, {"broken.mid"}, [&](const std::string&) { ++shown; }));

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

QTEST_MAIN(Format0OfferTest)
#include "Format0OfferTest.moc"
