#pragma once
// Dialog units: every window of Quillon is laid out on a grid that scales with
// its font, so the windows keep their proportions whatever the screen's DPI.
// One horizontal unit is a quarter of the font's average character width, one
// vertical unit an eighth of its height (the classic dialog-template rule).
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace quillon::ui {

// A font named the way the window layouts name it ("Arial", "Times New Roman",
// "System") mapped onto metric-compatible free fonts; size in points.
QFont dialogFont(const QString& family, int pointSize);

class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    // Average width of the 52 Latin letters and the font's line height, in pixels.
    int averageCharWidth() const { return m_averageWidth; }
    int charHeight() const { return m_height; }

    int toPixelsX(int units) const;
    int toPixelsY(int units) const;
    QPoint point(int x, int y) const;
    QSize size(int width, int height) const;
    QRect rect(int x, int y, int width, int height) const;

    // Places a child widget at a rectangle given in dialog units.
    void place(QWidget& widget, int x, int y, int width, int height) const;

private:
    int m_averageWidth;
    int m_height;
};

} // namespace quillon::ui
