#pragma once
// Quillon's icon, painted at run time (a keyboard's keys under a quill-like
// stroke), so the program carries no image files for it. The installed icon
// files (PNG sizes and the scalable SVG) are painted by the same code at build time.
#include <QIcon>
#include <QPainter>
#include <QPixmap>

namespace quillon::ui {

// Paints the icon into the square (0, 0, size, size) of any paint device.
void paintProgramIcon(QPainter& painter, qreal size);
QPixmap programPixmap(int size);
QIcon programIcon();

} // namespace quillon::ui
