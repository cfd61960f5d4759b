#include "app/widgets/FileListWidget.h"

#include <QMouseEvent>

#include <algorithm>

namespace quillon::app {

FileListWidget::FileListWidget(QWidget* parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setContextMenuPolicy(Qt::NoContextMenu);
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
            setCurrentItem(pointed, pointed->isSelected() ? QItemSelectionModel::NoUpdate
                                                          : QItemSelectionModel::ClearAndSelect);
        emit rightPressed(event->globalPosition().toPoint());
        event->accept();
        return;
    }
    QListWidget::mousePressEvent(event);
}

void FileListWidget::mouseDoubleClickEvent(QMouseEvent* event)
{
    QListWidget::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        emit doubleClickedAt(event->globalPosition().toPoint());
}

} // namespace quillon::app
