// The self-painting percentage bar: what it says and what it paints.
#include "ui/PercentBar.h"

#include "../support/Pixels.h"
#include "../support/QtTestMain.h"

#include <QImage>
#include <QTest>

using quillon::testing::countColour;
using quillon::ui::PercentBar;

namespace {

QImage paintedImage(PercentBar& bar) { return bar.grab().toImage().convertToFormat(QImage::Format_RGB32); }

} // namespace

class PercentBarTest : public QObject {
    Q_OBJECT
private slots:
    void percentageFollowsPositionWithinRange()
    {
        PercentBar bar;
        bar.setRange(0, 1);
        QCOMPARE(bar.shownText(), QString("0%"));
        bar.setPosition(1);
        QCOMPARE(bar.shownText(), QString("100%"));

        bar.setRange(10, 40);
        bar.setPosition(20);
        QCOMPARE(bar.percent(), 33); // rounded down
        QCOMPARE(bar.shownText(), QString("33%"));

        bar.setRange(5, 5); // an empty range never divides by zero
        QCOMPARE(bar.percent(), 0);
    }

    void positionsOutsideRangeAreClamped()
    {
        PercentBar bar;
        bar.setRange(0, 10);
        bar.setPosition(25);
        QCOMPARE(bar.position(), 10);
        bar.setPosition(-3);
        QCOMPARE(bar.position(), 0);
        bar.setPosition(8);
        bar.setRange(0, 4); // narrowing the range pulls the position in
        QCOMPARE(bar.position(), 4);
        QCOMPARE(bar.shownText(), QString("100%"));
    }

    void textReplacesPercentageUntilCleared()
    {
        PercentBar bar;
        bar.setRange(0, 4);
        bar.setPosition(1);
        bar.setText("Sending");
        QCOMPARE(bar.shownText(), QString("Sending"));
        bar.setText({});
        QCOMPARE(bar.shownText(), QString("25%"));
    }

    void fillsBarColourUpToThePosition()
    {
        PercentBar bar;
        const QColor barColour(99, 162, 104);
        bar.setBarColour(barColour);
        bar.resize(200, 16);
        bar.setRange(0, 4);
        bar.setPosition(1);

        QImage image = paintedImage(bar);
        const int rowY = 1; // above the text
        QCOMPARE(image.pixelColor(2, rowY).rgb(), barColour.rgb());
        QCOMPARE(image.pixelColor(49, rowY).rgb(), barColour.rgb());
        QVERIFY(image.pixelColor(51, rowY).rgb() != barColour.rgb());
        QVERIFY(image.pixelColor(198, rowY).rgb() != barColour.rgb());

        bar.setPosition(0);
        image = paintedImage(bar);
        QCOMPARE(countColour(image, QRect(0, 0, 200, 16), barColour), 0);

        bar.setPosition(4);
        image = paintedImage(bar);
        QCOMPARE(image.pixelColor(198, rowY).rgb(), barColour.rgb());
    }

    void textOverTheBarUsesItsOwnColour()
    {
        PercentBar bar;
        const QColor barColour(99, 162, 104);
        const QColor textColour(250, 1, 1);
        bar.setBarColour(barColour);
        bar.setTextOverBarColour(textColour);
        bar.resize(200, 20);
        bar.setRange(0, 1);

        // Empty bar: the centred text is not drawn in the over-bar colour.
        QImage image = paintedImage(bar);
        QCOMPARE(countColour(image, image.rect(), textColour), 0);

        // Full bar: the text (centred, so in the middle third) takes that colour.
        bar.setPosition(1);
        image = paintedImage(bar);
        QVERIFY(countColour(image, QRect(60, 0, 80, 20), textColour) > 5);
        QCOMPARE(countColour(image, QRect(0, 0, 40, 20), textColour), 0);
    }
};

QUILLON_QTEST(PercentBarTest)
#include "PercentBarTest.moc"
