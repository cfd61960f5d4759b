#pragma once
// The curve drawing area: a fixed 510 x 381 point surface that shows a
// CurvePicture (grid, shown kept curves, the working curve, the key-point
// beads and their control polygon, and while the velocity monitor is on the
// keys played lately) and reports the mouse in its own pixel
// coordinates. Each picture is rendered whole into an off-screen image that
// the paint event copies in one piece, so a redraw never flickers; the image
// has the screen's device pixels (twice as many each way at 2x), so it is as
// sharp as the rest of the window, and its thin lines stay one pixel wide.
//
// The canvas holds no curve state and no drag rules; its owner decides what a
// press, a move or a release means and hands back the next picture.
//
// From the keyboard: Page Down and Page Up pick the next or previous
// key-point (Tab stays free to leave the canvas), the arrows ask to move the
// picked one by a step of 1 (Shift: 8), and the Menu key or Shift+F10 ask for
// the menu at that point. Screen readers hear the key-points as text.
#include "curve/widgets/CurvePicture.h"

#include <QImage>
#include <QPixmap>
#include <QWidget>

namespace quillon::curve {

class CurveCanvas : public QWidget {
    Q_OBJECT
public:
    // Pixels per velocity unit; velocity 127 is at the top.
    static constexpr int kScaleX = 4;
    static constexpr int kScaleY = 3;
    static constexpr int kWidth = 127 * kScaleX + 2; // 510
    static constexpr int kHeight = 127 * kScaleY;    // 381

    explicit CurveCanvas(QWidget* parent = nullptr);

    // Renders the picture off-screen at once and schedules one copy to the screen.
    void showPicture(const CurvePicture& picture);
    // The last rendered image (what the screen shows after the next paint), at
    // the canvas's device pixel ratio.
    const QImage& image() const { return m_image; }

    // Where a table point is drawn.
    static QPoint pointFor(int source, int value) { return {source * kScaleX, (127 - value) * kScaleY}; }

signals:
    void leftPressed(QPoint position);
    void mouseMoved(QPoint position);
    void leftReleased(QPoint position);
    void rightPressed(QPoint globalPosition);
    // An arrow key: move key-point `index` by this many steps right and up.
    void keyPointNudged(int index, int right, int up);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void menuFromKeyboard();
    void render();
    void describe(); // the key-points as text, for screen readers

    QImage m_image;
    QImage m_bead;          // drawn over each key-point, 12 x 12 points at the image's ratio
    CurvePicture m_picture; // the last one shown, for the keyboard's picked key-point
    int m_picked = 0;       // the key-point the keyboard moves
};

} // namespace quillon::curve
