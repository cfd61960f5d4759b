// Drawing the curve: which key-point a press picks and where a drag may take
// it, the context menu with its three kept-curve slots, and the picture.
#include "../support/Pixels.h"
#include "EditorHarness.h"

#include "curve/core/Presets.h"

using quillon::curve::computeCurveTable;
using quillon::curve::defaultKeyPoints;
using quillon::curve::KeyPoints;
using quillon::testing::countColour;
using quillon::testing::EditorHarness;
using quillon::ui::MessageAnswer;

namespace {

// What the window must show after a drag that left these key-points.
void verifyShows(EditorHarness& h, const KeyPoints& expected)
{
    const auto& working = h.editor->state().working();
    const auto list = [](const auto& values) { return QList<int>(values.begin(), values.end()); };
    QCOMPARE(list(working.keyPoints().x), list(expected.x));
    QCOMPARE(list(working.keyPoints().y), list(expected.y));
    const auto table = computeCurveTable(expected);
    QCOMPARE(working.table(), table);
    QCOMPARE(h.editor->newCell(6).text(), QString::number(table[60]));
    QCOMPARE(h.editor->newCell(13).text(), QString::number(table[127]));
}

struct EntryState {
    bool enabled;
    bool checked;
};

EntryState entry(quillon::curve::CurveEditor& editor, const QString& title, int slot)
{
    std::unique_ptr<QMenu> menu(editor.buildContextMenu(nullptr));
    for (QAction* action : menu->actions())
        if (action->text() == title) {
            QAction* inner = action->menu()->actions().at(slot);
            return {inner->isEnabled(), inner->isChecked()};
        }
    return {false, false};
}

// Show, Restore, Send and Delete offer a slot together: all four or none.
int offeredBy(quillon::curve::CurveEditor& editor, int slot)
{
    int count = 0;
    for (const char* title : {"Show Curve", "Restore Curve", "&Send", "&Delete"})
        count += entry(editor, title, slot).enabled ? 1 : 0;
    return count;
}

int keptCurvePixels(quillon::curve::CurveEditor& editor)
{
    const QImage& image = editor.canvas().image();
    return countColour(image, image.rect(), QColor(0, 252, 250));
}

} // namespace

class CurveDrawingTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        h = std::make_unique<EditorHarness>();
        h->open().realTimeBox().setChecked(false); // drawing needs no sends
    }
    void cleanup() { h.reset(); }

    // One drag from the default curve: pressed at the first point, moved through
    // the others, released at the last; the picked key-point must end at (x, y).
    void dragLeavesThePointWhereTheRulesPutIt_data()
    {
        QTest::addColumn<QList<QPoint>>("path");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        // Key-point 3 sits at (58, 58), pixel column 232: a press 2 pixels off still picks it.
        // x = trunc(203 / 4) = 50, y = (381 - 111) / 3 = 90.
        QTest::newRow("middle point to the mouse") << QList<QPoint>{{234, 300}, {203, 111}} << 3 << 50 << 90;
        QTest::newRow("point 1") << QList<QPoint>{{80, 0}, {110, 3 * (127 - 5)}} << 1 << 27 << 5;
        QTest::newRow("point 5") << QList<QPoint>{{388, 0}, {420, 3 * (127 - 126)}} << 5 << 105 << 126;
        // Middle points stop one short of their neighbours.
        QTest::newRow("2 pushed past 3") << QList<QPoint>{{160, 100}, {300, 100}} << 2 << 57 << 93;
        QTest::newRow("4 pulled past 3 and off the area")
            << QList<QPoint>{{292, 100}, {240, 100}, {-40, 100}} << 4 << 59 << 93;
        QTest::newRow("5 stops before 6") << QList<QPoint>{{388, 10}, {700, 10}} << 5 << 126 << 123;
        // The first and last points only move up and down.
        QTest::newRow("first point") << QList<QPoint>{{1, 381}, {150, 3 * (127 - 40)}} << 0 << 0 << 40;
        QTest::newRow("last point") << QList<QPoint>{{508, 0}, {20, 3 * (127 - 100)}} << 6 << 127 << 100;
        // Above the area is the top, below it (and its bottom row) the bottom.
        QTest::newRow("above") << QList<QPoint>{{160, 200}, {160, -30}} << 2 << 40 << 127;
        QTest::newRow("below") << QList<QPoint>{{160, 200}, {160, 900}} << 2 << 40 << 0;
        QTest::newRow("bottom row") << QList<QPoint>{{160, 200}, {160, 381}} << 2 << 40 << 0;
        QTest::newRow("last point below") << QList<QPoint>{{508, 0}, {508, 2000}} << 6 << 127 << 0;
        // (not 0, 0: the test tool reads that as "the centre")
        QTest::newRow("first point above") << QList<QPoint>{{1, 1}, {1, -2000}} << 0 << 0 << 127;
    }
    void dragLeavesThePointWhereTheRulesPutIt()
    {
        QFETCH(QList<QPoint>, path);
        QFETCH(int, index);
        QFETCH(int, x);
        QFETCH(int, y);
        h->press(path.front());
        QVERIFY(h->editor->state().dragging());
        QCOMPARE(h->editor->state().dragIndex(), index);
        for (const QPoint& at : path.mid(1))
            h->moveTo(at);
        h->release(path.back());
        QVERIFY(!h->editor->state().dragging());
        KeyPoints expected = defaultKeyPoints();
        expected.x[static_cast<std::size_t>(index)] = x;
        expected.y[static_cast<std::size_t>(index)] = y;
        verifyShows(*h, expected);
    }

    void pressPicksTheLowerOfTwoNearbyPoints()
    {
        // Bring key-point 2 to x 57, next to key-point 3 at x 58 (pixels 228 and 232).
        h->drag(QPoint(160, 100), QPoint(229, 100));
        QCOMPARE(h->editor->state().working().keyPoints().x[2], 57);

        h->press(QPoint(230, 50)); // 2 pixels from both
        QCOMPARE(h->editor->state().dragIndex(), 2);
        h->moveTo(QPoint(230, 3 * (127 - 120)));
        h->release(QPoint(230, 3 * (127 - 120)));
        QCOMPARE(h->editor->state().working().keyPoints().y[2], 120);
        QCOMPARE(h->editor->state().working().keyPoints().y[3], 58);

        // 3 pixels right of key-point 3 picks it; 4 pixels right picks nothing.
        h->press(QPoint(235, 50));
        QCOMPARE(h->editor->state().dragIndex(), 3);
        h->release(QPoint(235, 50));
        // A press that picks nothing moves nothing, however far the mouse then goes.
        const KeyPoints before = h->editor->state().working().keyPoints();
        h->press(QPoint(236, 50));
        QCOMPARE(h->editor->state().dragIndex(), -1);
        h->moveTo(QPoint(80, 300));
        h->release(QPoint(80, 300));
        QCOMPARE(h->editor->state().working().keyPoints(), before);
    }

    void menuListsItsEntriesInOrder()
    {
        h->chooseFromMenu("&Cancel");
        QCOMPARE(h->messages.menus().size(), std::size_t(1));
        const std::vector<QString> expected{"&New", "",      "Keep Curve", "Show Curve", "Restore Curve",
                                            "",     "&Send", "&Delete",    "",           "&Cancel"};
        QCOMPARE(h->messages.menus()[0], expected);
        QVERIFY(h->messages.messages().empty()); // Cancel did nothing
        std::unique_ptr<QMenu> menu(h->editor->buildContextMenu(nullptr));
        for (QAction* action : menu->actions())
            if (action->menu()) {
                QCOMPARE(action->menu()->actions().size(), 3);
                // A check box is drawn beside the entries of Keep and Show only.
                const bool marked = action->text() == "Keep Curve" || action->text() == "Show Curve";
                for (QAction* slot : action->menu()->actions())
                    QCOMPARE(slot->isCheckable(), marked);
            }
    }

    // The slot rules are KeptCurvesTest's; here the menu offers what they allow, and
    // Keep, Show, Restore and each editor command reach them and the drawing.
    void keepShowAndRestoreDriveTheSlotsAndTheDrawing()
    {
        for (int slot = 0; slot < 3; ++slot) {
            QCOMPARE(offeredBy(*h->editor, slot), 0);
            QVERIFY(entry(*h->editor, "Keep Curve", slot).enabled);
        }
        h->chooseFromMenu("Show Curve", "Curve1"); // greyed: cannot be chosen
        QVERIFY(!h->editor->state().keptCurves().slot(0).shown);

        h->drag(QPoint(160, 200), QPoint(180, 30));
        const KeyPoints kept = h->editor->state().working().keyPoints();
        h->chooseFromMenu("Keep Curve", "Curve3");
        QCOMPARE(offeredBy(*h->editor, 2), 4);
        QVERIFY(entry(*h->editor, "Keep Curve", 2).checked);
        QCOMPARE(keptCurvePixels(*h->editor), 0);
        h->chooseFromMenu("Show Curve", "Curve3");
        QVERIFY(entry(*h->editor, "Show Curve", 2).checked);

        // The kept curve stays as kept (and shows beside it) while the working one moves on;
        // before, the wider working line covered it.
        h->drag(QPoint(180, 30), QPoint(180, 350));
        QCOMPARE(h->editor->state().keptCurves().slot(2).points, kept);
        QVERIFY(keptCurvePixels(*h->editor) > 60);
        h->chooseFromMenu("Show Curve", "Curve3"); // toggles off
        QCOMPARE(keptCurvePixels(*h->editor), 0);

        // Restore makes it the working curve at once, its table and cells too.
        h->chooseFromMenu("Restore Curve", "Curve3");
        QCOMPARE(h->editor->state().working().keyPoints(), kept);
        QCOMPARE(h->editor->state().working().table(), computeCurveTable(kept));
        QCOMPARE(h->editor->newCell(13).text(), QString("127"));
    }

    void newDeleteLoadAndDefaultEachReachTheirSlotRule()
    {
        h->drag(QPoint(160, 200), QPoint(180, 30));
        h->chooseFromMenu("Keep Curve", "Curve1");
        h->chooseFromMenu("Keep Curve", "Curve2");
        h->chooseFromMenu("Show Curve", "Curve2");

        // New leaves the slots kept, and a shown one still drawn beside the default curve.
        h->messages.answerNext(MessageAnswer::No);
        h->chooseFromMenu("&New");
        QCOMPARE(h->editor->state().working().keyPoints(), defaultKeyPoints());
        QVERIFY(entry(*h->editor, "Show Curve", 1).checked);
        QVERIFY(keptCurvePixels(*h->editor) > 127);

        h->chooseFromMenu("&Delete", "Curve1");
        QCOMPARE(offeredBy(*h->editor, 0), 0);

        // Load empties the slots and their drawing, keeping the deletion; Default clears it.
        h->clickPreset("Soft1.crv");
        h->clickButton("Load");
        QCOMPARE(offeredBy(*h->editor, 1), 0);
        QCOMPARE(keptCurvePixels(*h->editor), 0);
        QVERIFY(h->editor->state().keptCurves().slot(0).deleted);
        h->messages.answerNext(MessageAnswer::No);
        h->clickButton("Default");
        h->chooseFromMenu("Keep Curve", "Curve1");
        QCOMPARE(offeredBy(*h->editor, 0), 4);
    }

    // The picture's every element in its colour, where the curve puts it.
    void presetWithTwoKeptCurvesShown()
    {
        auto& editor = *h->editor;
        QVERIFY(QTest::qWaitForWindowExposed(&editor));

        // Hard1 (x 0 4 21 45 67 94 127, y 0 26 54 74 91 112 127), kept as it is and in two variants.
        const auto hard1 = quillon::curve::presetCurves()[4].points;
        h->clickPreset("Hard1.crv");
        h->clickButton("Load");
        h->chooseFromMenu("Keep Curve", "Curve3");
        h->drag(QPoint(45 * 4, 100), QPoint(45 * 4, 3 * (127 - 40))); // key-point 3 down to 40
        h->chooseFromMenu("Keep Curve", "Curve1");
        h->drag(QPoint(94 * 4, 100), QPoint(110 * 4, 3 * (127 - 30))); // key-point 5 to (110, 30)
        h->chooseFromMenu("Keep Curve", "Curve2");
        h->chooseFromMenu("Restore Curve", "Curve3");
        h->chooseFromMenu("Show Curve", "Curve1");
        h->chooseFromMenu("Show Curve", "Curve2");
        QCOMPARE(editor.state().working().keyPoints(), hard1);

        QVERIFY(editor.grab().save(QStringLiteral(QUILLON_BINARY_DIR "/curve_editor.png"))); // for a person to look at

        const QImage& area = editor.canvas().image();
        QCOMPARE(area.pixelColor(1, 1), QColor(Qt::black));
        QCOMPARE(area.pixelColor(41, 24), QColor(125, 125, 125));   // a horizontal grid line
        QCOMPARE(area.pixelColor(120, 100), QColor(125, 125, 125)); // a vertical one
        const auto table = computeCurveTable(hard1);
        QVERIFY(countColour(area, QRect(100 * 4 - 2, (127 - table[100]) * 3 - 2, 5, 5), QColor(250, 250, 0)) > 0);
        // Curve1 passes through its lowered key-point 3 at (45, 40).
        QVERIFY(countColour(area, QRect(45 * 4 - 2, (127 - 40) * 3 - 2, 5, 5), QColor(0, 252, 250)) > 0);
        // A bead sits over Hard1's key-point 2 at (21, 54), and the dotted polygon runs on from it.
        const QColor bead = area.pixelColor(21 * 4 - 7 + 6, (127 - 54) * 3 - 5 + 6);
        QVERIFY(bead.red() > bead.green() + 60);
        QVERIFY(countColour(area, QRect(10 * 4, 0, 40, 381), QColor(250, 0, 250)) > 0);
    }

    // In device pixels (run again at QT_SCALE_FACTOR=2): a grid line stays one pixel thick.
    void sharpAtTheScreensScale()
    {
        const qreal ratio = h->editor->canvas().devicePixelRatioF();
        if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR"))
            QCOMPARE(ratio, qEnvironmentVariable("QT_SCALE_FACTOR").toDouble());
        const QImage& area = h->editor->canvas().image();
        QCOMPARE(area.size(), QSize(510, 381) * ratio);
        QCOMPARE(countColour(area, QRect(qRound(41 * ratio), qRound(24 * ratio) - 2, 1, 5), QColor(125, 125, 125)), 1);
    }

    void gridAndVertexSwitchOff()
    {
        auto& editor = *h->editor;
        QTest::mouseClick(&editor.gridBox(), Qt::LeftButton);
        QTest::mouseClick(&editor.vertexBox(), Qt::LeftButton);
        const QImage& area = editor.canvas().image();
        QCOMPARE(countColour(area, area.rect(), QColor(125, 125, 125)), 0);
        QCOMPARE(countColour(area, area.rect(), QColor(250, 0, 250)), 0);
        QVERIFY(countColour(area, area.rect(), QColor(250, 250, 0)) > 0);
        QTest::mouseClick(&editor.gridBox(), Qt::LeftButton);
        QVERIFY(countColour(editor.canvas().image(), area.rect(), QColor(125, 125, 125)) > 0);
    }

private:
    std::unique_ptr<EditorHarness> h;
};

QUILLON_QTEST(CurveDrawingTest)
#include "CurveDrawingTest.moc"
