#include "ui/ReadableColour.h"

#include <algorithm>
#include <cmath>

namespace quillon::ui {

namespace {

double luminance(const QColor& colour)
{
    const auto linear = [](double channel) {
        return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = colour.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

} // namespace

double contrastRatio(const QColor& a, const QColor& b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool isDark(const QColor& window) { return luminance(window) < 0.2; }

QColor readableOn(const QColor& wanted, const QColor& background, double ratio)
{
    const bool lighten = isDark(background);
    QColor colour = wanted.toHsl();
    // Lightness in steps of 1/255 towards white or black; black and white
    // themselves reach 4.5 on any background but a middle grey.
    for (int step = 0; step < 256 && contrastRatio(colour, background) < ratio; ++step) {
        const int lightness = std::clamp(colour.lightness() + (lighten ? 1 : -1), 0, 255);
        colour.setHsl(colour.hslHue(), colour.hslSaturation(), lightness);
    }
    return colour.toRgb();
}

} // namespace quillon::ui
