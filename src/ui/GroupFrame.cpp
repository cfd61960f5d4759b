#include "ui/GroupFrame.h"

#include <QFontMetrics>

namespace quillon::ui {

QGroupBox* makeGroupFrame(const QString& title, QWidget* parent)
{
    auto* frame = new QGroupBox(title, parent);
    const int half = QFontMetrics(parent != nullptr ? parent->font() : frame->font()).height() / 2;
    frame->setStyleSheet(QStringLiteral("QGroupBox { border: 1px solid palette(mid); border-radius: 2px;"
                                        " margin-top: %1px; }"
                                        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
                                        " left: 6px; padding: 0 2px; background-color: palette(window); }")
                             .arg(half));
    return frame;
}

} // namespace quillon::ui
