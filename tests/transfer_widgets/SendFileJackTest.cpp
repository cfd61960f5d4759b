// The Send File window across real JACK ports to quillon-keyboard, which
// stores what arrives as files. Skipped when no JACK server answers (the test
// runner starts one with the dummy driver).
#include "TransferRig.h"

#include "../support/KeyboardProcess.h"
#include "midi/widgets/SetDeviceDialog.h"
#include "transfer/widgets/SendCommands.h"

#include <QProcess>
#include <QPushButton>
#include <QtTest>

using namespace quillon;
using namespace quillon::testing;
using transfer::SendFileDialog;

class SendFileJackTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QProcess probe;
        probe.start(QStringLiteral("jack_lsp"), {});
        if (!probe.waitForFinished() || probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0)
            QSKIP("no JACK server reachable");
    }

    // Set device confirmed untouched reaches the keyboard both ways, and the songs land in
    // their slots, each row telling in turn how its song goes; the slots chosen and each
    // block's bytes are the window's and core's to check.
    void songsCrossRealPortsChosenBySetDeviceDefaults()
    {
        const quillon::testing::TempFolder scratch;
        const auto& store = scratch.path();
        const DataFolders folders(scratch.path() / "files");
        std::filesystem::create_directories(folders.songFolder());
        frame::Bytes songs[3];
        for (unsigned i = 0; i < 3; ++i) {
            songs[i] = TransferRig::songBytes(1500 + 4000 * i, i + 1);
            TransferRig::write(folders.songPath("song" + std::to_string(i) + ".mid"), songs[i]);
        }

        quillon::testing::KeyboardProcess keyboard("quillon-send-" + std::to_string(QCoreApplication::applicationPid()),
                                                   scratch.path() / "keyboard.log", {"--store", store.string()});
        QVERIFY2(keyboard.start(), keyboard.log().c_str());
        auto system = midi::MidiSystem::createDefault();
        ui::RecordingMessageService messages;
        session::Session session(system.get(), messages, folders);
        midi::SetDeviceDialog devices(*system, session.outputChoice, session.inputChoice);
        devices.okButton().click();
        session.outputChoice = devices.chosenOutput();
        session.inputChoice = devices.chosenInput();
        QWidget owner;
        // A server that changes 8-bit SysEx (PipeWire 1.x) cannot carry a data block.
        const bool refused = !system->routeTraits(session.outputChoice).eightBitSysEx;

        messages.answerNext(ui::MessageAnswer::Yes);
        QStringList rowStates; // each change of the "Send" cells, the highlighted row marked with "*"
        messages.onNextDialog([&rowStates, refused](QDialog& dialog) {
            auto& window = dynamic_cast<SendFileDialog&>(dialog);
            QObject::connect(&window, &SendFileDialog::rowStatesShown, [&] {
                QStringList cells;
                for (int row = 0; row < window.list().rowCount(); ++row)
                    cells << window.list().cellText(row, SendFileDialog::SendColumn) +
                                 (window.list().cellBackground(row, 0).style() == Qt::NoBrush ? "" : "*");
                if (rowStates.isEmpty() || rowStates.back() != cells.join('|'))
                    rowStates << cells.join('|');
            });
            window.sendButton().click();
            if (!refused)
                QTRY_COMPARE_WITH_TIMEOUT(window.closeButton().text(), QString("Ok"), 30000);
            window.closeButton().click();
        });
        transfer::sendSongs(owner, session, {"song0.mid", "song1.mid", "song2.mid"});

        if (refused) { // said before anything went out, and nothing stored
            QVERIFY(messages.messages().size() == 2u);
            QVERIFY(messages.messages().back().text.find("PipeWire 1.x changes the byte 89") != std::string::npos);
            QVERIFY(keyboard.stop());
            QVERIFY(!std::filesystem::exists(store / "slot01.mid"));
            return;
        }
        QCOMPARE(rowStates, (QStringList{"Yes|Yes|Yes", "Sending*|Yes|Yes", "Sent|Sending*|Yes", "Sent|Sent|Sending*",
                                         "Sent|Sent|Sent"}));
        QTRY_VERIFY_WITH_TIMEOUT(keyboard.log().find("slot03.mid") != std::string::npos, 10000);
        QVERIFY(keyboard.stop());
        QVERIFY(readBytes(store / "slot01.mid") == songs[0]);
        QVERIFY(readBytes(store / "slot02.mid") == songs[1]);
        QVERIFY(readBytes(store / "slot03.mid") == songs[2]);
        QVERIFY2(keyboard.log().find("\nerror") == std::string::npos, keyboard.log().c_str());
        QVERIFY(messages.messages().size() == 1u); // the confirmation, nothing else
    }
};

QUILLON_QTEST(SendFileJackTest)
#include "SendFileJackTest.moc"
