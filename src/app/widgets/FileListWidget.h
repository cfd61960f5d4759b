#pragma once
// The main window's file list: a multi-selection list whose right-click on a
// row not among the selected selects that row alone (on a selected row the
// selection stays, for the menu to act on all of it, and that row becomes
// the current one), and which reports
// right-clicks and double-clicks with their screen positions.
// The keyboard reaches the same: the Menu key and Shift+F10 report a
// right-click at the current row, Delete asks for the selection's deletion.
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
    void deletePressed();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void menuFromKeyboard();
};

} // namespace quillon::app
