// Dragging key-points with the mouse: which point a press picks, where the
// point may go, and the table the drag leaves behind.
#include "EditorHarness.h"

#include "curve/core/VelocityCurve.h"

using quillon::curve::computeCurveTable;
using quillon::curve::defaultKeyPoints;
using quillon::curve::KeyPoints;
using quillon::testing::EditorHarness;

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

} // namespace

class CurveDragTest : public QObject {
    Q_OBJECT
private slots:
    void init() { h = EditorHarness::openedWithoutRealTime(); }
    void cleanup() { h.reset(); }

    void dragsAMiddlePointToTheMouse()
    {
        // Key-point 3 sits at (58, 58): pixel column 232. A press 2 pixels off still picks it.
        h->press(QPoint(234, 300));
        QVERIFY(h->editor->state().dragging());
        QCOMPARE(h->editor->state().dragIndex(), 3);
        h->moveTo(QPoint(203, 111)); // x = trunc(203 / 4) = 50, y = (381 - 111) / 3 = 90
        h->release(QPoint(203, 111));
        KeyPoints expected = defaultKeyPoints();
        expected.x[3] = 50;
        expected.y[3] = 90;
        verifyShows(*h, expected);
        QVERIFY(!h->editor->state().dragging());

        // Key-points 1 and 5 move the same way.
        h->drag(QPoint(80, 0), QPoint(110, 3 * (127 - 5)));
        h->drag(QPoint(388, 0), QPoint(420, 3 * (127 - 126)));
        expected.x[1] = 27;
        expected.y[1] = 5;
        expected.x[5] = 105;
        expected.y[5] = 126;
        verifyShows(*h, expected);
    }

    void middlePointsStopOneShortOfTheirNeighbours()
    {
        KeyPoints expected = defaultKeyPoints();
        // Key-point 2 (x 40) pushed past key-point 3 (x 58).
        h->drag(QPoint(160, 100), QPoint(300, 100));
        expected.x[2] = 57;
        expected.y[2] = 93; // trunc((381 - 100) / 3)
        verifyShows(*h, expected);

        // Key-point 4 (x 73) pulled left past key-point 3 and then off the area.
        h->press(QPoint(292, 100));
        h->moveTo(QPoint(240, 100));
        QCOMPARE(h->editor->state().working().keyPoints().x[4], 60);
        h->moveTo(QPoint(-40, 100));
        h->release(QPoint(-40, 100));
        expected.x[4] = 59;
        expected.y[4] = 93;
        verifyShows(*h, expected);

        // Key-point 5 (x 97) dragged far right stops before key-point 6 (x 127).
        h->drag(QPoint(388, 10), QPoint(700, 10));
        expected.x[5] = 126;
        expected.y[5] = 123; // (381 - 10) / 3
        verifyShows(*h, expected);
    }

    void firstAndLastPointsOnlyMoveUpAndDown()
    {
        KeyPoints expected = defaultKeyPoints();
        h->drag(QPoint(1, 381), QPoint(150, 3 * (127 - 40)));
        expected.y[0] = 40;
        verifyShows(*h, expected);
        QCOMPARE(h->editor->state().working().table()[0], 40);

        h->drag(QPoint(508, 0), QPoint(20, 3 * (127 - 100)));
        expected.y[6] = 100;
        verifyShows(*h, expected);
        QCOMPARE(h->editor->state().working().table()[127], 100);
    }

    void aboveTheAreaIsTopAndBelowIsBottom()
    {
        KeyPoints expected = defaultKeyPoints();
        h->press(QPoint(160, 200));
        h->moveTo(QPoint(160, -30));
        QCOMPARE(h->editor->state().working().keyPoints().y[2], 127);
        h->moveTo(QPoint(160, 900));
        QCOMPARE(h->editor->state().working().keyPoints().y[2], 0);
        h->moveTo(QPoint(160, 381)); // the bottom row itself is 0 as well
        h->release(QPoint(160, 381));
        expected.y[2] = 0;
        verifyShows(*h, expected);

        h->drag(QPoint(508, 0), QPoint(508, 2000));
        expected.y[6] = 0;
        h->drag(QPoint(1, 1), QPoint(1, -2000)); // (not 0, 0: the test tool reads that as "the centre")
        expected.y[0] = 127;
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
        h->press(QPoint(236, 50));
        QCOMPARE(h->editor->state().dragIndex(), -1);
        h->release(QPoint(236, 50));
    }

    void movesAfterReleaseChangeNothing()
    {
        h->drag(QPoint(80, 0), QPoint(100, 30));
        const KeyPoints afterDrag = h->editor->state().working().keyPoints();
        // A move with the button held that began beside every column (between key-points 1 and 2).
        h->press(QPoint(130, 30));
        h->moveTo(QPoint(80, 300));
        h->release(QPoint(80, 300));
        QCOMPARE(h->editor->state().working().keyPoints(), afterDrag);
    }

private:
    std::unique_ptr<EditorHarness> h;
};

QUILLON_QTEST(CurveDragTest)
#include "CurveDragTest.moc"
