#include "ui/EditableList.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QStyle>
#include <QStyledItemDelegate>
#include <algorithm>

namespace quillon::ui {

namespace {

constexpr int kNarrowestComboColumn = 10;
constexpr int kMostDropDownRows = 11;

// A drop-down list editor that reports when its opened list closes, whether
// or not an entry was chosen: that ends the edit.
class InPlaceCombo : public QComboBox {
public:
    using QComboBox::QComboBox;
    std::function<void()> onListClosed;

    void hidePopup() override
    {
        QComboBox::hidePopup();
        if (onListClosed) {
            onListClosed();
        }
    }
};

bool contains(const std::vector<int>& columns, int column)
{
    return std::find(columns.begin(), columns.end(), column) != columns.end();
}

void setMember(std::vector<int>& columns, int column, bool on)
{
    const auto found = std::find(columns.begin(), columns.end(), column);
    if (on && found == columns.end()) {
        columns.push_back(column);
    } else if (!on && found != columns.end()) {
        columns.erase(found);
    }
}

} // namespace

// Makes the drop-down editor and keeps Enter and Escape inside it.
class EditableListDelegate : public QStyledItemDelegate {
public:
    explicit EditableListDelegate(EditableList* list) : QStyledItemDelegate(list), m_list(list) {}

    void prepareCombo(QStringList choices) { m_choices = std::move(choices); }

    QWidget* editor() const { return m_editor.data(); }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        auto* combo = new InPlaceCombo(parent);
        combo->addItems(m_choices);
        combo->setMaxVisibleItems(EditableList::dropDownRows(static_cast<int>(m_choices.size())));
        // Styles that open the list as a pop-up over the cell (Fusion among
        // them) show every entry and ignore the row limit; 28 slots would
        // then run off the window. The plain drop-down keeps the limit.
        combo->setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
        combo->view()->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        auto* self = const_cast<EditableListDelegate*>(this);
        QPointer<InPlaceCombo> guard(combo);
        // The chosen entry becomes current only after the list has closed,
        // so the edit ends on the next turn of the event loop.
        combo->onListClosed = [self, guard] {
            QMetaObject::invokeMethod(
                self,
                [self, guard] {
                    if (guard && guard == self->m_list->activeEditor()) {
                        emit self->commitData(guard);
                        emit self->closeEditor(guard, QAbstractItemDelegate::NoHint);
                    }
                },
                Qt::QueuedConnection);
        };
        combo->setFont(m_list->font());
        // A choice wider than its cell (a slot with the song last sent to it) is shown whole.
        QAbstractItemView* view = combo->view();
        view->setMinimumWidth(view->sizeHintForColumn(0) + view->style()->pixelMetric(QStyle::PM_ScrollBarExtent) +
                              2 * view->style()->pixelMetric(QStyle::PM_DefaultFrameWidth));
        combo->setToolTip(m_list->choiceToolTip());
        combo->view()->setToolTip(m_list->choiceToolTip());
        m_editor = combo;
        return combo;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        const QString text = index.data(Qt::DisplayRole).toString();
        if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            // First choice that the cell's text begins, ignoring case; else none.
            combo->setCurrentIndex(text.isEmpty() ? -1 : combo->findText(text, Qt::MatchStartsWith));
        }
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            model->setData(index, combo->currentIndex() < 0 ? QString() : combo->currentText());
        }
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        auto* editor = qobject_cast<QWidget*>(object);
        if (editor && event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                emit commitData(editor);
                emit closeEditor(editor, QAbstractItemDelegate::NoHint);
                return true;
            }
            if (key == Qt::Key_Escape) {
                emit closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
                return true;
            }
        }
        if (editor && event->type() == QEvent::ShortcutOverride) {
            // Claim Enter and Escape before any shortcut of the window does.
            auto* keyEvent = static_cast<QKeyEvent*>(event);
            const int key = keyEvent->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
                keyEvent->accept();
                return true;
            }
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

private:
    EditableList* m_list;
    QStringList m_choices;
    mutable QPointer<QWidget> m_editor;
};

EditableList::EditableList(QWidget* parent)
    : QTableView(parent), m_model(new QStandardItemModel(this)), m_delegate(new EditableListDelegate(this))
{
    setModel(m_model);
    setItemDelegate(m_delegate);
    setEditTriggers(QAbstractItemView::NoEditTriggers); // edits start only from beginEdit()
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setShowGrid(true);
    setWordWrap(false);
    setTabKeyNavigation(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setMinimumSectionSize(0); // the owner's widths hold, however narrow
    connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this, &EditableList::endEditOnScroll);
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, &EditableList::endEditOnScroll);
}

EditableList::~EditableList() = default;

void EditableList::addColumn(const QString& heading, int width)
{
    const int column = m_model->columnCount();
    m_model->insertColumn(column);
    auto* header = new QStandardItem(heading);
    header->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_model->setHorizontalHeaderItem(column, header);
    setColumnWidth(column, width);
}

int EditableList::columnCount() const { return m_model->columnCount(); }

int EditableList::rowCount() const { return m_model->rowCount(); }

int EditableList::addRow(const QStringList& cells)
{
    QList<QStandardItem*> items;
    for (int column = 0; column < m_model->columnCount(); ++column) {
        items.append(new QStandardItem(column < cells.size() ? cells[column] : QString()));
    }
    m_model->appendRow(items);
    const int row = m_model->rowCount() - 1;
    setCurrentIndex(m_model->index(row, 0));
    selectRow(row);
    return row;
}

QString EditableList::cellText(int row, int column) const
{
    return m_model->index(row, column).data(Qt::DisplayRole).toString();
}

void EditableList::setCellText(int row, int column, const QString& text)
{
    m_model->setData(m_model->index(row, column), text, Qt::DisplayRole);
}

void EditableList::setCellMark(int row, int column, const QBrush& background, const QString& toolTip)
{
    const QModelIndex index = m_model->index(row, column);
    m_model->setData(index, background == QBrush() ? QVariant() : QVariant(background), Qt::BackgroundRole);
    m_model->setData(index, toolTip.isEmpty() ? QVariant() : QVariant(toolTip), Qt::ToolTipRole);
}

QBrush EditableList::cellBackground(int row, int column) const
{
    return m_model->index(row, column).data(Qt::BackgroundRole).value<QBrush>();
}

void EditableList::setComboColumn(int column, bool on) { setMember(m_comboColumns, column, on); }

bool EditableList::isComboColumn(int column) const { return contains(m_comboColumns, column); }

void EditableList::setChoiceProvider(ChoiceProvider provider) { m_choiceProvider = std::move(provider); }

QWidget* EditableList::activeEditor() const { return m_editIndex.isValid() ? m_delegate->editor() : nullptr; }

QRect EditableList::cellRect(int row, int column) const { return visualRect(m_model->index(row, column)); }

int EditableList::dropDownRows(int choiceCount) { return std::min(std::max(choiceCount, 0) + 1, kMostDropDownRows); }

void EditableList::mousePressEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (!index.isValid()) {
        event->accept(); // outside every cell: not even the selection changes
        return;
    }
    QTableView::mousePressEvent(event);
    if (event->button() != Qt::LeftButton) {
        return;
    }
    if (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)) {
        return; // extending a selection never opens an editor
    }
    if (currentIndex() != index) {
        return;
    }
    beginEdit(index, event);
}

void EditableList::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (!indexAt(event->position().toPoint()).isValid()) {
        event->accept();
        return;
    }
    QTableView::mouseDoubleClickEvent(event);
}

void EditableList::beginEdit(const QModelIndex& index, const QMouseEvent* press)
{
    const int column = index.column();
    if (!isComboColumn(column) || columnWidth(column) < kNarrowestComboColumn) {
        return;
    }
    m_delegate->prepareCombo(m_choiceProvider ? m_choiceProvider(column) : QStringList());
    scrollTo(index);
    m_editIndex = index;
    if (!edit(index, QAbstractItemView::AllEditTriggers, nullptr)) {
        m_editIndex = QPersistentModelIndex();
        return;
    }
    if (QWidget* editor = m_delegate->editor()) {
        editor->setFocus(Qt::MouseFocusReason);
        // The click that opened a drop-down also opens its list: one click, not two.
        if (auto* dropDown = qobject_cast<QComboBox*>(editor)) {
            if (press) {
                // Handed on as the drop-down's own press, so that the release
                // of this click, which the opened list receives, is taken as
                // the end of the click and does not close the list again.
                const QPointF global = press->globalPosition();
                QMouseEvent own(QEvent::MouseButtonPress, dropDown->mapFromGlobal(global), global, Qt::LeftButton,
                                Qt::LeftButton, Qt::NoModifier);
                QCoreApplication::sendEvent(dropDown, &own);
            }
            if (!dropDown->view()->isVisible()) {
                dropDown->showPopup();
            }
        }
    }
}

void EditableList::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    const QPersistentModelIndex edited = m_editIndex;
    m_editIndex = QPersistentModelIndex();
    // Tab leaves the edit like any other loss of focus; it never walks on to
    // the next cell, which might not be editable.
    const bool walks = hint == QAbstractItemDelegate::EditNextItem || hint == QAbstractItemDelegate::EditPreviousItem;
    QTableView::closeEditor(editor, walks ? QAbstractItemDelegate::NoHint : hint);
    if (edited.isValid()) {
        emit cellEdited(edited.row(), edited.column(), cellText(edited.row(), edited.column()));
    }
}

void EditableList::endEditOnScroll()
{
    if (m_editIndex.isValid() && !hasFocus()) {
        setFocus(Qt::OtherFocusReason);
    }
}

} // namespace quillon::ui
