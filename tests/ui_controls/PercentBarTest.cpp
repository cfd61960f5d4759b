// The self-painting percentage bar: what it says and what it paints.
#include "ui/PercentBar.h"

#include "../support/Pixels.h"
#include "../support/QtTestMain.h"

#include <QImage>
#include <QTest>

#include <functional>

using quillon::testing::countColour;
using quillon::ui::PercentBar;

namespace {

QImage paintedImage(PercentBar& bar) { return bar.grab().toImage().convertToFormat(QImage::Format_RGB32); }

} // namespace

class PercentBarTest : public QObject {
    Q_OBJECT
private slots:
    // One bar through a run of changes: the position it keeps (clamped to the
    // range, pulled in when the range narrows) and the text it shows after each.
    void shownTextFollowsRangePositionAndText()
    {
        const struct {
            std::function<void(PercentBar&)> change;
            int position;
            QString shown;
        } steps[] = {
            {[](PercentBar& b) { b.setRange(0, 1); }, 0, "0%"},
            {[](PercentBar& b) { b.setPosition(1); }, 1, "100%"},
            {[](PercentBar& b) { b.setRange(10, 40), b.setPosition(20); }, 20, "33%"}, // rounded down
            {[](PercentBar& b) { b.setRange(5, 5); }, 5, "0%"}, // an empty range never divides by zero
            {[](PercentBar& b) { b.setRange(0, 10), b.setPosition(25); }, 10, "100%"},
            {[](PercentBar& b) { b.setPosition(-3); }, 0, "0%"},
            {[](PercentBar& b) { b.setPosition(8), b.setRange(0, 4); }, 4, "100%"},
            {[](PercentBar& b) { b.setPosition(1), b.setText("Sending"); }, 1, "Sending"},
            {[](PercentBar& b) { b.setText({}); }, 1, "25%"},
        };
        PercentBar bar;
        for (std::size_t i = 0; i < std::size(steps); ++i) {
            steps[i].change(bar);
            QVERIFY2(bar.position() == steps[i].position, qPrintable(QString("step %1").arg(i)));
            QCOMPARE(bar.shownText(), steps[i].shown);
        }
    }

    // The bar is filled in its colour up to the position; the centred text takes
    // its own colour only where it lies over the bar.
    void paintsTheBarUpToThePositionAndTheTextOverItInItsColour()
    {
        PercentBar bar;
        const QColor barColour(99, 162, 104);
        const QColor textColour(250, 1, 1);
        bar.setBarColour(barColour);
        bar.setTextOverBarColour(textColour);
        bar.resize(200, 20);
        bar.setRange(0, 4);

        // Antialiased text may have no pixel of its exact colour (Qt 6.8): within 240 is
        // at least 42 % text colour over the bar, and no grey (text off the bar) is.
        const int nearText = 240;
        QImage image = paintedImage(bar);
        QCOMPARE(countColour(image, image.rect(), barColour), 0);
        QCOMPARE(countColour(image, image.rect(), textColour, nearText), 0);

        bar.setPosition(1);
        image = paintedImage(bar);
        const int rowY = 1; // above the text
        QCOMPARE(image.pixelColor(2, rowY).rgb(), barColour.rgb());
        QCOMPARE(image.pixelColor(49, rowY).rgb(), barColour.rgb());
        QVERIFY(image.pixelColor(51, rowY).rgb() != barColour.rgb());
        QVERIFY(image.pixelColor(198, rowY).rgb() != barColour.rgb());

        bar.setPosition(4);
        image = paintedImage(bar);
        QCOMPARE(image.pixelColor(198, rowY).rgb(), barColour.rgb());
        QVERIFY(countColour(image, QRect(60, 0, 80, 20), textColour, nearText) > 5);
        QCOMPARE(countColour(image, QRect(0, 0, 40, 20), textColour, nearText), 0);
    }
};

QUILLON_QTEST(PercentBarTest)
#include "PercentBarTest.moc"
