// The drawing area's context menu and the three kept-curve slots: which
// entries are offered, their check marks, and what Keep, Show, Restore and
// Delete do to the curve and the drawing.
#include "../support/Pixels.h"
#include "EditorHarness.h"

#include "curve/core/VelocityCurve.h"

using quillon::curve::defaultKeyPoints;
using quillon::curve::KeyPoints;
using quillon::testing::EditorHarness;
using quillon::ui::MessageAnswer;

namespace {

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
    return quillon::testing::countColour(image, image.rect(), QColor(0, 252, 250));
}

} // namespace

class CurveMenuTest : public QObject {
    Q_OBJECT
private slots:
    void init() { h = EditorHarness::openedWithoutRealTime(); }
    void cleanup() { h.reset(); }

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
                QCOMPARE(action->menu()->actions().at(2)->text(), QString("Curve3"));
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
        QCOMPARE(h->editor->state().working().table(), quillon::curve::computeCurveTable(kept));
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

private:
    std::unique_ptr<EditorHarness> h;
};

QUILLON_QTEST(CurveMenuTest)
#include "CurveMenuTest.moc"
