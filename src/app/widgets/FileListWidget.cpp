#include "app/widgets/FileListWidget.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>

namespace quillon::app {

FileListWidget::FileListWidget(QWidget* parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Context menu events come from the keyboard only (the Menu key); the
    // mouse's right button is taken at its press, below.
    setContextMenuPolicy(Qt::DefaultContextMenu);
    setSortingEnabled(false);
    setFrameShape(QFrame::StyledPanel);
}

std::vector<int> FileListWidget::selectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void FileListWidget::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        // The menu acts on what the pointer is on: a row not among the selected
        // becomes the selection; on a selected row the selection stays as it
        // was, that row becoming the current one.
        if (QListWidgetItem* pointed = itemAt(event->position().toPoint()))
            setCurrentItem(pointed,
                           pointed->isSelected() ? QItemSelectionModel::NoUpdate : QItemSelectionModel::ClearAndSelect);
        emit rightPressed(event->globalPosition().toPoint());
        event->accept();
        return;
    }
    QListWidget::mousePressEvent(event);
}

void FileListWidget::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
    if (event->reason() != QContextMenuEvent::Mouse)
        menuFromKeyboard();
}

void FileListWidget::keyPressEvent(QKeyEvent* event)
{
    // The window system turns the Menu key into a context menu event; Shift+F10,
    // its usual stand-in, comes as a plain key on most of them.
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        menuFromKeyboard();
    } else if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
        emit deletePressed();
    } else {
        QListWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void FileListWidget::menuFromKeyboard()
{
    // At the current row, where the keyboard user's eyes are.
    QListWidgetItem* current = currentItem();
    if (current == nullptr)
        return;
    scrollToItem(current);
    const QRect row = visualItemRect(current);
    emit rightPressed(viewport()->mapToGlobal(QPoint(row.left() + row.height(), row.center().y())));
}

void FileListWidget::mouseDoubleClickEvent(QMouseEvent* event)
{
    QListWidget::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        emit doubleClickedAt(event->globalPosition().toPoint());
}

} // namespace quillon::app
