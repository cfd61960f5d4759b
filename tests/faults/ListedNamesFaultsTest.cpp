// A name that is not valid UTF-8 ("\377.mid") looks exactly like a real
// "U+FFFD.mid" beside it, yet every command on a listed entry must reach the
// entry's own file, and a drop must copy the dropped file's own bytes.
#include "../curve_widgets/EditorHarness.h"
#include "../player/PlayerFixtures.h"
#include "../transfer_widgets/TransferRig.h"

#include "app/widgets/CategoryList.h"
#include "app/widgets/FileListWidget.h"
#include "app/widgets/MainWindow.h"
#include "app/widgets/SendHooks.h"
#include "curve/core/Presets.h"

#include <QDropEvent>
#include <QMimeData>
#include <QtTest>

using namespace quillon;
using namespace quillon::testing;

namespace {

const std::string kByteName = "\377";          // one byte that no UTF-8 text holds
const std::string kLookAlike = "\xEF\xBF\xBD"; // U+FFFD, what that byte is shown as

// The main window on the rig, with the send and play commands plugged in.
struct MainRig {
    explicit MainRig(TransferRig& rig) : rig(rig), window(rig.session)
    {
        rig.chooseKeyboard(); // a new main window forgets the ports
        app::MainWindowHooks hooks;
        app::installSendHooks(hooks, rig.session);
        window.setHooks(std::move(hooks));
        window.refillFileList();
    }
    // Sends the top entry through the Send File window; what the keyboard stored on the way.
    std::vector<StoredItem> sendTop(void (app::MainWindow::*command)())
    {
        window.fileList().setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
        rig.stored.clear();
        rig.messages.answerNext(ui::MessageAnswer::Yes);
        rig.whileWindowOpen([](transfer::SendFileDialog& send) {
            send.sendButton().click();
            QTRY_VERIFY_WITH_TIMEOUT(send.handshake() && send.handshake()->isFinished(), 10000);
            send.closeButton().click();
        });
        (window.*command)();
        return rig.stored;
    }
    TransferRig& rig;
    app::MainWindow window;
};

} // namespace

class ListedNamesFaultsTest : public QObject {
    Q_OBJECT
private slots:
    void mainWindowCommandsReachTheListedFileItself()
    {
        TransferRig rig;
        // The look-alike first, so the byte name is newer and listed on top.
        rig.writeSong(kLookAlike + ".mid", 900, 1);
        QTest::qWait(15);
        rig.write(rig.folders.songPath(kByteName + ".mid"), tickingSong(3));
        rig.writeRom(kLookAlike + ".bin", 2000, 2);
        QTest::qWait(15); // each byte name newer than its look-alike
        const auto image = rig.writeRom(kByteName + ".bin", 3000, 3);
        const auto song = tickingSong(3);
        MainRig main(rig);
        QCOMPARE(main.window.fileList().count(), 2);
        QCOMPARE(main.window.fileList().item(0)->text(), main.window.fileList().item(1)->text());

        // Send: the keyboard gets the top entry's bytes.
        QVERIFY((main.sendTop(&app::MainWindow::sendSelectedSongs) == std::vector<StoredItem>{{1, song}}));

        // Delete removes that file and no other.
        rig.messages.answerNext(ui::MessageAnswer::Yes);
        main.window.deleteSelectedSongs();
        QVERIFY(!std::filesystem::exists(rig.folders.songPath(kByteName + ".mid")));
        QVERIFY(std::filesystem::exists(rig.folders.songPath(kLookAlike + ".mid")));

        // The same for ROM images.
        main.window.categoryList().setCurrentIndex(1);
        QVERIFY((main.sendTop(&app::MainWindow::sendSelectedRomImage) == std::vector<StoredItem>{{0, image}}));
        rig.messages.answerNext(ui::MessageAnswer::Yes);
        main.window.deleteCaretRomImage();
        QVERIFY(!std::filesystem::exists(rig.folders.romPath(kByteName + ".bin")));
        QVERIFY(std::filesystem::exists(rig.folders.romPath(kLookAlike + ".bin")));

        // A drop names the file in its URL by bytes: %FF copies the byte name's own song.
        const TempFolder outside;
        outside.write(kLookAlike + ".mid", tickingSong(1));
        const QByteArray dropped = QByteArray::fromStdString(outside.write(kByteName + ".mid", song).string());
        QMimeData data;
        data.setUrls({QUrl(QStringLiteral("file://") + QString::fromLatin1(dropped.toPercentEncoding("/")))});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {}); // a drop goes where this went
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QSignalSpy taken(&main.window, &app::MainWindow::dropTaken);
        QCoreApplication::sendEvent(&main.window, &enter);
        QCoreApplication::sendEvent(&main.window, &drop);
        QVERIFY(taken.wait());
        QCOMPARE(readBytes(rig.folders.songPath(kByteName + ".mid")), song);
        QCOMPARE(main.window.fileList().selectedRows(), std::vector<int>{0});
    }

    void curveEditorCommandsReachTheListedFileItself()
    {
        EditorHarness h;
        const auto& presets = curve::presetCurves();
        h.writeCurve(kLookAlike + ".crv", presets[1].points);
        h.writeCurve(kByteName + ".crv", presets[3].points);
        auto& editor = h.open();
        editor.realTimeBox().setChecked(false);
        QCOMPARE(editor.fileList().count(), 2);
        QCOMPARE(editor.fileList().item(0)->text(), editor.fileList().item(1)->text());

        QTest::mouseClick(editor.fileList().viewport(), Qt::LeftButton, {},
                          editor.fileList().visualItemRect(editor.fileList().item(0)).center());
        h.clickButton("Load");
        QCOMPARE(editor.state().working().keyPoints(), presets[3].points);
        h.clickButton("Send");
        QTRY_COMPARE_WITH_TIMEOUT(h.keyboard->messagesReceived(), std::size_t(1), 2000);
        QCOMPARE(*h.keyboard->curve(), asBytes(curve::computeCurveTable(presets[3].points)));

        h.clickButton("Delete");
        QVERIFY(!std::filesystem::exists(h.crvFolder() / (kByteName + ".crv")));
        QVERIFY(std::filesystem::exists(h.crvFolder() / (kLookAlike + ".crv")));
        QCOMPARE(editor.fileList().count(), 1);
    }
};

QUILLON_QTEST(ListedNamesFaultsTest)
#include "ListedNamesFaultsTest.moc"
