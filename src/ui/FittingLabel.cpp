#include "ui/FittingLabel.h"

namespace quillon::ui {

FittingLabel::FittingLabel(QWidget* parent) : QLabel(parent), m_fullSizeFont(font()) { setWordWrap(true); }

void FittingLabel::setFittedText(const QString& text)
{
    setText(text);
    setToolTip(text);
    fit();
}

void FittingLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    fit();
}

void FittingLabel::fit()
{
    QFont font = m_fullSizeFont;
    setFont(font);
    while (heightForWidth(width()) > height() && font.pointSizeF() - 0.5 >= kSmallestPointSize) {
        font.setPointSizeF(font.pointSizeF() - 0.5);
        setFont(font);
    }
}

} // namespace quillon::ui
