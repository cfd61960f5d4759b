#pragma once
// Reading drawn pictures: how many pixels of an area have a colour, exactly or
// within a summed RGB distance (for antialiased text).
#include <QColor>
#include <QImage>
#include <QRect>

#include <cstdlib>

namespace quillon::testing {

inline int countColour(const QImage& image, const QRect& area, const QColor& colour, int tolerance = 0)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            count += std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                         std::abs(c.blue() - colour.blue()) <=
                     tolerance;
        }
    return count;
}

} // namespace quillon::testing
