// The editor's lists and file commands: choosing entries, Load, Save with its
// prompts, Delete and the selection that follows, the 300-file refusal.
#include "EditorHarness.h"

#include "base/core/Messages.h"
#include "curve/core/Presets.h"

using quillon::curve::computeCurveTable;
using quillon::curve::defaultKeyPoints;
using quillon::curve::KeyPoints;
using quillon::curve::Table;
using quillon::testing::EditorHarness;
using quillon::testing::typeAndOk;
using ActiveList = quillon::curve::CurveEditor::ActiveList;

namespace {

KeyPoints soft1() { return quillon::curve::presetCurves()[1].points; }
KeyPoints expand() { return quillon::curve::presetCurves()[8].points; }

void cancel(QDialog& dialog) { dialog.reject(); }
void yes(QDialog& dialog) { dialog.accept(); }

} // namespace

class CurveFilesTest : public QObject {
    Q_OBJECT
private slots:
    void init() { h = std::make_unique<EditorHarness>(); }
    void cleanup() { h.reset(); }

    void opensWithNewestFileSelectedAndChoosingSwitchesTheActiveList()
    {
        h->writeCurve("first.crv", soft1());
        h->writeCurve("second.crv", expand());
        h->writeBytes("notes.txt", {1, 2, 3});
        auto& editor = h->open();
        QCOMPARE(h->listedFiles(), std::vector<std::string>({"second.crv", "first.crv"}));
        QCOMPARE(editor.fileList().currentRow(), 0);
        QCOMPARE(editor.fileNameField().text(), QString("second.crv"));
        QCOMPARE(editor.activeList(), ActiveList::None);
        QVERIFY(!editor.button("Delete")->isEnabled());

        // Nothing is active yet: Load and Delete change nothing.
        h->clickButton("Load");
        QCOMPARE(editor.state().working().keyPoints(), defaultKeyPoints());
        editor.deleteSelectedFile(); // highlighted, but not chosen
        QVERIFY(std::filesystem::exists(h->crvFolder() / "second.crv"));

        h->clickFile("second.crv"); // already highlighted: the click still chooses it
        QCOMPARE(editor.activeList(), ActiveList::Files);
        QVERIFY(editor.button("Delete")->isEnabled());

        h->clickPreset("Hard1.crv");
        QCOMPARE(editor.activeList(), ActiveList::Presets);
        QCOMPARE(editor.fileNameField().text(), QString("Hard1.crv"));
        QVERIFY(!editor.button("Delete")->isEnabled());
        QVERIFY(editor.fileList().selectedItems().isEmpty());
        editor.deleteSelectedFile(); // the preset list is active
        QCOMPARE(h->listedFiles().size(), std::size_t(2));

        h->clickFile("first.crv");
        QCOMPARE(editor.fileName(), QString("first.crv"));
        QVERIFY(editor.presetList().selectedItems().isEmpty());

        // Typing a name changes nothing the commands use.
        QTest::keyClicks(&editor.fileNameField(), "typed");
        h->clickButton("Load");
        QCOMPARE(editor.state().working().keyPoints(), soft1());
    }

    // A file's stored table is not taken: the table always follows the key-points.
    // Which files are refused, and that a refused load leaves the curve as it was, is
    // CurveFileTest's; here the refusal is told with the file's name.
    void loadsAPresetOrAFileAndTellsARefusedFileByName()
    {
        Table zeros{};
        h->writeCurve("stored.crv", expand(), &zeros);
        KeyPoints backwards = defaultKeyPoints();
        backwards.x[2] = 10; // left of key-point 1
        h->writeBytes("backwards.crv",
                      quillon::curve::encodeCurveFile({computeCurveTable(defaultKeyPoints()), backwards}));
        auto& editor = h->open();
        h->clickPreset("Hard2.crv");
        QCOMPARE(editor.state().working().keyPoints(), defaultKeyPoints()); // choosing does not load
        h->clickButton("Load");
        QCOMPARE(editor.state().working().keyPoints(), quillon::curve::presetCurves()[3].points);
        const Table& table = editor.state().working().table();
        QCOMPARE(table, computeCurveTable(quillon::curve::presetCurves()[3].points));
        QCOMPARE(editor.newCell(1).text(), QString::number(table[10])); // the row of source 10

        h->clickFile("stored.crv");
        h->clickButton("Load");
        QCOMPARE(editor.state().working().keyPoints(), expand());
        QCOMPARE(editor.state().working().table(), computeCurveTable(expand()));
        QVERIFY(h->messages.messages().empty());

        h->clickFile("backwards.crv");
        h->clickButton("Load");
        QCOMPARE(h->messages.messages().size(), std::size_t(1));
        const auto& shown = h->messages.messages()[0];
        QCOMPARE(shown.title, std::string(quillon::text::kApplicationName));
        QVERIFY(shown.text.starts_with(quillon::text::kCannotLoadCurve));
        QVERIFY(shown.text.find("backwards.crv") != std::string::npos);
    }

    void saveWritesANewFileAndAsksBeforeReplacingOne()
    {
        h->writeCurve("older.crv", soft1());
        const auto original = quillon::testing::readBytes(h->crvFolder() / "older.crv");
        auto& editor = h->open();
        editor.realTimeBox().setChecked(false);
        h->drag(QPoint(160, 200), QPoint(180, 30));
        h->messages.onNextDialog(typeAndOk("mine"));
        h->clickButton("Save");
        QCOMPARE(h->messages.dialogTitles(), std::vector<QString>({"Filename"}));
        const auto saved = quillon::curve::readCurveFile(h->crvFolder() / "mine.crv");
        QVERIFY(saved.ok());
        QCOMPARE(saved->points, editor.state().working().keyPoints());
        QCOMPARE(saved->table, editor.state().working().table());
        QCOMPARE(h->listedFiles(), std::vector<std::string>({"mine.crv", "older.crv"}));
        QCOMPARE(h->session.chosenName, std::string("mine"));

        // Cancel on the name prompt writes nothing; No to replacing leaves the file as it was.
        h->messages.onNextDialog(cancel);
        h->clickButton("Save");
        h->messages.onNextDialog(typeAndOk("older"));
        h->messages.onNextDialog(cancel);
        h->clickButton("Save");
        QCOMPARE(h->messages.dialogTitles(), std::vector<QString>({"Filename", "Filename", "Filename", "Save file"}));
        QCOMPARE(h->listedFiles().size(), std::size_t(2));
        QCOMPARE(quillon::testing::readBytes(h->crvFolder() / "older.crv"), original);

        // The list comparison ignores case: "OLDER" asks too, and Yes replaces the listed file
        // itself with the working curve; the list is not refilled.
        h->clickPreset("Hard2.crv");
        h->clickButton("Load");
        h->messages.onNextDialog(typeAndOk("OLDER"));
        h->messages.onNextDialog(yes);
        h->clickButton("Save");
        QCOMPARE(h->messages.dialogTitles().back(), QString("Save file"));
        QCOMPARE(quillon::curve::readCurveFile(h->crvFolder() / "older.crv")->points,
                 quillon::curve::presetCurves()[3].points);
        QVERIFY(!std::filesystem::exists(h->crvFolder() / "OLDER.crv"));
        QCOMPARE(h->listedFiles(), std::vector<std::string>({"mine.crv", "older.crv"}));
    }

    void aCancelledRepeatedPromptCancelsTheSave()
    {
        h->session.chosenName = "earlier";
        h->open();
        // An empty name, then Cancel on the fresh prompt that follows.
        h->messages.onNextDialog(typeAndOk(""));
        h->messages.onNextDialog(cancel);
        h->clickButton("Save");
        QVERIFY(!std::filesystem::exists(h->crvFolder() / "earlier.crv"));
        QVERIFY(h->listedFiles().empty());
        QCOMPARE(h->session.chosenName, std::string("earlier"));

        // With no name accepted at all in this run, the user is told a name is needed.
        EditorHarness fresh;
        fresh.open();
        fresh.messages.onNextDialog(typeAndOk(""));
        fresh.messages.onNextDialog(cancel);
        fresh.clickButton("Save");
        QVERIFY(std::filesystem::is_empty(fresh.crvFolder()));
        QCOMPARE(fresh.messages.messages().back().text, std::string(quillon::text::kSaveNeedsName));
        QCOMPARE(fresh.messages.messages().back().title, std::string(quillon::text::kProgramTitle));
    }

    void deleteRemovesTheFileAndSelectsItsNeighbour()
    {
        for (const char* name : {"a.crv", "b.crv", "c.crv", "d.crv"})
            h->writeCurve(name, soft1());
        auto& editor = h->open();
        QCOMPARE(h->listedFiles(), std::vector<std::string>({"d.crv", "c.crv", "b.crv", "a.crv"}));

        h->clickFile("b.crv");
        h->clickButton("Delete");
        QVERIFY(!std::filesystem::exists(h->crvFolder() / "b.crv"));
        QCOMPARE(h->listedFiles(), std::vector<std::string>({"d.crv", "c.crv", "a.crv"}));
        QCOMPARE(editor.fileList().currentRow(), 1); // the entry before it
        QCOMPARE(editor.fileNameField().text(), QString("c.crv"));

        h->clickFile("d.crv");
        h->clickButton("Delete");
        QCOMPARE(h->listedFiles(), std::vector<std::string>({"c.crv", "a.crv"}));
        QCOMPARE(editor.fileList().currentRow(), 0); // the new first entry
        QCOMPARE(editor.fileName(), QString("c.crv"));

        h->clickButton("Delete");
        h->clickButton("Delete");
        QVERIFY(h->listedFiles().empty());
        QCOMPARE(editor.fileName(), QString());
        QCOMPARE(editor.activeList(), ActiveList::Files);
        QVERIFY(std::filesystem::is_empty(h->crvFolder()));
        h->clickButton("Delete"); // an empty list: nothing happens
        QVERIFY(h->messages.messages().empty());
    }

    void threeHundredFilesAreRefused()
    {
        const auto bytes = quillon::curve::encodeCurveFile({computeCurveTable(defaultKeyPoints()), defaultKeyPoints()});
        for (int i = 0; i < 300; ++i)
            quillon::testing::writeBytes(h->crvFolder() / ("c" + std::to_string(i) + ".crv"), bytes);
        h->open();
        QVERIFY(h->listedFiles().empty());
        QCOMPARE(h->editor->fileName(), QString());
        QCOMPARE(h->messages.messages().size(), std::size_t(1));
        QCOMPARE(h->messages.messages()[0].text, std::string(quillon::text::kTooManyFiles));
        QCOMPARE(h->messages.messages()[0].title, std::string(quillon::text::kApplicationName));
    }

private:
    std::unique_ptr<EditorHarness> h;
};

QUILLON_QTEST(CurveFilesTest)
#include "CurveFilesTest.moc"
