// Drawing the curve: which key-point a press picks and where a drag may take
// it, so that the key-points always stay in order and on the area.
#include "EditorHarness.h"

using namespace quillon::curve;
using namespace quillon::testing;

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
        // What the window shows: the key-points, the table they give and the table's cells.
        QCOMPARE(h->editor->state().working().keyPoints(), expected);
        const auto table = computeCurveTable(expected);
        QCOMPARE(h->editor->state().working().table(), table);
        QCOMPARE(h->editor->newCell(6).text(), QString::number(table[60]));
        QCOMPARE(h->editor->newCell(13).text(), QString::number(table[127]));
    }

    // In device pixels (run again at QT_SCALE_FACTOR=2): a grid line stays one pixel thick.
    void sharpAtTheScreensScale()
    {
        const qreal ratio = h->editor->canvas().devicePixelRatioF();
        if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR"))
            QCOMPARE(ratio, qEnvironmentVariable("QT_SCALE_FACTOR").toDouble());
        const QImage& area = h->editor->canvas().image();
        QCOMPARE(area.size(), QSize(510, 381) * ratio);
        int gridPixels = 0; // across the line, a few pixels either side
        for (int y = qRound(24 * ratio) - 2; y <= qRound(24 * ratio) + 2; ++y)
            gridPixels += area.pixelColor(qRound(41 * ratio), y) == QColor(125, 125, 125);
        QCOMPARE(gridPixels, 1);
    }

private:
    std::unique_ptr<EditorHarness> h;
};

QUILLON_QTEST(CurveDrawingTest)
#include "CurveDrawingTest.moc"
