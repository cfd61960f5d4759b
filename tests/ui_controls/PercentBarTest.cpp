// The self-painting percentage bar: what it says.
#include "ui/PercentBar.h"

#include "../support/QtTestMain.h"

#include <QTest>

#include <functional>

using quillon::ui::PercentBar;

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
};

QUILLON_QTEST(PercentBarTest)
#include "PercentBarTest.moc"
