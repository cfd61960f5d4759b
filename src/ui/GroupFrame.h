#pragma once
// A titled group frame whose title sits on the frame's top line, so that a
// frame placed in dialog units encloses the same area as the layout intends
// (the default style puts the title above the line and shrinks the frame).
#include <QGroupBox>

namespace quillon::ui {

QGroupBox* makeGroupFrame(const QString& title, QWidget* parent);

} // namespace quillon::ui
