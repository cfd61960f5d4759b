// The Send File window end to end: files on disk, the window driven by mouse
// and buttons, the built-in keyboard answering through the MIDI input pump.
#include "TransferRig.h"

#include "app/core/Messages.h"
#include "transfer/core/SongCheck.h"
#include "transfer/widgets/SendCommands.h"
#include "ui/EditableList.h"
#include "ui/PercentBar.h"

#include <QComboBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <atomic>

using namespace quillon;
using quillon::testing::chooseSlot;
using quillon::testing::StoredItem;
using quillon::testing::TransferRig;
using transfer::SendFileDialog;

namespace {

QString qt(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QList<int> positions(const QSignalSpy& spy)
{
    QList<int> result;
    for (const auto& call : spy)
        result.append(call.at(0).toInt());
    return result;
}

QStringList texts(const QSignalSpy& spy)
{
    QStringList result;
    for (const auto& call : spy)
        result.append(call.at(0).toString());
    return result;
}

// Bar positions of a transfer: 0..blocks for every file in turn.
QList<int> expectedPositions(const std::vector<std::size_t>& fileSizes)
{
    QList<int> result;
    for (const std::size_t size : fileSizes) {
        const auto blocks = static_cast<int>(frame::blockCount(frame::packedLength(size)));
        for (int position = 0; position <= blocks; ++position)
            result.append(position);
    }
    return result;
}

void saveGrab(QWidget& window, const QString& name)
{
    window.grab().save(QStringLiteral(QUILLON_BINARY_DIR "/") + name);
}

} // namespace

class SendFileDialogTest : public QObject {
    Q_OBJECT
private slots:
    void theWindowListsTheSongsAndWaitsForSend()
    {
        TransferRig rig;
        rig.writeSong("a.mid", 3584, 1);
        rig.writeSong("b.mid", 1024, 2);
        rig.messages.answerNext(ui::MessageAnswer::Yes);
        bool checked = false;
        rig.whileWindowOpen([&](SendFileDialog& window) {
            auto& list = window.list();
            QCOMPARE(window.windowTitle(), QString("Send File"));
            QCOMPARE(list.columnCount(), 4);
            const QStringList headings = {"FileName", "Size", "Nume", "Send"};
            const QList<int> widths = {212, 80, 65, 65};
            for (int column = 0; column < 4; ++column) {
                QCOMPARE(list.model()->headerData(column, Qt::Horizontal).toString(), headings[column]);
                QCOMPARE(list.columnWidth(column), widths[column]);
            }
            QCOMPARE(list.rowCount(), 2);
            QCOMPARE((QStringList{list.cellText(0, 0), list.cellText(0, 1), list.cellText(0, 2), list.cellText(0, 3)}),
                     (QStringList{"a.mid", " 3.50K", "No.01", "Yes"}));
            QCOMPARE(list.cellText(1, 1), QString(" 1.00K"));
            QCOMPARE(list.cellText(1, 2), QString("No.02"));
            QCOMPARE(window.statusText(), QString("Click the  \" Send \" button to send file!"));
            QCOMPARE(window.statusColour(), QColor(0, 0, 250));
            QCOMPARE(window.closeButton().text(), QString("Cancel"));
            QVERIFY(window.sendButton().isEnabled());
            QCOMPARE(window.progress().maximum(), 1);
            QCOMPARE(window.progress().position(), 0);

            // Only "Nume" is edited, and only with the 28 slots.
            QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.cellRect(1, 0).center());
            QVERIFY(!list.activeEditor());
            QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.cellRect(1, 2).center());
            auto* combo = qobject_cast<QComboBox*>(list.activeEditor());
            QVERIFY(combo);
            QCOMPARE(combo->count(), 28);
            QCOMPARE(combo->itemText(0), QString("No.01"));
            QCOMPARE(combo->itemText(27), QString("No.28"));
            QCOMPARE(combo->currentText(), QString("No.02"));
            QTest::keyClick(combo, Qt::Key_Escape);
            QVERIFY(window.isVisible()); // Escape in the drop-down leaves the window open
            saveGrab(window, "send-file-idle.png");
            checked = true;
        });
        transfer::sendSongs(rig.owner, rig.session, {"a.mid", "b.mid"});
        QVERIFY(checked);
        QCOMPARE(rig.keyboard.messagesReceived(), 0u);
    }

    void threeSongsReachTheirChosenSlotsByteForByte()
    {
        TransferRig rig;
        const auto a = rig.writeSong("a.mid", 3000, 11);
        const auto b = rig.writeSong("b.mid", 5000, 12);
        const auto c = rig.writeSong("c.mid", 2100, 13);
        rig.messages.answerNext(ui::MessageAnswer::Yes);
        QStringList statuses;
        QList<int> bar;
        rig.whileWindowOpen([&](SendFileDialog& window) {
            QVERIFY(QTest::qWaitForWindowActive(&window));
            QVERIFY(chooseSlot(window, 0, "No.05"));
            QVERIFY(chooseSlot(window, 1, "No.01"));
            QVERIFY(chooseSlot(window, 2, "No.05"));
            QSignalSpy statusSpy(&window, &SendFileDialog::statusChanged);
            QSignalSpy barSpy(&window, &SendFileDialog::progressChanged);

            QTest::mouseClick(&window.sendButton(), Qt::LeftButton);
            QVERIFY(!window.sendButton().isEnabled());
            QTRY_COMPARE_WITH_TIMEOUT(window.closeButton().text(), QString("Ok"), 10000);
            QVERIFY(!window.isTransferring());
            QCOMPARE(window.progress().position(), window.progress().maximum());
            statuses = texts(statusSpy);
            bar = positions(barSpy);
            saveGrab(window, "send-file-songs-done.png");
            QTest::mouseClick(&window.closeButton(), Qt::LeftButton);
            QVERIFY(!window.isVisible());
        });
        transfer::sendSongs(rig.owner, rig.session, {"a.mid", "b.mid", "c.mid"});

        const std::vector<StoredItem> expected = {{5, a}, {1, b}, {5, c}};
        QVERIFY(rig.stored == expected);
        QVERIFY(rig.keyboard.errors().empty());
        QVERIFY(!rig.keyboard.transferOpen()); // the closing control message arrived
        QCOMPARE(rig.session.transfers.entries.at(0).slot, 5);
        QCOMPARE(rig.session.transfers.entries.at(1).slot, 1);
        QCOMPARE(rig.session.transfers.entries.at(2).slot, 5);
        QCOMPARE(statuses, (QStringList{qt(text::kStatusSendingSongs), "The file a.mid succeed in sending!",
                                        "The file b.mid succeed in sending!", "The file c.mid succeed in sending!",
                                        qt(text::kStatusSucceeded)}));
        QCOMPARE(bar, expectedPositions({3000, 5000, 2100}));
    }

    void aRomImageArrivesWholeAndTheCloseButtonTellsHowItEnded_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("blocks");
        QTest::addColumn<QString>("closeText");
        QTest::newRow("short last block") << 10000 << 12 << "Ok";
        QTest::newRow("full last block") << 7168 << 8 << "OK";
    }

    void aRomImageArrivesWholeAndTheCloseButtonTellsHowItEnded()
    {
        QFETCH(int, size);
        QFETCH(int, blocks);
        QFETCH(QString, closeText);
        TransferRig rig;
        const auto image = rig.writeRom("update.bin", static_cast<std::size_t>(size), 7);
        rig.messages.answerNext(ui::MessageAnswer::Yes);
        QStringList statuses;
        QList<int> bar;
        rig.whileWindowOpen([&](SendFileDialog& window) {
            auto& list = window.list();
            QCOMPARE(list.cellText(0, SendFileDialog::SlotColumn), QString());
            QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                              list.cellRect(0, SendFileDialog::SlotColumn).center());
            QVERIFY(!list.activeEditor()); // every column of a ROM list is read-only
            QSignalSpy statusSpy(&window, &SendFileDialog::statusChanged);
            QSignalSpy barSpy(&window, &SendFileDialog::progressChanged);
            window.sendButton().click();
            QTRY_COMPARE_WITH_TIMEOUT(window.closeButton().text(), closeText, 10000);
            QCOMPARE(window.progress().maximum(), blocks);
            statuses = texts(statusSpy);
            bar = positions(barSpy);
            if (size == 10000)
                saveGrab(window, "send-file-rom-done.png");
        });
        transfer::sendRomImage(rig.owner, rig.session, {"update.bin"});

        QVERIFY((rig.stored == std::vector<StoredItem>{{0, image}}));
        QVERIFY(rig.keyboard.errors().empty());
        QCOMPARE(statuses, (QStringList{qt(text::kStatusUpdatingRom), qt(text::kStatusSucceeded)}));
        QCOMPARE(bar, expectedPositions({static_cast<std::size_t>(size)}));
    }

    void missingPortChoicesAreReportedOutputFirst()
    {
        TransferRig rig;
        rig.writeSong("a.mid", 500, 1);
        rig.session.outputChoice = midi::PortChoice::notChosen();
        rig.session.inputChoice = midi::PortChoice::notChosen();
        rig.messages.answerNext(ui::MessageAnswer::Yes);
        rig.whileWindowOpen([&](SendFileDialog& window) {
            rig.messages.clear();
            window.sendButton().click();
            QCOMPARE(rig.messages.messages().size(), 1u);
            QCOMPARE(rig.messages.messages()[0],
                     (ui::ShownMessage{"Quillon v1.1 Beta", "The Midi Output device is not opened!\r\n",
                                       ui::MessageIcon::Stop, ui::MessageButtons::Ok}));

            rig.session.outputChoice = midi::PortChoice::of(rig.system.outputs().front().ref);
            window.sendButton().click();
            QCOMPARE(rig.messages.messages().size(), 2u);
            QCOMPARE(rig.messages.messages()[1],
                     (ui::ShownMessage{"Quillon v1.1 Beta", "The Midi Input device is not opened!\r\n",
                                       ui::MessageIcon::Stop, ui::MessageButtons::Ok}));
            QVERIFY(window.sendButton().isEnabled());
            QVERIFY(window.isVisible());
        });
        transfer::sendSongs(rig.owner, rig.session, {"a.mid"});
        QCOMPARE(rig.keyboard.messagesReceived(), 0u);
    }

    void anInputThatCannotBeOpenedClosesTheWindow()
    {
        TransferRig rig;
        rig.writeSong("a.mid", 500, 1);
        rig.session.inputChoice = midi::PortChoice::of({"Virtual", "No such port", 3});
        rig.messages.answerNext(ui::MessageAnswer::Yes);
        rig.whileWindowOpen([&](SendFileDialog& window) {
            rig.messages.clear();
            window.sendButton().click();
            QVERIFY(!window.isVisible());
            QCOMPARE(window.result(), int(QDialog::Accepted));
            QCOMPARE(rig.messages.messages().size(), 1u);
            QCOMPARE(rig.messages.messages()[0].title, std::string("Quillon Updata"));
            QCOMPARE(rig.messages.messages()[0].text, std::string("There are no MIDI input devices!"));
        });
        transfer::sendSongs(rig.owner, rig.session, {"a.mid"});
        QCOMPARE(rig.keyboard.messagesReceived(), 0u);
    }

    void anOutputThatCannotBeOpenedIsReportedAndTheKeyboardStaysSilent()
    {
        TransferRig rig;
        rig.writeSong("a.mid", 500, 1);
        rig.session.outputChoice = midi::PortChoice::of({"Virtual", "No such port", 3});
        rig.messages.answerNext(ui::MessageAnswer::Yes);
        rig.whileWindowOpen([&](SendFileDialog& window) {
            window.setSilenceTimeout(std::chrono::milliseconds(50));
            rig.messages.clear();
            window.sendButton().click();
            QCOMPARE(rig.messages.messages().size(), 1u);
            QCOMPARE(rig.messages.messages()[0],
                     (ui::ShownMessage{"Quillon Updata", "There are no MIDI output devices!", ui::MessageIcon::None,
                                       ui::MessageButtons::Ok}));
            QTRY_COMPARE(window.statusText(), QString(SendFileDialog::kStatusKeyboardSilent));
            QVERIFY(window.isTransferring());
            window.closeButton().click();
            QVERIFY(!window.isVisible());
        });
        transfer::sendSongs(rig.owner, rig.session, {"a.mid"});
        QCOMPARE(rig.keyboard.messagesReceived(), 0u);
    }

    void aSongRemovedAfterTheWindowOpenedStopsTheTransferCleanly()
    {
        TransferRig rig;
        const auto a = rig.writeSong("a.mid", 2500, 1);
        rig.writeSong("b.mid", 2500, 2);
        rig.writeSong("c.mid", 2500, 3);
        rig.messages.answerNext(ui::MessageAnswer::Yes);
        std::size_t receivedAtStop = 0;
        rig.whileWindowOpen([&](SendFileDialog& window) {
            std::filesystem::remove(rig.folders.songPath("b.mid"));
            rig.messages.clear();
            window.sendButton().click();
            QTRY_COMPARE_WITH_TIMEOUT(window.closeButton().text(), QString("Close"), 10000);
            QCOMPARE(window.statusText(), QString("The file b.mid can't be opened, sending stopped!"));
            QVERIFY(!window.isTransferring());
            QCOMPARE(rig.messages.messages().size(), 1u);
            QCOMPARE(rig.messages.messages()[0],
                     (ui::ShownMessage{"Quillon v1.1 Beta",
                                       "The file can't be opened,please Select Right Download File, try again!!\r\n",
                                       ui::MessageIcon::Stop, ui::MessageButtons::YesNo}));
            receivedAtStop = rig.keyboard.messagesReceived();
            window.closeButton().click();
            QVERIFY(!window.isVisible());
        });
        transfer::sendSongs(rig.owner, rig.session, {"a.mid", "b.mid", "c.mid"});
        // a.mid went whole into slot 1; nothing of b.mid or c.mid, and no stale data.
        QVERIFY((rig.stored == std::vector<StoredItem>{{1, a}}));
        QCOMPARE(rig.keyboard.messagesReceived(), receivedAtStop);
        QVERIFY(rig.keyboard.errors().empty());
    }

    void cancelInTheMiddleSendsNothingMore()
    {
        TransferRig rig;
        rig.writeSong("long.mid", 40000, 5);
        // A second listener on the keyboard's input counts every reply it sends.
        std::atomic<int> replies{0};
        auto counter = rig.system.openInput(rig.session.inputChoice, [&](std::uint32_t) { ++replies; });
        QVERIFY(counter);
        rig.messages.answerNext(ui::MessageAnswer::Yes);
        std::size_t receivedAtCancel = 0;
        rig.whileWindowOpen([&](SendFileDialog& window) {
            connect(&window, &SendFileDialog::progressChanged, &window, [&](int position) {
                if (position == 3 && window.isVisible()) {
                    receivedAtCancel = rig.keyboard.messagesReceived();
                    window.closeButton().click();
                }
            });
            window.sendButton().click();
            QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 10000);
            // Every message the keyboard got has been answered; the answers must find nobody.
            QTRY_COMPARE(replies.load(), static_cast<int>(receivedAtCancel));
            QCoreApplication::processEvents();
            QVERIFY(!window.isTransferring());
        });
        transfer::sendSongs(rig.owner, rig.session, {"long.mid"});
        QVERIFY(receivedAtCancel > 0);
        QCOMPARE(rig.keyboard.messagesReceived(), receivedAtCancel);
        QVERIFY(rig.stored.empty());
        counter->close();
    }

    void aSilentKeyboardIsReportedWithoutChangingTheExchange()
    {
        TransferRig rig;
        rig.writeSong("a.mid", 2500, 1);
        rig.keyboard.setAnswering(false);
        rig.messages.answerNext(ui::MessageAnswer::Yes);
        rig.whileWindowOpen([&](SendFileDialog& window) {
            window.setSilenceTimeout(std::chrono::milliseconds(50));
            window.sendButton().click();
            QTRY_COMPARE(window.statusText(), QString(SendFileDialog::kStatusKeyboardSilent));
            saveGrab(window, "send-file-silent.png");
            QCOMPARE(rig.keyboard.messagesReceived(), 1u); // only the opening control message
            QCOMPARE(window.closeButton().text(), QString("Cancel"));
            window.closeButton().click();
            QVERIFY(!window.isVisible());
        });
        transfer::sendSongs(rig.owner, rig.session, {"a.mid"});
        QCOMPARE(rig.keyboard.messagesReceived(), 1u);
    }

    void anEmptyListCannotBeSent()
    {
        TransferRig rig;
        rig.messages.answerNext(ui::MessageAnswer::Yes);
        rig.whileWindowOpen([&](SendFileDialog& window) {
            QCOMPARE(window.list().rowCount(), 0);
            QVERIFY(!window.sendButton().isEnabled());
            window.send();
            QVERIFY(!window.isTransferring());
        });
        transfer::sendSongs(rig.owner, rig.session, {});
        QCOMPARE(rig.messages.dialogTitles(), std::vector<QString>{"Send File"});
        QCOMPARE(rig.keyboard.messagesReceived(), 0u);
    }
};

QTEST_MAIN(SendFileDialogTest)
#include "SendFileDialogTest.moc"
