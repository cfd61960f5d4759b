// The list box whose entries carry their own colours.
#include "ui/ColourListBox.h"

#include "../support/Pixels.h"
#include "../support/QtTestMain.h"

#include <QImage>
#include <QTest>

using quillon::testing::countColour;
using quillon::ui::ColourListBox;

class ColourListBoxTest : public QObject {
    Q_OBJECT
private slots:
    void unselectedEntryShowsItsColourOnWindowBackground()
    {
        ColourListBox box;
        const QColor colour(200, 30, 30);
        box.addEntry("WWWWWWWW", colour);
        box.resize(160, 80);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));

        const QRect row = box.visualItemRect(box.item(0));
        const QImage image = box.viewport()->grab().toImage();
        const QColor window = box.palette().color(QPalette::Window);
        QCOMPARE(image.pixelColor(row.right() - 2, row.center().y()).rgb(), window.rgb());
        QVERIFY(countColour(image, row, colour, 40) > 10);
    }

    void selectedEntryIsFilledWithItsColour()
    {
        ColourListBox box;
        const QColor colour(154, 154, 154);
        box.addEntry("first", Qt::darkGreen);
        box.addEntry("WWWWWWWW", colour);
        box.resize(160, 80);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        box.setCurrentRow(1);

        const QRect row = box.visualItemRect(box.item(1));
        const QImage image = box.viewport()->grab().toImage();
        QCOMPARE(image.pixelColor(row.right() - 2, row.center().y()).rgb(), colour.rgb());
        QVERIFY(countColour(image, row, QColor(101, 101, 101), 20) > 10); // the text in the complement
        // The other entry stays unfilled.
        const QRect other = box.visualItemRect(box.item(0));
        QCOMPARE(image.pixelColor(other.right() - 2, other.center().y()).rgb(),
                 box.palette().color(QPalette::Window).rgb());
    }
};

QUILLON_QTEST(ColourListBoxTest)
#include "ColourListBoxTest.moc"
