// The shared controls: the in-place editing list, driven the way a user drives
// it (mouse clicks on cells, Enter and Escape in its drop-downs), and what the
// self-painting percentage bar says.
#include "ui/EditableList.h"
#include "ui/PercentBar.h"

#include "../support/QtTestMain.h"

#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>

#include <functional>

using quillon::ui::EditableList;
using quillon::ui::PercentBar;

class ControlsTest : public QObject {
    Q_OBJECT
private slots:
    // In a dialog with a default button, as the Send File window has: "Slot" edited by drop-down.
    void dropDownsPreselectByPrefixAndEndTheEditAsTheUserChose()
    {
        const QStringList choices = {"No.01", "No.02", "No.03", "No.04", "No.05"};
        QDialog dialog;
        auto* list = new EditableList(&dialog);
        auto* ok = new QPushButton("OK", &dialog);
        auto* layout = new QVBoxLayout(&dialog);
        layout->addWidget(list);
        layout->addWidget(ok);
        ok->setDefault(true);
        QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
        list->addColumn("Name", 120);
        list->addColumn("Slot", 70);
        list->setComboColumn(1, true);
        list->setChoiceProvider([&](int column) { return column == 1 ? choices : QStringList(); });
        for (const QStringList& row : {QStringList{"first.mid", "No.01"}, {"second.mid", "no.04"}, {"third.mid", "9"}})
            list->addRow(row);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QSignalSpy edited(list, &EditableList::cellEdited);
        const auto open = [&](int row, int column) {
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->cellRect(row, column).center());
            return qobject_cast<QComboBox*>(list->activeEditor());
        };
        QVERIFY(!open(1, 0)); // only the drop-down column edits

        // "no.04" matches "No.04" whatever the case; choosing from the opened list ends the edit.
        QComboBox* combo = open(1, 1);
        QVERIFY(combo);
        QCOMPARE(combo->count(), choices.size());
        QCOMPARE(combo->currentText(), QString("No.04"));
        combo->showPopup();
        combo->setCurrentIndex(4);
        combo->hidePopup();
        QTRY_COMPARE(edited.count(), 1);
        QCOMPARE(edited[0], (QList<QVariant>{1, 1, QString("No.05")}));
        QVERIFY(!list->activeEditor());

        // No match selects nothing, and Enter leaves the cell empty, not the dialog.
        combo = open(2, 1);
        QVERIFY(combo);
        QCOMPARE(combo->currentIndex(), -1);
        QTest::keyClick(combo, Qt::Key_Return);
        QCOMPARE(edited.last(), (QList<QVariant>{2, 1, QString()}));
        QVERIFY(dialog.isVisible());

        // Escape keeps the slot the cell had: a cancelled choice must not send a song elsewhere.
        combo = open(0, 1);
        QVERIFY(combo);
        combo->setCurrentIndex(2);
        QTest::keyClick(combo, Qt::Key_Escape);
        QCOMPARE(list->cellText(0, 1), QString("No.01"));
    }

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

QUILLON_QTEST(ControlsTest)
#include "ControlsTest.moc"
