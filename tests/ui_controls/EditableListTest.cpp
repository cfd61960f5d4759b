// The in-place editing list, driven the way a user drives it: mouse clicks on
// cells, Enter and Escape in its drop-downs.
#include "ui/EditableList.h"

#include "../support/QtTestMain.h"

#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>

using quillon::ui::EditableList;

namespace {

const QStringList kSlots = {"No.01", "No.02", "No.03", "No.04", "No.05"};

// A dialog with a default button around a three-column list: "Slot" edited by
// drop-down, "Name" and "Size" only shown.
struct Fixture {
    QDialog dialog;
    EditableList* list = new EditableList(&dialog);
    QPushButton* okButton = new QPushButton("OK", &dialog);
    QList<int> askedColumns;

    Fixture()
    {
        auto* layout = new QVBoxLayout(&dialog);
        layout->addWidget(list);
        layout->addWidget(okButton);
        okButton->setDefault(true);
        QObject::connect(okButton, &QPushButton::clicked, &dialog, &QDialog::accept);
        list->addColumn("Name", 120);
        list->addColumn("Slot", 70);
        list->addColumn("Size", 60);
        list->setComboColumn(1, true);
        list->setChoiceProvider([this](int column) {
            askedColumns.append(column);
            return column == 1 ? kSlots : QStringList();
        });
        list->addRow({"first.mid", "No.01", "1.00K"});
        list->addRow({"second.mid", "no.04", "2.00K"});
        list->addRow({"third.mid", "Slot 9", "3.00K"});
        dialog.resize(320, 220);
        dialog.show();
    }

    void click(int row, int column, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, list->cellRect(row, column).center());
    }

    QList<int> selectedRows() const
    {
        QList<int> rows;
        for (const auto& index : list->selectionModel()->selectedRows())
            rows.append(index.row());
        std::sort(rows.begin(), rows.end());
        return rows;
    }
};

} // namespace

class EditableListTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Fixture> f;

private slots:
    void init()
    {
        f = std::make_unique<Fixture>();
        QVERIFY(QTest::qWaitForWindowActive(&f->dialog));
    }
    void cleanup() { f.reset(); }

    // Only a drop-down column's cell opens an editor: other cells and clicks
    // with Shift or Ctrl only select.
    void clicksElsewhereSelectWithoutEditing()
    {
        QSignalSpy edited(f->list, &EditableList::cellEdited);
        f->click(1, 0);
        f->click(1, 2);
        QVERIFY(!f->list->activeEditor());
        QCOMPARE(f->selectedRows(), QList<int>{1});

        f->click(0, 2);
        f->click(2, 1, Qt::ShiftModifier);
        QVERIFY(!f->list->activeEditor());
        QCOMPARE(f->selectedRows(), (QList<int>{0, 1, 2}));
        QCOMPARE(edited.count(), 0);
        QVERIFY(f->askedColumns.isEmpty());
    }

    void dropDownOffersTheOwnersChoicesAndPreselectsByPrefix()
    {
        // "no.04" matches "No.04" whatever the case.
        f->click(1, 1);
        QCOMPARE(f->askedColumns, QList<int>{1});
        auto* combo = qobject_cast<QComboBox*>(f->list->activeEditor());
        QVERIFY(combo);
        QStringList offered;
        for (int i = 0; i < combo->count(); ++i)
            offered.append(combo->itemText(i));
        QCOMPARE(offered, kSlots);
        QCOMPARE(combo->currentText(), QString("No.04"));

        // Choosing another entry from the opened list ends the edit with it.
        QSignalSpy edited(f->list, &EditableList::cellEdited);
        combo->showPopup();
        combo->setCurrentIndex(4);
        combo->hidePopup();
        QTRY_COMPARE(edited.count(), 1);
        QCOMPARE(edited[0], (QList<QVariant>{1, 1, QString("No.05")}));
        QCOMPARE(f->list->cellText(1, 1), QString("No.05"));
        QVERIFY(!f->list->activeEditor());
    }

    void dropDownWithoutAMatchSelectsNothingAndLeavingEmptiesTheCell()
    {
        QSignalSpy edited(f->list, &EditableList::cellEdited);

        f->click(2, 1);
        auto* combo = qobject_cast<QComboBox*>(f->list->activeEditor());
        QVERIFY(combo);
        QCOMPARE(combo->currentIndex(), -1);
        QTest::keyClick(combo, Qt::Key_Return);

        QCOMPARE(f->list->cellText(2, 1), QString());
        QCOMPARE(edited.count(), 1);
        QCOMPARE(edited[0], (QList<QVariant>{2, 1, QString()}));

        // Escape keeps the slot the cell had: a cancelled choice must not send a song elsewhere.
        f->click(0, 1);
        combo = qobject_cast<QComboBox*>(f->list->activeEditor());
        QVERIFY(combo);
        combo->setCurrentIndex(2);
        QTest::keyClick(combo, Qt::Key_Escape);
        QCOMPARE(f->list->cellText(0, 1), QString("No.01"));
    }

    void aNewRowIsTheSelectedCurrentRowWithItsMissingCellsEmpty()
    {
        QCOMPARE(f->list->addRow({"fourth.mid"}), 3);
        QCOMPARE(f->list->cellText(3, 1), QString());
        QCOMPARE(f->list->currentIndex().row(), 3);
        QCOMPARE(f->selectedRows(), QList<int>{3});
    }
};

QUILLON_QTEST(EditableListTest)
#include "EditableListTest.moc"
