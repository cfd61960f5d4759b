#include "ui/DialogUnits.h"

#include <QFontMetrics>
#include <QWidget>

#include <algorithm>

namespace quillon::ui {

QFont dialogFont(const QString& family, int pointSize)
{
    QString face = family;
    if (family.compare("Arial", Qt::CaseInsensitive) == 0)
        face = "Liberation Sans";
    else if (family.compare("Times New Roman", Qt::CaseInsensitive) == 0)
        face = "Liberation Serif";
    else if (family.compare("System", Qt::CaseInsensitive) == 0)
        face = "Liberation Sans";
    QFont font(face, pointSize);
    // Fall back to a font of the same kind when the free fonts are missing.
    font.setStyleHint(face == "Liberation Serif" ? QFont::Serif : QFont::SansSerif);
    if (family.compare("System", Qt::CaseInsensitive) == 0)
        font.setBold(true);
    return font;
}

namespace {
int averageLetterWidth(const QFontMetrics& metrics)
{
    static const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int total = metrics.horizontalAdvance(letters);
    // Rounded to the nearest pixel, as the template rule does: (total / 26 + 1) / 2.
    return (total / 26 + 1) / 2;
}
} // namespace

DialogUnits::DialogUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    m_averageWidth = std::max(1, averageLetterWidth(metrics));
    m_height = std::max(1, metrics.height());
}

int DialogUnits::toPixelsX(int units) const
{
    // Multiply first, then divide with rounding, so that adjacent controls meet exactly.
    const long long scaled = static_cast<long long>(units) * m_averageWidth;
    return static_cast<int>(scaled >= 0 ? (scaled + 2) / 4 : -((-scaled + 2) / 4));
}

int DialogUnits::toPixelsY(int units) const
{
    const long long scaled = static_cast<long long>(units) * m_height;
    return static_cast<int>(scaled >= 0 ? (scaled + 4) / 8 : -((-scaled + 4) / 8));
}

QPoint DialogUnits::point(int x, int y) const { return {toPixelsX(x), toPixelsY(y)}; }

QSize DialogUnits::size(int width, int height) const { return {toPixelsX(width), toPixelsY(height)}; }

QRect DialogUnits::rect(int x, int y, int width, int height) const
{
    // Both corners are converted, so a control's right edge lands where the next one's left edge would.
    const QPoint topLeft = point(x, y);
    const QPoint bottomRight = point(x + width, y + height);
    return QRect(topLeft, QSize(bottomRight.x() - topLeft.x(), bottomRight.y() - topLeft.y()));
}

void DialogUnits::place(QWidget& widget, int x, int y, int width, int height) const
{
    widget.setGeometry(rect(x, y, width, height));
}

} // namespace quillon::ui
