#include "ui/ProgramIcon.h"

#include <QPainter>
#include <QPainterPath>

namespace quillon::ui {

void paintProgramIcon(QPainter& painter, qreal s)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x1f, 0x3a, 0x6b));
    painter.drawRoundedRect(QRectF(0, 0, s, s), s * 0.18, s * 0.18);

    // Five white keys with three black keys across the lower half.
    const QRectF keys(s * 0.12, s * 0.48, s * 0.76, s * 0.40);
    const qreal keyWidth = keys.width() / 5.0;
    painter.setBrush(Qt::white);
    for (int i = 0; i < 5; ++i)
        painter.drawRect(QRectF(keys.left() + i * keyWidth + s * 0.01, keys.top(), keyWidth - s * 0.02, keys.height()));
    painter.setBrush(QColor(0x10, 0x10, 0x10));
    for (int i : {1, 2, 4})
        painter.drawRect(
            QRectF(keys.left() + i * keyWidth - keyWidth * 0.3, keys.top(), keyWidth * 0.6, keys.height() * 0.6));

    // A rising curve above the keys: the velocity curve the program shapes.
    QPainterPath curve;
    curve.moveTo(s * 0.14, s * 0.40);
    curve.cubicTo(s * 0.45, s * 0.38, s * 0.55, s * 0.12, s * 0.86, s * 0.10);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0xff, 0xc8, 0x3c), s * 0.07, Qt::SolidLine, Qt::RoundCap));
    painter.drawPath(curve);
}

QPixmap programPixmap(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    paintProgramIcon(painter, size);
    return pixmap;
}

QIcon programIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64})
        icon.addPixmap(programPixmap(size));
    return icon;
}

} // namespace quillon::ui
