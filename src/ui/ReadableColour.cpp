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
    const QColor hsl = wanted.toHsl();
    // Lightness in steps of 1/255 towards white or black, each step judged as
    // the 8-bit colour it is drawn with (a grey's hue is -1, which fromHsl
    // refuses); white or black reach 4.5 on any background but a middle grey.
    for (int lightness = hsl.lightness(); lightness >= 0 && lightness <= 255; lightness += lighten ? 1 : -1) {
        const QColor colour(QColor::fromHsl(std::max(hsl.hslHue(), 0), hsl.hslSaturation(), lightness).rgb());
        if (contrastRatio(colour, background) >= ratio)
            return colour;
    }
    return lighten ? QColor(Qt::white) : QColor(Qt::black);
}

} // namespace quillon::ui
