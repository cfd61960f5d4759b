// The editor as the user sees it: a preset with two kept curves shown is
// grabbed to a PNG (for a person to look at) and its drawing area checked
// for every element's colour at the places the curve puts them.
#include "EditorHarness.h"

#include "../support/Pixels.h"
#include "curve/core/Presets.h"

using quillon::testing::EditorHarness;

namespace {

bool hasColour(const QImage& image, const QRect& area, const QColor& colour)
{
    return quillon::testing::countColour(image, area, colour) > 0;
}

} // namespace

class CurvePictureTest : public QObject {
    Q_OBJECT
private slots:
    void presetWithTwoKeptCurves()
    {
        EditorHarness h;
        auto& editor = h.open();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        editor.realTimeBox().setChecked(false);

        // Hard1 (x 0 4 21 45 67 94 127, y 0 26 54 74 91 112 127), kept as it is and in two variants.
        const auto hard1 = quillon::curve::presetCurves()[4].points;
        h.clickPreset("Hard1.crv");
        h.clickButton("Load");
        h.chooseFromMenu("Keep Curve", "Curve3");
        h.drag(QPoint(45 * 4, 100), QPoint(45 * 4, 3 * (127 - 40))); // key-point 3 down to 40
        h.chooseFromMenu("Keep Curve", "Curve1");
        h.drag(QPoint(94 * 4, 100), QPoint(110 * 4, 3 * (127 - 30))); // key-point 5 to (110, 30)
        h.chooseFromMenu("Keep Curve", "Curve2");
        h.chooseFromMenu("Restore Curve", "Curve3");
        h.chooseFromMenu("Show Curve", "Curve1");
        h.chooseFromMenu("Show Curve", "Curve2");
        QCOMPARE(editor.state().working().keyPoints(), hard1);

        const QString path = QStringLiteral(QUILLON_BINARY_DIR "/curve_editor.png");
        QVERIFY(editor.grab().save(path));

        const QImage& area = editor.canvas().image();
        QCOMPARE(area.size(), QSize(510, 381));
        QCOMPARE(area.pixelColor(1, 1), QColor(Qt::black));
        QCOMPARE(area.pixelColor(41, 24), QColor(125, 125, 125));   // a horizontal grid line
        QCOMPARE(area.pixelColor(120, 100), QColor(125, 125, 125)); // a vertical one
        const auto table = quillon::curve::computeCurveTable(hard1);
        QVERIFY(hasColour(area, QRect(100 * 4 - 2, (127 - table[100]) * 3 - 2, 5, 5), QColor(250, 250, 0)));
        // Curve1 passes through its lowered key-point 3 at (45, 40).
        QVERIFY(hasColour(area, QRect(45 * 4 - 2, (127 - 40) * 3 - 2, 5, 5), QColor(0, 252, 250)));
        // A bead sits over Hard1's key-point 2 at (21, 54), and the dotted polygon runs on from it.
        const QColor bead = area.pixelColor(21 * 4 - 7 + 6, (127 - 54) * 3 - 5 + 6);
        QVERIFY(bead.red() > bead.green() + 60);
        QVERIFY(hasColour(area, QRect(10 * 4, 0, 40, 381), QColor(250, 0, 250)));
    }

    void gridAndVertexSwitchOff()
    {
        EditorHarness h;
        auto& editor = h.open();
        QTest::mouseClick(&editor.gridBox(), Qt::LeftButton);
        QTest::mouseClick(&editor.vertexBox(), Qt::LeftButton);
        const QImage& area = editor.canvas().image();
        QVERIFY(!hasColour(area, area.rect(), QColor(125, 125, 125)));
        QVERIFY(!hasColour(area, area.rect(), QColor(250, 0, 250)));
        QVERIFY(hasColour(area, area.rect(), QColor(250, 250, 0)));
        QTest::mouseClick(&editor.gridBox(), Qt::LeftButton);
        QVERIFY(hasColour(editor.canvas().image(), area.rect(), QColor(125, 125, 125)));
    }
};

QUILLON_QTEST(CurvePictureTest)
#include "CurvePictureTest.moc"
