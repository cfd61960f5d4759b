// The editor's lists and file commands: choosing entries, Load, Save with its
// prompts, Delete and the selection that follows.
#include "EditorHarness.h"

#include "base/core/Messages.h"
#include "base/widgets/NamePrompt.h"
#include "curve/core/Presets.h"

using namespace quillon::curve;
using namespace quillon::testing;

namespace {

KeyPoints soft1() { return quillon::curve::presetCurves()[1].points; }
KeyPoints expand() { return quillon::curve::presetCurves()[8].points; }

void cancel(QDialog& dialog) { dialog.reject(); }
// The replace prompt's own buttons, so that a No wired as Yes would replace the file.
void yes(QDialog& dialog) { static_cast<quillon::base::ReplaceDialog&>(dialog).yesButton().click(); }
void no(QDialog& dialog) { static_cast<quillon::base::ReplaceDialog&>(dialog).noButton().click(); }

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
        QCOMPARE(editor.fileNameField().text(), QString("second.crv"));

        // Nothing is active yet: Load and Delete change nothing.
        h->clickButton("Load");
        QCOMPARE(editor.state().working().keyPoints(), defaultKeyPoints());
        editor.deleteSelectedFile(); // highlighted, but not chosen
        QVERIFY(std::filesystem::exists(h->crvFolder() / "second.crv"));

        h->clickPreset("Hard1.crv");
        QVERIFY(editor.fileList().selectedItems().isEmpty());
        editor.deleteSelectedFile(); // the preset list is active
        QCOMPARE(h->listedFiles().size(), std::size_t(2));
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

        h->clickFile("stored.crv");
        h->clickButton("Load");
        QCOMPARE(editor.state().working().keyPoints(), expand());
        QCOMPARE(editor.state().working().table(), computeCurveTable(expand()));
        QVERIFY(h->messages.messages().empty());

        h->clickFile("backwards.crv");
        h->clickButton("Load");
        QCOMPARE(h->messages.messages().size(), std::size_t(1));
        QVERIFY(h->messages.messages()[0].text.starts_with(quillon::text::kCannotLoadCurve));
        QVERIFY(h->messages.messages()[0].text.find("backwards.crv") != std::string::npos);
    }

    void saveWritesANewFileOrNothingAndAsksBeforeReplacingOne()
    {
        h->writeCurve("older.crv", soft1());
        const auto original = quillon::testing::readBytes(h->crvFolder() / "older.crv");
        auto& editor = h->open();
        // An empty name, then Cancel on the fresh prompt that follows, saves nothing; with
        // no name accepted at all in this run, the user is told a name is needed.
        for (const std::string earlier : {"", "earlier"}) {
            h->session.chosenName = earlier;
            h->messages.onNextDialog(typeAndOk(""));
            h->messages.onNextDialog(cancel);
            h->clickButton("Save");
            QCOMPARE(h->onDisk("crv"), QStringList{"older.crv"});
            QCOMPARE(h->session.chosenName, earlier);
        }
        QCOMPARE(h->messages.messages().size(), std::size_t(3)); // "Please enter the file name." after each empty one
        QCOMPARE(h->messages.messages()[1].text, std::string(quillon::text::kSaveNeedsName));
        h->messages.clear();

        editor.realTimeBox().setChecked(false);
        h->drag(QPoint(160, 200), QPoint(180, 30));
        h->messages.onNextDialog(typeAndOk("mine"));
        h->clickButton("Save");
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
        h->messages.onNextDialog(no);
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
        QCOMPARE(quillon::curve::readCurveFile(h->crvFolder() / "older.crv")->points,
                 quillon::curve::presetCurves()[3].points);
        QVERIFY(!std::filesystem::exists(h->crvFolder() / "OLDER.crv"));
        QCOMPARE(h->listedFiles(), std::vector<std::string>({"mine.crv", "older.crv"}));
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
        QCOMPARE(editor.fileNameField().text(), QString("c.crv")); // the entry before it

        for (int left = 3; left > 0; --left)
            h->clickButton("Delete"); // each time the entry selected after the last
        QVERIFY(h->listedFiles().empty());
        QVERIFY(std::filesystem::is_empty(h->crvFolder()));
        h->clickButton("Delete"); // an empty list: nothing happens
        QVERIFY(h->messages.messages().empty());
    }

private:
    std::unique_ptr<EditorHarness> h;
};

QUILLON_QTEST(CurveFilesTest)
#include "CurveFilesTest.moc"
