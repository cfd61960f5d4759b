#include "ui/PercentBar.h"

#include <QPainter>
#include <algorithm>

namespace quillon::ui {

PercentBar::PercentBar(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

void PercentBar::setRange(int minimum, int maximum)
{
    m_minimum = minimum;
    m_maximum = std::max(minimum, maximum);
    m_position = std::clamp(m_position, m_minimum, m_maximum);
    update();
}

void PercentBar::setPosition(int position)
{
    const int clamped = std::clamp(position, m_minimum, m_maximum);
    if (clamped == m_position)
        return;
    m_position = clamped;
    update();
}

void PercentBar::setText(const QString& text)
{
    m_text = text;
    update();
}

void PercentBar::setBarColour(const QColor& colour)
{
    m_barColour = colour;
    update();
}

void PercentBar::setTextOverBarColour(const QColor& colour)
{
    m_textOverBarColour = colour;
    update();
}

int PercentBar::percent() const
{
    const long long span = static_cast<long long>(m_maximum) - m_minimum;
    if (span <= 0)
        return 0;
    return static_cast<int>((static_cast<long long>(m_position) - m_minimum) * 100 / span);
}

QString PercentBar::shownText() const { return m_text.isEmpty() ? QString::asprintf("%d%%", percent()) : m_text; }

QSize PercentBar::sizeHint() const { return {160, fontMetrics().height() + 4}; }

int PercentBar::filledWidth(int totalWidth) const
{
    const long long span = static_cast<long long>(m_maximum) - m_minimum;
    if (span <= 0)
        return 0;
    return static_cast<int>((static_cast<long long>(m_position) - m_minimum) * totalWidth / span);
}

void PercentBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect whole = rect();
    const QRect filled(whole.left(), whole.top(), filledWidth(whole.width()), whole.height());
    const QRect empty(filled.right() + 1, whole.top(), whole.width() - filled.width(), whole.height());
    const QString label = shownText();

    // The text is drawn twice, each time clipped to one part, so that it
    // changes colour exactly where the bar ends.
    painter.fillRect(empty, palette().color(QPalette::Base));
    painter.setClipRect(empty);
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(whole, Qt::AlignCenter, label);

    painter.setClipRect(filled);
    painter.fillRect(filled, m_barColour);
    painter.setPen(m_textOverBarColour);
    painter.drawText(whole, Qt::AlignCenter, label);
}

} // namespace quillon::ui
