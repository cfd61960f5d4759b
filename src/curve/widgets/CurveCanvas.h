#pragma once
// The curve drawing area: a fixed 510 x 381 pixel surface that shows a
// CurvePicture (grid, shown kept curves, the working curve, the key-point
// beads and their control polygon, and while the velocity monitor is on the
// keys played lately) and reports the mouse in its own pixel
// coordinates. Each picture is rendered whole into an off-screen image that
// the paint event copies in one piece, so a redraw never flickers.
//
// The canvas holds no curve state and no drag rules; its owner decides what a
// press, a move or a release means and hands back the next picture.
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
    // The last rendered image (what the screen shows after the next paint).
    const QImage& image() const { return m_image; }

    // Where a table point is drawn.
    static QPoint pointFor(int source, int value) { return {source * kScaleX, (127 - value) * kScaleY}; }

    // The bead drawn over each key-point (12 x 12, made once).
    static const QImage& bead();

signals:
    void leftPressed(QPoint position);
    void mouseMoved(QPoint position);
    void leftReleased(QPoint position);
    void rightPressed(QPoint globalPosition);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage m_image;
};

} // namespace quillon::curve
