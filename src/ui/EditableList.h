#pragma once
// A report-style list (header, rows, grid lines, whole-row selection) whose
// drop-down cells the user changes in place.
//
// Guarantees:
// - one left click on a cell of a combo column selects its row and opens a
//   drop-down exactly over the cell, scrolled into view, its choices asked
//   from the owner just before it opens, its list already open, at most
//   dropDownRows() rows high whatever the style, scrolling past that;
// - Shift/Ctrl clicks only select; a click outside every cell does nothing,
//   not even change the selection; every other column opens nothing;
// - Enter commits, Escape restores the old text; neither reaches the window
//   holding the list (a dialog's default button never fires from an edit);
// - after every edit, even a cancelled one, the cell holds the final text and
//   cellEdited() has been emitted once.
#include <QAbstractItemDelegate>
#include <QBrush>
#include <QPersistentModelIndex>
#include <QStringList>
#include <QTableView>
#include <functional>
#include <vector>

class QStandardItemModel;

namespace quillon::ui {

class EditableListDelegate;

class EditableList : public QTableView {
    Q_OBJECT
public:
    // Asked just before a drop-down opens: column index -> choices, in order.
    using ChoiceProvider = std::function<QStringList(int column)>;

    explicit EditableList(QWidget* parent = nullptr);
    ~EditableList() override;

    void addColumn(const QString& heading, int width);
    int columnCount() const;
    int rowCount() const;
    // Appends a row and makes it the selected, current row. Returns its index.
    int addRow(const QStringList& cells);
    QString cellText(int row, int column) const;
    void setCellText(int row, int column, const QString& text);
    // A cell drawn on this background (none: the list's own) with this tooltip.
    void setCellMark(int row, int column, const QBrush& background, const QString& toolTip = {});
    QBrush cellBackground(int row, int column) const;

    void setComboColumn(int column, bool on);
    bool isComboColumn(int column) const;
    void setChoiceProvider(ChoiceProvider provider);
    // What every drop-down says of its choices when the pointer rests on it.
    void setChoiceToolTip(const QString& toolTip) { m_choiceToolTip = toolTip; }
    QString choiceToolTip() const { return m_choiceToolTip; }

    // The in-place editor that is open now, or nullptr.
    QWidget* activeEditor() const;
    // Where a cell is drawn, in viewport coordinates.
    QRect cellRect(int row, int column) const;

    // How many rows a drop-down of n choices shows at once: one per choice
    // plus one, at most eleven.
    static int dropDownRows(int choiceCount);

signals:
    void cellEdited(int row, int column, const QString& text);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    // `press` is the mouse press that began the edit, if one did.
    void beginEdit(const QModelIndex& index, const QMouseEvent* press = nullptr);
    void endEditOnScroll();

    QStandardItemModel* m_model;
    EditableListDelegate* m_delegate;
    std::vector<int> m_comboColumns;
    ChoiceProvider m_choiceProvider;
    QPersistentModelIndex m_editIndex;
    QString m_choiceToolTip;
};

} // namespace quillon::ui
