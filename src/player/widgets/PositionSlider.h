#pragma once
// The player's position slider: reports each release of the mouse after any
// press on it (thumb drag or a click in the groove), the moment the user's
// choice of position is final.
#include <QMouseEvent>
#include <QSlider>

namespace quillon::player {

class PositionSlider : public QSlider {
    Q_OBJECT
public:
    explicit PositionSlider(QWidget* parent = nullptr) : QSlider(Qt::Horizontal, parent) {}

signals:
    void released();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        QSlider::mouseReleaseEvent(event);
        emit released();
    }
};

} // namespace quillon::player
