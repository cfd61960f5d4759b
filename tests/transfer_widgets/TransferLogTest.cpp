// What the Send File window leaves behind and shows about speed: one line
// per file in Quillon/transfer-log.txt after a run ends however it ends, and
// the rate and time left while it sends.
#include "TransferRig.h"

#include "transfer/widgets/SendCommands.h"
#include "ui/PercentBar.h"

#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

#include <fstream>
#include <sstream>

using namespace quillon;
using quillon::testing::TransferRig;
using transfer::SendFileDialog;

namespace {

std::filesystem::path logPath(const TransferRig& rig) { return rig.folders.root() / "transfer-log.txt"; }

QStringList logLines(const TransferRig& rig)
{
    std::ifstream in(logPath(rig), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    QStringList lines = QString::fromStdString(text.str()).split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast(); // after the last line break
    return lines;
}

// The fields of a line that do not depend on the clock: name, bytes, blocks, slot, result.
QStringList steadyFields(const QString& line)
{
    const QStringList fields = line.split('\t');
    if (fields.size() != 8)
        return {QStringLiteral("not 8 fields: ") + line};
    static const QRegularExpression time(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d UTC$"));
    static const QRegularExpression seconds(QStringLiteral("^\\d+\\.\\d{3} s$"));
    static const QRegularExpression rate(QStringLiteral("^\\d+\\.\\d\\d KiB/s$"));
    if (!time.match(fields[0]).hasMatch() || !seconds.match(fields[6]).hasMatch() || !rate.match(fields[7]).hasMatch())
        return {QStringLiteral("bad time, duration or rate: ") + line};
    return fields.mid(1, 5);
}

QString blocksOf(std::size_t size)
{
    const unsigned blocks = frame::blockCount(frame::packedLength(size));
    return QStringLiteral("%1/%1 blocks").arg(blocks);
}

void finishAndClose(SendFileDialog& window, const QString& closeText)
{
    window.sendButton().click();
    QTRY_COMPARE_WITH_TIMEOUT(window.closeButton().text(), closeText, 10000);
    window.closeButton().click();
}

} // namespace

class TransferLogTest : public QObject {
    Q_OBJECT
private slots:
    void aSongGoneBeforeItsTurnLeavesASentAndAnUnreadableLine()
    {
        TransferRig rig;
        rig.writeSong("a.mid", 2500, 1);
        rig.writeSong("b.mid", 1800, 2);
        {
            std::ofstream earlier(logPath(rig), std::ios::binary);
            earlier << "an earlier line\n";
        }
        rig.messages.answerNext(ui::MessageAnswer::Yes);
        rig.whileWindowOpen([&](SendFileDialog& window) {
            std::filesystem::remove(rig.folders.songPath("b.mid"));
            finishAndClose(window, "Close");
        });
        transfer::sendSongs(rig.owner, rig.session, {"a.mid", "b.mid"});

        const QStringList lines = logLines(rig);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], QString("an earlier line"));
        QCOMPARE(steadyFields(lines[1]), (QStringList{"a.mid", "2500 bytes", blocksOf(2500), "slot 1", "sent"}));
        QCOMPARE(steadyFields(lines[2]), (QStringList{"b.mid", "0 bytes", "0/0 blocks", "slot 2", "unreadable"}));
    }

    void everyFileOfAFinishedRunHasASentLine()
    {
        TransferRig rig;
        rig.writeSong("a.mid", 3000, 1);
        rig.writeSong("b.mid", 1024, 2);
        rig.writeRom("image.bin", 5000, 3);
        rig.messages.answerNext(ui::MessageAnswer::Yes);
        rig.whileWindowOpen([](SendFileDialog& window) { finishAndClose(window, "Ok"); });
        transfer::sendSongs(rig.owner, rig.session, {"a.mid", "b.mid"});
        rig.messages.answerNext(ui::MessageAnswer::Yes);
        rig.whileWindowOpen([](SendFileDialog& window) { finishAndClose(window, "Ok"); });
        transfer::sendRomImage(rig.owner, rig.session, {"image.bin"});

        const QStringList lines = logLines(rig);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(steadyFields(lines[0]), (QStringList{"a.mid", "3000 bytes", blocksOf(3000), "slot 1", "sent"}));
        QCOMPARE(steadyFields(lines[1]), (QStringList{"b.mid", "1024 bytes", blocksOf(1024), "slot 2", "sent"}));
        QCOMPARE(steadyFields(lines[2]), (QStringList{"image.bin", "5000 bytes", blocksOf(5000), "ROM", "sent"}));
    }

    void cancelInTheMiddleLeavesAStoppedLine()
    {
        TransferRig rig;
        rig.writeSong("long.mid", 40000, 5);
        rig.messages.answerNext(ui::MessageAnswer::Yes);
        rig.whileWindowOpen([&](SendFileDialog& window) {
            connect(&window, &SendFileDialog::progressChanged, &window, [&](int position) {
                if (position == 3 && window.isVisible())
                    window.closeButton().click();
            });
            window.sendButton().click();
            QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 10000);
        });
        transfer::sendSongs(rig.owner, rig.session, {"long.mid"});

        const QStringList lines = logLines(rig);
        QCOMPARE(lines.size(), 1);
        const QStringList fields = steadyFields(lines[0]);
        QCOMPARE(fields.size(), 5);
        QCOMPARE(fields[0], QString("long.mid"));
        QCOMPARE(fields[1], QString("40000 bytes"));
        const QStringList blocks = fields[2].chopped(7).split('/'); // "n/m blocks"
        QCOMPARE(blocks.size(), 2);
        QVERIFY(blocks[0].toInt() >= 3);
        QVERIFY(blocks[0].toInt() < blocks[1].toInt());
        QCOMPARE(fields[3], QString("slot 1"));
        QCOMPARE(fields[4], QString("stopped"));
    }

    void aLogThatCannotBeWrittenChangesNothingForTheUser()
    {
        TransferRig rig;
        rig.writeSong("a.mid", 2000, 1);
        std::filesystem::create_directory(logPath(rig)); // a folder in the log's place
        rig.messages.answerNext(ui::MessageAnswer::Yes);
        rig.whileWindowOpen([](SendFileDialog& window) { finishAndClose(window, "Ok"); });
        transfer::sendSongs(rig.owner, rig.session, {"a.mid"});

        QCOMPARE(rig.messages.messages().size(), 1u); // the confirmation only
        QCOMPARE(rig.stored.size(), 1u);
        QVERIFY(std::filesystem::is_directory(logPath(rig)));
    }

    void theRateAndTimeLeftShowWhileSending()
    {
        TransferRig rig;
        rig.writeSong("long.mid", 40000, 5);
        rig.messages.answerNext(ui::MessageAnswer::Yes);
        QString before, during, after;
        rig.whileWindowOpen([&](SendFileDialog& window) {
            window.setRateInterval(std::chrono::milliseconds(20));
            before = window.rateText();
            // The keyboard falls silent part-way, so the run stays under way while the label is read.
            connect(&window, &SendFileDialog::progressChanged, &window, [&](int position) {
                if (position == 3)
                    rig.keyboard.setAnswering(false);
            });
            window.sendButton().click();
            QTRY_VERIFY_WITH_TIMEOUT(!window.rateText().isEmpty(), 5000);
            QVERIFY(window.isTransferring());
            during = window.rateText();
            window.grab().save(QStringLiteral(QUILLON_BINARY_DIR "/send-file-rate.png"));
            window.closeButton().click();
            after = window.rateText();
        });
        transfer::sendSongs(rig.owner, rig.session, {"long.mid"});

        QCOMPARE(before, QString());
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d+\\.\\d KiB/s, \\d+ s left$")).match(during).hasMatch(),
                 qPrintable(during));
        // Once the run has ended only the average rate is left.
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d+\\.\\d KiB/s$")).match(after).hasMatch(), qPrintable(after));
    }
};

QTEST_MAIN(TransferLogTest)
#include "TransferLogTest.moc"
