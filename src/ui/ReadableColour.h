#pragma once
// Colours that stay readable on whatever colour scheme the desktop uses: a
// window's designed colours are kept where they read well and lightened or
// darkened (hue kept) where they would not.
#include <QColor>

namespace quillon::ui {

// The contrast between two colours as screen-reading guidelines measure it:
// (lighter luminance + 0.05) / (darker luminance + 0.05), from 1 to 21.
double contrastRatio(const QColor& a, const QColor& b);

// `wanted`, lightened on a dark background or darkened on a light one until it
// reaches `ratio` against `background`.
QColor readableOn(const QColor& wanted, const QColor& background, double ratio = 4.5);

// Whether a scheme with this window colour is a dark one.
bool isDark(const QColor& window);

} // namespace quillon::ui
