// The Send File window across real JACK ports to quillon-keyboard, which
// stores what arrives as files. Skipped when no JACK server answers (the test
// runner starts one with the dummy driver).
#include "TransferRig.h"

#include "midi/widgets/SetDeviceDialog.h"
#include "transfer/widgets/SendCommands.h"

#include <QProcess>
#include <QPushButton>
#include <QtTest>

using namespace quillon;
using quillon::testing::TransferRig;
using transfer::SendFileDialog;

namespace {

frame::Bytes readAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    return frame::Bytes(bytes.begin(), bytes.end());
}

// quillon-keyboard storing into `store`, started and listening; the log so far goes to `log`.
bool startKeyboard(QProcess& keyboard, const QString& name, const QString& store, QByteArray& log)
{
    keyboard.setProcessChannelMode(QProcess::MergedChannels);
    keyboard.start(QStringLiteral(QUILLON_BINARY_DIR "/src/cli/quillon-keyboard"),
                   {"--api", "jack", "--name", name, "--store", store});
    if (!keyboard.waitForStarted())
        return false;
    QDeadlineTimer deadline(10000);
    while (!(log += keyboard.readAll()).contains("listening") && !deadline.hasExpired())
        keyboard.waitForReadyRead(100);
    return log.contains("listening");
}

} // namespace

class SendFileJackTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QProcess probe;
        probe.setStandardOutputFile(QProcess::nullDevice());
        probe.setStandardErrorFile(QProcess::nullDevice());
        probe.start(QStringLiteral("jack_lsp"), {});
        if (!probe.waitForFinished() || probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0)
            QSKIP("no JACK server reachable");
    }

    // A user who confirms Set device without touching it reaches the keyboard
    // both ways, and the songs' road across real ports ends in their slots; the
    // slots chosen and what each block carries are the window's and the
    // transfer core's to check.
    void songsCrossRealPortsChosenBySetDeviceDefaults()
    {
        QTemporaryDir files;
        QTemporaryDir store;
        const DataFolders folders(std::filesystem::path(files.path().toStdString()));
        std::filesystem::create_directories(folders.songFolder());
        frame::Bytes songs[2];
        for (unsigned i = 0; i < 2; ++i) {
            songs[i] = TransferRig::songBytes(1500 + 4000 * i, i + 1);
            TransferRig::write(folders.songPath("song" + std::to_string(i) + ".mid"), songs[i]);
        }

        QProcess keyboard;
        QByteArray log;
        QVERIFY(startKeyboard(keyboard, QStringLiteral("quillon-send-%1").arg(QCoreApplication::applicationPid()),
                              store.path(), log));
        auto system = midi::MidiSystem::createDefault();
        ui::RecordingMessageService messages;
        base::Session session(system.get(), messages, folders);
        midi::SetDeviceDialog devices(*system, session.outputChoice, session.inputChoice);
        devices.okButton().click();
        session.outputChoice = devices.chosenOutput();
        session.inputChoice = devices.chosenInput();
        QWidget owner;

        messages.answerNext(ui::MessageAnswer::Yes);
        messages.onNextDialog([](QDialog& dialog) {
            auto& window = dynamic_cast<SendFileDialog&>(dialog);
            window.sendButton().click();
            QTRY_COMPARE_WITH_TIMEOUT(window.closeButton().text(), QString("Ok"), 30000);
            window.closeButton().click();
        });
        transfer::sendSongs(owner, session, {"song0.mid", "song1.mid"});

        QTRY_VERIFY_WITH_TIMEOUT((log += keyboard.readAll()).contains("slot02.mid"), 10000);
        keyboard.terminate();
        keyboard.waitForFinished();
        log += keyboard.readAll();
        QVERIFY(readAll(store.path() + "/slot01.mid") == songs[0]);
        QVERIFY(readAll(store.path() + "/slot02.mid") == songs[1]);
        QVERIFY2(!log.contains("\nerror"), log.constData());
        QVERIFY(messages.messages().size() == 1u); // the confirmation, nothing else
    }
};

QUILLON_QTEST(SendFileJackTest)
#include "SendFileJackTest.moc"
