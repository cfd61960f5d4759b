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
    // An unselected entry draws its text in its colour on the window background;
    // the selected one is filled with its colour, its text in the complement.
    void entriesShowTheirColourAndTheSelectedOneIsFilledWithIt()
    {
        ColourListBox box;
        const QColor red(200, 30, 30);
        const QColor grey(154, 154, 154);
        box.addEntry("WWWWWWWW", red);
        box.addEntry("WWWWWWWW", grey);
        box.resize(160, 80);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        box.setCurrentRow(1);

        const QImage image = box.viewport()->grab().toImage();
        const QRect plain = box.visualItemRect(box.item(0));
        QCOMPARE(image.pixelColor(plain.right() - 2, plain.center().y()).rgb(),
                 box.palette().color(QPalette::Window).rgb());
        QVERIFY(countColour(image, plain, red, 40) > 10);
        const QRect selected = box.visualItemRect(box.item(1));
        QCOMPARE(image.pixelColor(selected.right() - 2, selected.center().y()).rgb(), grey.rgb());
        QVERIFY(countColour(image, selected, QColor(101, 101, 101), 20) > 10);
    }
};

QUILLON_QTEST(ColourListBoxTest)
#include "ColourListBoxTest.moc"
