// The Send File window end to end, driven by mouse and buttons, the built-in keyboard
// answering: what each run delivers, logs and shows, however it ends.
#include "TransferRig.h"

#include "../support/RunCli.h"

#include "base/core/Messages.h"
#include "transfer/widgets/SendCommands.h"
#include "ui/EditableList.h"
#include "ui/PercentBar.h"

#include <QApplication>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QtTest>

#include <fstream>

using namespace quillon;
using namespace quillon::testing;
using transfer::SendFileDialog;

namespace {

QString qt(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

std::filesystem::path logPath(const TransferRig& rig) { return rig.folders.root() / "transfer-log.txt"; }

// Line breaks themselves are the log's own test's.
QStringList logLines(const TransferRig& rig)
{
    return QString::fromStdString(quillon::testing::readText(logPath(rig))).split('\n', Qt::SkipEmptyParts);
}

// Name, bytes, blocks, slot, result and device: the fields of a log line that do not depend on the clock.
QStringList steadyFields(const QString& line)
{
    const QStringList fields = line.split('\t');
    if (fields.size() != 9)
        return {QStringLiteral("not 9 fields: ") + line};
    return fields.mid(1, 5) << fields[8];
}

QStringList sentLine(const QString& name, std::size_t size, const QString& slot)
{
    const unsigned blocks = frame::blockCount(frame::packedLength(size));
    return {name,   QStringLiteral("%1 bytes").arg(size), QStringLiteral("%1/%1 blocks").arg(blocks), slot,
            "sent", "device Quillon Virtual Keyboard"};
}

} // namespace

class SendFileDialogTest : public QObject {
    Q_OBJECT
private slots:
    // The main use: the songs listed with their sizes and slots, each given a
    // slot, sent byte for byte and logged.
    void threeSongsReachTheirChosenSlotsByteForByte()
    {
        TransferRig rig;
        const auto a = rig.writeSong("a.mid", 3584, 11);
        const auto b = rig.writeSong("b.mid", 5000, 12);
        const auto c = rig.writeSong("c.mid", 2100, 13);
        // What this computer sent before, to this keyboard and another.
        for (const char* line : {"2026-12-05 12:00:00 UTC\tBroken chords.mid\t486 bytes\t1/1 blocks\tslot 1\tsent\t",
                                 "2026-12-06 12:00:00 UTC\tLittle tune.mid\t402 bytes\t1/1 blocks\tslot 2\tsent\t",
                                 "2026-12-06 12:00:00 UTC\tBig.mid\t9 bytes\t0/1 blocks\tslot 3\tcut short\t"})
            std::ofstream(logPath(rig), std::ios::app) << line << "1.0 s\t1.0 KiB/s\tdevice Quillon Virtual Keyboard\n";
        std::ofstream(logPath(rig), std::ios::app)
            << "2026-12-06 12:00:00 UTC\tOther.mid\t9 bytes\t1/1 blocks\tslot 4\tsent\t1 s\t1 KiB/s\tdevice USB Keys\n";
        // The command line logs into the same folder, and its map is the drop-down's.
        const auto here = rig.folders.root().parent_path();
        QCOMPARE(quillon::testing::runCli("send-songs Quillon/mid/b.mid --slots 7", here).status, 0);
        const auto json = quillon::testing::runCli("slots --json", here);
        const auto devices = QJsonDocument::fromJson(QByteArray::fromStdString(json.out))["devices"].toArray();
        QCOMPARE(devices.size(), 2); // this keyboard and USB Keys
        rig.sendSongs({"a.mid", "b.mid", "c.mid"}, [&](SendFileDialog& window) {
            QVERIFY(QTest::qWaitForWindowActive(&window));
            auto& list = window.list();
            QCOMPARE(list.rowCount(), 3);
            QCOMPARE((QStringList{list.cellText(0, 0), list.cellText(0, 1), list.cellText(0, 2), list.cellText(0, 3)}),
                     (QStringList{"a.mid", " 3.50K", "No.01", "Yes"}));

            // One click: the press lands on the cell; the release goes where a
            // window system sends it once a list has opened, to that list.
            const QPoint slotCell = list.cellRect(1, 2).center();
            QTest::mousePress(list.viewport(), Qt::LeftButton, {}, slotCell);
            QWidget* released = QApplication::activePopupWidget();
            if (!released)
                released = list.viewport();
            QTest::mouseRelease(released, Qt::LeftButton, {},
                                released->mapFromGlobal(list.viewport()->mapToGlobal(slotCell)));
            auto* combo = qobject_cast<QComboBox*>(list.activeEditor());
            QVERIFY(combo);
            // The slots name what this computer last sent to this keyboard; a slot never filled, its number alone.
            QCOMPARE((QStringList{combo->itemText(1), combo->itemText(2), combo->itemText(3)}),
                     (QStringList{"No.02 · Little tune.mid · 6 Dec", "No.03 · not known: Big.mid cut short · 6 Dec",
                                  "No.04"}));
            QVERIFY(combo->toolTip().contains("what this computer last sent"));
            QStringList filled;
            for (const auto value : devices[0].toObject()["slots"].toArray()) {
                const QJsonObject slot = value.toObject();
                QCOMPARE(combo->itemText(slot["slot"].toInt() - 1), slot["choice"].toString());
                filled << slot["song"].toString();
            }
            QCOMPARE(filled, (QStringList{"Broken chords.mid", "Little tune.mid", "Big.mid", "b.mid"})); // 1, 2, 3, 7
            QCOMPARE(combo->currentText(), combo->itemText(1));
            QWidget* popup = combo->view()->window();
            QTRY_VERIFY(popup->isVisible());
            QTest::keyClick(combo->view(), Qt::Key_Escape);
            QTRY_VERIFY(!popup->isVisible());
            QVERIFY(window.isVisible()); // Escape in the drop-down leaves the window open
            QCOMPARE(list.cellText(1, 2), QString("No.02"));

            QVERIFY(chooseSlot(window, 0, "No.05"));
            QVERIFY(chooseSlot(window, 1, "No.01"));
            QVERIFY(chooseSlot(window, 2, "No.05"));
            // Two rows, one slot: both marked and said; Send still sends as the rows say.
            for (const int row : {0, 1, 2})
                QCOMPARE(list.cellBackground(row, SendFileDialog::SlotColumn).color() ==
                             SendFileDialog::kRepeatedSlotColour,
                         row != 1);
            QCOMPARE(window.statusText(), QString("Slot 5 is given twice: c.mid replaces a.mid."));
            QTest::mouseClick(&window.sendButton(), Qt::LeftButton);
            QTRY_COMPARE_WITH_TIMEOUT(window.closeButton().text(), QString("Ok"), 10000);
            QVERIFY(!window.isTransferring());
            QCOMPARE(window.statusText(), qt(text::kStatusSucceeded));
            QTest::mouseClick(&window.closeButton(), Qt::LeftButton);
            QVERIFY(!window.isVisible());
        });

        QVERIFY((rig.stored == std::vector<StoredItem>{{5, a}, {1, b}, {5, c}}));
        QVERIFY(rig.keyboard.errors().empty());
        QVERIFY(!rig.keyboard.transferOpen()); // the closing control message arrived
        const QStringList lines = logLines(rig);
        QCOMPARE(lines.size(), 5 + 3); // after the four before and the command line's
        QCOMPARE(steadyFields(lines[5]), sentLine("a.mid", 3584, "slot 5"));
        QCOMPARE(steadyFields(lines[6]), sentLine("b.mid", 5000, "slot 1"));
        QCOMPARE(steadyFields(lines[7]), sentLine("c.mid", 2100, "slot 5"));
    }

    void portProblemsAreReportedAndNothingReachesTheKeyboard()
    {
        // A port is the keyboard, none (not chosen) or gone (cannot be opened); afterwards the window
        // is idle, closed, or waiting for a keyboard that cannot hear.
        const struct {
            QString output, input, title, text, after;
        } cases[] = {
            {"none", "none", "Quillon v1.1 Beta", "The Midi Output device is not opened!\r\n", "idle"},
            {"keyboard", "none", "Quillon v1.1 Beta", "The Midi Input device is not opened!\r\n", "idle"},
            {"keyboard", "gone", "Quillon Updata", "There are no MIDI input devices!", "closed"},
            {"gone", "keyboard", "Quillon Updata", "There are no MIDI output devices!", "port gone"},
        };
        const auto choice = [](const QString& kind) {
            return kind == "none"   ? midi::PortChoice::notChosen()
                   : kind == "gone" ? midi::PortChoice::of({"Virtual", "No such port", 3})
                                    : quillon::testing::keyboardPort();
        };
        for (const auto& [output, input, title, text, after] : cases) {
            TransferRig rig;
            rig.writeSong("a.mid", 500, 1);
            rig.session.outputChoice = choice(output);
            rig.session.inputChoice = choice(input);
            rig.sendSongs({"a.mid"}, [&](SendFileDialog& window) {
                window.setSilenceTimeout(std::chrono::milliseconds(50));
                rig.messages.clear();
                window.sendButton().click();
                QCOMPARE(rig.messages.messages().size(), 1u);
                QCOMPARE(QString::fromStdString(rig.messages.messages()[0].title), title);
                QCOMPARE(QString::fromStdString(rig.messages.messages()[0].text), text);
                if (after == "idle") {
                    QVERIFY(window.isVisible());
                    QVERIFY(!window.isTransferring());
                } else if (after == "closed") {
                    QVERIFY(!window.isVisible());
                    QCOMPARE(window.result(), int(QDialog::Accepted));
                } else {
                    // The wait for the keyboard's answer names why none can come.
                    QTRY_COMPARE(window.statusText(), qt(text::kStallPortGone));
                    QVERIFY(window.isTransferring());
                }
                if (window.isVisible())
                    window.closeButton().click();
                QVERIFY(!window.isVisible());
            });
            QCOMPARE(rig.keyboard.messagesReceived(), 0u);
        }
    }

    void aSongRemovedAfterTheWindowOpenedStopsAtSendWithNothingSent()
    {
        TransferRig rig;
        rig.writeSong("a.mid", 2500, 1);
        rig.writeSong("b.mid", 2500, 2);
        std::ofstream(logPath(rig), std::ios::binary) << "an earlier line\n";
        rig.sendSongs({"a.mid", "b.mid"}, [&](SendFileDialog& window) {
            std::filesystem::remove(rig.folders.songPath("b.mid"));
            rig.messages.clear();
            window.sendButton().click();
            QCOMPARE(window.statusText(), QString("The file b.mid can't be opened, sending stopped!"));
            QVERIFY(!window.isTransferring());
            const ui::ShownMessage cannotOpen{
                "Quillon v1.1 Beta", "The file can't be opened,please Select Right Download File, try again!!\r\n",
                ui::MessageIcon::Stop, ui::MessageButtons::YesNo};
            QCOMPARE(rig.messages.messages(), std::vector<ui::ShownMessage>{cannotOpen});
            window.closeButton().click();
            QVERIFY(!window.isVisible());
        });
        // Every file is read when Send is pressed: one gone stops the run before anything goes out.
        QCOMPARE(rig.keyboard.messagesReceived(), 0u);
        QVERIFY(rig.stored.empty());
        QCOMPARE(logLines(rig), QStringList{"an earlier line"});
    }

    // The window closed midway, or Cancel.
    void anInterruptedSongRunLetsTheKeyboardGoAndTheNextSendWorks()
    {
        for (const bool closeWindow : {false, true}) {
            TransferRig rig;
            rig.writeSong("long.mid", 40000, 5);
            const auto again = rig.writeSong("again.mid", 3000, 6);
            std::size_t receivedAtCancel = 0;
            rig.sendSongs({"long.mid"}, [&](SendFileDialog& window) {
                QObject::connect(&window, &SendFileDialog::progressChanged, &window, [&](int reached) {
                    if (reached != 3 || !window.isVisible())
                        return;
                    receivedAtCancel = rig.keyboard.messagesReceived();
                    closeWindow ? (void)window.close() : window.closeButton().click();
                });
                window.sendButton().click();
                QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 10000);
            });
            // Nothing more of the song, only the closing control message: the keyboard left the transfer.
            QTRY_COMPARE(rig.keyboard.messagesReceived(), receivedAtCancel + 1);
            QVERIFY(!rig.keyboard.transferOpen());
            QVERIFY(rig.stored.empty());
            const QStringList fields = steadyFields(logLines(rig).value(0));
            QCOMPARE(fields.size(), 6);
            QCOMPARE((QStringList{fields[0], fields[3], fields[4]}), (QStringList{"long.mid", "slot 1", "stopped"}));

            // The next Send works the first time; a log that cannot be written changes nothing for the user.
            std::filesystem::remove(logPath(rig));
            std::filesystem::create_directory(logPath(rig));
            rig.messages.clear();
            rig.sendSongs({"again.mid"}, [](SendFileDialog& window) {
                window.sendButton().click();
                QTRY_COMPARE_WITH_TIMEOUT(window.closeButton().text(), QString("Ok"), 10000);
                QCOMPARE(window.statusText(), qt(text::kStatusSucceeded));
                window.closeButton().click();
            });
            QVERIFY((rig.stored == std::vector<StoredItem>{{1, again}}));
            QCOMPARE(rig.messages.messages().size(), 1u); // the confirmation only
            QVERIFY(std::filesystem::is_directory(logPath(rig)));
        }
    }

    void aSilentKeyboardIsReportedWithoutChangingTheExchange()
    {
        TransferRig rig;
        rig.writeSong("a.mid", 2500, 1);
        rig.keyboard.setAnswering(false);
        rig.sendSongs({"a.mid"}, [&](SendFileDialog& window) {
            window.setSilenceTimeout(std::chrono::milliseconds(50));
            window.sendButton().click();
            // No ready reply: the keyboard may be in an earlier, interrupted transfer.
            QTRY_COMPARE(window.statusText(), qt(text::kStatusNoReadyReply));
            QCOMPARE(rig.keyboard.messagesReceived(), 1u); // only the opening control message
            window.closeButton().click();
            QVERIFY(!window.isVisible());
        });
        QCOMPARE(rig.keyboard.messagesReceived(), 1u);
    }
};

QUILLON_QTEST(SendFileDialogTest)
#include "SendFileDialogTest.moc"
