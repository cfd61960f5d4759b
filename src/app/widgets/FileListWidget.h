#pragma once
// The main window's file list: a multi-selection list whose right-click on a
// row not among the selected selects that row alone (on a selected row the
// selection stays, for the menu to act on all of it, and that row becomes
// the current one), and which reports
// right-clicks and double-clicks with their screen positions.
#include <QListWidget>

namespace quillon::app {

class FileListWidget : public QListWidget {
    Q_OBJECT
public:
    explicit FileListWidget(QWidget* parent = nullptr);

    std::vector<int> selectedRows() const; // ascending

signals:
    void rightPressed(const QPoint& screenPoint);
    void doubleClickedAt(const QPoint& screenPoint);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

} // namespace quillon::app
