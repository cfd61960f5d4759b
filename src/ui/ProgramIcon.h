#pragma once
// Quillon's icon, painted at run time (a keyboard's keys under a quill-like
// stroke), so the program carries no image files for it.
#include <QIcon>
#include <QPixmap>

namespace quillon::ui {

QPixmap programPixmap(int size);
QIcon programIcon();

} // namespace quillon::ui
