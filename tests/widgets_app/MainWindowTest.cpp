// Drives the main window as a user would: the listed files, the categories,
// the context menus, the Delete commands, the buttons, keys and dropped files;
// and screen readers get a name for every control of every window.
#include "../player/SmfBuilder.h"
#include "../support/QtTestMain.h"
#include "../support/SessionRig.h"

#include "app/widgets/AboutDialog.h"
#include "app/widgets/CategoryList.h"
#include "app/widgets/FileListWidget.h"
#include "app/widgets/MainWindow.h"
#include "base/core/Messages.h"
#include "base/widgets/NamePrompt.h"
#include "curve/widgets/CurveEditor.h"
#include "midi/widgets/SetDeviceDialog.h"
#include "player/widgets/MidiPlayWindow.h"
#include "transfer/widgets/SendFileDialog.h"

#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QtTest>

using namespace quillon::app;
using namespace quillon::testing;
using namespace quillon::ui;
using quillon::session::FileCategory;

namespace {

// The names listed, top to bottom.
QStringList listed(const MainWindow& window)
{
    QStringList names;
    for (int row = 0; row < window.fileList().count(); ++row)
        names << window.fileList().item(row)->text();
    return names;
}

// The names selected, in alphabetical order.
QStringList selectedNames(const MainWindow& window)
{
    QStringList names;
    for (int row : window.fileList().selectedRows())
        names << window.fileList().item(row)->text();
    names.sort();
    return names;
}

QPoint rowCentre(const MainWindow& window, int row)
{
    return window.fileList().visualItemRect(window.fileList().item(row)).center();
}

// Click the first row, Ctrl+click the others: the last one becomes the current entry.
void selectRows(MainWindow& window, const std::vector<int>& rows)
{
    QWidget* viewport = window.fileList().viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, rowCentre(window, rows.front()));
    for (std::size_t i = 1; i < rows.size(); ++i)
        QTest::mouseClick(viewport, Qt::LeftButton, Qt::ControlModifier, rowCentre(window, rows[i]));
}

void rightClickRow(MainWindow& window, int row)
{
    QTest::mouseClick(window.fileList().viewport(), Qt::RightButton, {}, rowCentre(window, row));
}

// The window over a fresh data folder found as the program finds it, relative to the working directory.
struct Harness : SessionRig {
    Harness() : SessionRig({}, Folder::WorkingDirectory) {}
    std::unique_ptr<MainWindow> window;

    void open()
    {
        window = std::make_unique<MainWindow>(session);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
};

// A song file's bytes: format 0 with one track, or format 1 with two.
std::vector<std::uint8_t> songBytes(int format)
{
    const auto track = quillon::testing::TrackBytes().event(0, {0x90, 60, 90}).end(0x60);
    return format == 0 ? quillon::testing::smf(0, 96, {track}) : quillon::testing::smf(1, 96, {track, track});
}

// Files dragged from a file manager and let go over the window.
void dropOnto(MainWindow& window, const std::vector<std::filesystem::path>& files)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const auto& file : files)
        urls << QUrl::fromLocalFile(QString::fromStdString(file.string()));
    data.setUrls(urls);
    const QPoint at = window.fileList().geometry().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(&window, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, {});
    QSignalSpy taken(&window, &MainWindow::dropTaken);
    QApplication::sendEvent(&window, &drop);
    QVERIFY(taken.wait()); // copied on a thread of its own
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    // The window starts on the songs with no port chosen. A missing data folder
    // lists nothing without complaint; 300 files are refused with the message.
    void startsWithTheSongsAndNothingChosen()
    {
        Harness h;
        h.session.category = FileCategory::RomImages;
        h.session.outputChoice = quillon::midi::PortChoice::defaultRoute();
        std::filesystem::remove_all(h.scratch.path() / "Quillon");
        h.open();
        QCOMPARE(h.window->categoryList().currentIndex(), 0);
        QVERIFY(h.session.category == FileCategory::Songs);
        QVERIFY(h.session.outputChoice == quillon::midi::PortChoice::notChosen());
        QVERIFY(h.session.inputChoice == quillon::midi::PortChoice::notChosen());
        QCOMPARE(h.window->fileList().count(), 0);
        QVERIFY(h.messages.messages().empty());

        std::filesystem::create_directories(h.folder("mid"));
        for (int i = 0; i < 300; ++i)
            std::ofstream(h.folder("mid") / ("s" + std::to_string(i) + ".mid")) << i;
        h.window->refillFileList();
        QCOMPARE(h.window->fileList().count(), 0);
        QCOMPARE(h.messages.messages().size(), std::size_t(1));
        QCOMPARE(h.messages.messages()[0].text, std::string("The file name is excess!"));

        // A song this computer stored on the keyboard says where, under its details.
        std::filesystem::remove_all(h.folder("mid"));
        std::filesystem::create_directories(h.folder("mid"));
        quillon::testing::writeBytes(h.folder("mid") / "a.mid", songBytes(0));
        std::ofstream(h.scratch.path() / "Quillon" / "transfer-log.txt")
            << "2026-12-06 12:00:00 UTC\ta.mid\t30 bytes\t1/1 blocks\tslot 5\tsent\t1 s\t1 KiB/s\tdevice Keys\n";
        h.window->refillFileList();
        QVERIFY(h.window->fileList().item(0)->toolTip().endsWith(" bytes\non the keyboard in slot 5 since 6 Dec"));
    }

    // The menu acts on the row under the pointer, with the rows selected with
    // it; its commands hand the selection on, a ROM image's "&Send" to its own command.
    void theMenuActsOnThePointedRowAndHandsItOn()
    {
        Harness h;
        h.createInOrder("mid", {"a.mid", "b.mid", "c.mid", "d.mid", "e.mid"});
        h.createInOrder("bin", {"r.bin"});
        h.open();
        std::vector<FileSelection> sent;
        std::vector<FileSelection> played;
        std::vector<FileSelection> sentImages;
        quillon::app::MainWindowHooks hooks;
        hooks.sendSongs = [&](QWidget&, const FileSelection& s) { sent.push_back(s); };
        hooks.playSongs = [&](QWidget&, const FileSelection& s) { played.push_back(s); };
        hooks.sendRomImage = [&](QWidget&, const FileSelection& s) { sentImages.push_back(s); };
        h.window->setHooks(hooks);
        // A right-click on a row that is not selected selects it alone; on a selected one the selection stays.
        selectRows(*h.window, {3});
        rightClickRow(*h.window, 2);
        QCOMPARE(h.window->fileList().selectedRows(), std::vector<int>({2}));

        selectRows(*h.window, {1, 4, 0});
        h.messages.chooseNextMenuEntry("&Send");
        rightClickRow(*h.window, 4);
        QCOMPARE(h.messages.menus().size(), std::size_t(2));
        QCOMPARE(h.messages.menus()[1], std::vector<QString>({"&MidiPlay", "&Send", "", "&Delete", "", "&Cancel"}));
        QCOMPARE(sent.size(), std::size_t(1));
        QVERIFY(sent[0].category == FileCategory::Songs);
        QCOMPARE(sent[0].rows, std::vector<int>({0, 1, 4}));
        QCOMPARE(sent[0].names, std::vector<std::string>({"e.mid", "d.mid", "a.mid"}));
        QCOMPARE(sent[0].caretRow, 4);

        // From the keyboard: Shift+F10 and the Menu key (a context menu event) open the same menu.
        h.messages.chooseNextMenuEntry("&MidiPlay");
        QTest::keyClick(&h.window->fileList(), Qt::Key_F10, Qt::ShiftModifier);
        QCOMPARE(played.size(), std::size_t(1));
        QCOMPARE(h.session.playHandOver.index, 4);
        QCOMPARE(h.session.playHandOver.category, quillon::session::PlayHandOver::kSongsOfMidFolder);
        QCOMPARE(played[0].caretName, std::string("a.mid"));

        h.messages.chooseNextMenuEntry("&Cancel"); // the Menu key opens the same menu
        QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, {}, {});
        QApplication::sendEvent(&h.window->fileList(), &menuKey);
        QCOMPARE(h.messages.menus().size(), std::size_t(4));

        h.window->categoryList().setCurrentIndex(1);
        selectRows(*h.window, {0});
        h.messages.chooseNextMenuEntry("&Send");
        rightClickRow(*h.window, 0);
        QCOMPARE(h.messages.menus().back(), std::vector<QString>({"&Send", "", "&Delete", "", "&Cancel"}));
        QCOMPARE(sentImages.size(), std::size_t(1));
        QCOMPARE(sentImages[0].names, std::vector<std::string>{"r.bin"});
        QCOMPARE(sent.size(), std::size_t(1));
    }

    // Delete asks first, naming the files, and removes every selected song; a
    // removal that fails stops there and says which file and why; a name that
    // turned into a folder is never emptied. Of ROM images only the current one goes.
    void deleteRemovesTheSelectionAndStopsAtAFailure()
    {
        Harness h;
        h.createInOrder("mid", {"a.mid", "b.mid", "c.mid", "d.mid", "e.mid", "f.mid", "g.mid"});
        h.createInOrder("bin", {"a.bin", "b.bin", "c.bin", "d.bin"});
        h.open();
        QCOMPARE(listed(*h.window), QStringList({"g.mid", "f.mid", "e.mid", "d.mid", "c.mid", "b.mid", "a.mid"}));
        selectRows(*h.window, {0, 2, 3});
        h.messages.answerNext(MessageAnswer::No);
        QTest::keyClick(&h.window->fileList(), Qt::Key_Delete); // as the menu's "&Delete"
        QCOMPARE(h.onDisk("mid").size(), 7);
        const auto deleteAt = [&](int row) {
            h.messages.chooseNextMenuEntry("&Delete");
            h.messages.answerNext(MessageAnswer::Yes);
            rightClickRow(*h.window, row);
        };
        deleteAt(0);
        QCOMPARE(listed(*h.window), QStringList({"f.mid", "c.mid", "b.mid", "a.mid"}));
        QCOMPARE(h.onDisk("mid"), QStringList({"a.mid", "b.mid", "c.mid", "f.mid"}));
        const ShownMessage question{"Quillon v1.1 Beta",
                                    "This file will be deleted! Are you sure? \r\n\r\ng.mid\r\ne.mid\r\nd.mid",
                                    MessageIcon::Stop, MessageButtons::YesNo};
        QVERIFY(h.messages.messages() == std::vector(2, question));

        // c.mid goes away behind the list's back: f.mid is removed, the run stops at c.mid.
        selectRows(*h.window, {0, 1, 2});
        std::filesystem::remove(h.folder("mid") / "c.mid");
        deleteAt(0);
        QCOMPARE(listed(*h.window), QStringList({"c.mid", "b.mid", "a.mid"}));
        QCOMPARE(h.onDisk("mid"), QStringList({"a.mid", "b.mid"}));
        const std::string report = h.messages.messages().back().text;
        QVERIFY(report.starts_with("The file can't be deleted: Quillon/mid/c.mid\r\n"));
        QVERIFY(report.find("No such file") != std::string::npos);

        // b.mid turns into a folder with a file in it: neither it nor a.mid may be touched.
        selectRows(*h.window, {1, 2});
        std::filesystem::remove(h.folder("mid") / "b.mid");
        std::filesystem::create_directory(h.folder("mid") / "b.mid");
        std::ofstream(h.folder("mid") / "b.mid" / "keep.txt") << "x";
        deleteAt(1);
        QVERIFY(std::filesystem::exists(h.folder("mid") / "b.mid" / "keep.txt"));
        QCOMPARE(h.onDisk("mid"), QStringList({"a.mid", "b.mid"}));
        QVERIFY(h.messages.messages().back().text.starts_with("The file can't be deleted: Quillon/mid/b.mid"));

        h.messages.clear();
        h.window->categoryList().setCurrentIndex(1);
        selectRows(*h.window, {0, 1, 3}); // the right-click on the selected c.bin makes it the current entry
        deleteAt(1);
        QCOMPARE(listed(*h.window), QStringList({"d.bin", "b.bin", "a.bin"}));
        QCOMPARE(h.onDisk("bin"), QStringList({"a.bin", "b.bin", "d.bin"}));
        QCOMPARE(h.messages.messages().front().text,
                 std::string("This file will be deleted! Are you sure?\r\n\r\nc.bin"));
    }

    // The buttons open their targets; Enter ends the window.
    void buttonsAndKeys()
    {
        Harness h;
        h.open();

        // Help is found beside the data folder, wherever the program was started.
        QTest::mouseClick(&h.window->button("Help"), Qt::LeftButton);
        QCOMPARE(h.messages.openedUrls().size(), std::size_t(1));
        QCOMPARE(std::filesystem::path(h.messages.openedUrls()[0].toLocalFile().toStdString()),
                 std::filesystem::canonical(h.scratch.path()) / "Quillon/helpfiles/Index.htm");

        int editorOpened = 0;
        quillon::app::MainWindowHooks hooks;
        hooks.openCurveEditor = [&](QWidget&) { ++editorOpened; };
        h.window->setHooks(hooks);
        QTest::mouseClick(&h.window->button("V.Curve"), Qt::LeftButton);
        QCOMPARE(editorOpened, 1);

        // Enter away from a button ends the program, so no button may be drawn as the one Enter presses.
        for (const char* caption : {"V.Curve", "Devcie", "HomePage", "Help", "About"})
            QVERIFY2(!h.window->button(caption).isDefault(), caption);
        h.window->categoryList().setFocus();
        QTest::keyClick(&h.window->categoryList(), Qt::Key_Return);
        QVERIFY(!h.window->isVisible());
        QCOMPARE(h.window->result(), int(QDialog::Accepted));
    }

    void droppedFilesAreCopiedIntoTheirFoldersListedAndSelected()
    {
        Harness h;
        h.createInOrder("bin", {"kept.bin"});
        h.createInOrder("mid", {"old.mid"});
        h.open();
        quillon::testing::TempFolder outside;
        const auto file = [&](const std::string& name, std::vector<std::uint8_t> bytes) {
            return outside.write(name, bytes);
        };
        const std::vector<std::uint8_t> newContent = songBytes(0);
        const auto oldContent = quillon::testing::readBytes(h.folder("mid") / "old.mid");
        const auto dropped = file("old.mid", newContent);

        // Songs and SysEx files to their folders; the songs shown with the new one selected.
        h.window->categoryList().setCurrentIndex(1); // the drop switches back to the songs
        dropOnto(*h.window, {file("new.mid", songBytes(0)), file("b.SYX", {0xF0, 0xF7})});
        QCOMPARE(h.window->categoryList().currentIndex(), 0);
        QVERIFY(h.onDisk("mid").contains("new.mid"));
        QCOMPARE(h.onDisk("syx"), QStringList({"b.SYX"}));
        QCOMPARE(selectedNames(*h.window), QStringList{"new.mid"});
        QVERIFY(h.messages.messages().empty());

        // An existing name: Yes replaces it, No keeps both under a free name.
        h.messages.onNextDialog([](QDialog& dialog) { dialog.accept(); });
        dropOnto(*h.window, {dropped});
        QCOMPARE(h.messages.dialogTitles().back(), QStringLiteral("Save file"));
        QCOMPARE(quillon::testing::readBytes(h.folder("mid") / "old.mid"), newContent);
        quillon::testing::writeBytes(h.folder("mid") / "old.mid", oldContent);
        h.messages.onNextDialog([](QDialog& dialog) { dialog.reject(); });
        dropOnto(*h.window, {dropped});
        QCOMPARE(quillon::testing::readBytes(h.folder("mid") / "old.mid"), oldContent);
        QCOMPARE(quillon::testing::readBytes(h.folder("mid") / "old-2.mid"), newContent);
        QCOMPARE(selectedNames(*h.window), QStringList{"old-2.mid"});

        // A format 1 song is offered its format 0 copy; both are selected.
        h.messages.answerNext(MessageAnswer::Yes);
        dropOnto(*h.window, {file("multi.mid", songBytes(1))});
        QCOMPARE(h.messages.messages().size(), std::size_t(1));
        QVERIFY(h.messages.messages().back().text.starts_with(quillon::text::kConvertQuestionPrefix));
        QCOMPARE(selectedNames(*h.window), (QStringList{"multi-0.mid", "multi.mid"}));
        QCOMPARE(quillon::testing::readBytes(h.folder("mid") / "multi-0.mid")[9], std::uint8_t(0)); // format 0

        // Files that cannot be copied are named with the reason; the others are copied and shown.
        h.messages.clear();
        std::filesystem::create_directories(outside.path() / "folder.bin");
        dropOnto(*h.window, {file("one.bin", {1}), outside.path() / "gone.bin", outside.path() / "folder.bin",
                             file("two.bin", {2}), file("notes.txt", {3}), file("a.crv", {1, 2})});
        QCOMPARE(h.window->categoryList().currentIndex(), 1);
        QCOMPARE(selectedNames(*h.window), (QStringList{"one.bin", "two.bin"}));
        QCOMPARE(listed(*h.window).size(), 3);
        QCOMPARE(h.messages.messages().size(), std::size_t(1));
        const std::string said = h.messages.messages().front().text;
        QVERIFY2(said.starts_with(quillon::text::kCannotCopyDropped), said.c_str());
        for (const char* part :
             {"\r\ngone.bin: cannot open", "No such file or directory", "\r\nfolder.bin: cannot open", "it is a folder",
              "\r\nnotes.txt: ", "\r\na.crv: a curve file holds 568 bytes"})
            QVERIFY2(said.find(part) != std::string::npos, part);
        QCOMPARE(h.onDisk("bin"), QStringList({"kept.bin", "one.bin", "two.bin"}));
    }

    // Every control of every window (whatever takes the focus, every field)
    // has a name.
    void everyControlHasAnAccessibleName()
    {
        quillon::testing::FakeMidi rig;
        quillon::player::MidiPlayOptions silent;
        silent.makeSynthesizer = [](QString&) { return nullptr; };
        std::vector<std::unique_ptr<QWidget>> windows;
        windows.push_back(std::make_unique<quillon::app::MainWindow>(rig.session));
        windows.push_back(std::make_unique<quillon::app::AboutDialog>());
        windows.push_back(std::make_unique<quillon::midi::SetDeviceDialog>(
            *rig.session.midi(), quillon::midi::PortChoice::notChosen(), quillon::midi::PortChoice::notChosen()));
        windows.push_back(std::make_unique<quillon::curve::CurveEditor>(rig.session));
        windows.push_back(std::make_unique<quillon::player::MidiPlayWindow>(rig.session, silent));
        windows.push_back(std::make_unique<quillon::transfer::SendFileDialog>(rig.session));
        windows.push_back(std::make_unique<quillon::base::NameDialog>(rig.session));
        windows.push_back(std::make_unique<quillon::base::ReplaceDialog>());
        for (const auto& window : windows) {
            window->show();
            for (QWidget* part : window->findChildren<QWidget*>()) {
                if (!part->isVisible() || (part->focusPolicy() == Qt::NoFocus && !qobject_cast<QLineEdit*>(part)))
                    continue;
                QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(part);
                const QString what = window->windowTitle() + ": " + part->metaObject()->className();
                QVERIFY2(spoken && !spoken->text(QAccessible::Name).isEmpty(), qPrintable(what));
            }
        }
    }
};

QUILLON_QTEST(MainWindowTest)
#include "MainWindowTest.moc"
