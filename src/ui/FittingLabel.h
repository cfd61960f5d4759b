#pragma once
// A word-wrapped label of fixed size that shows its whole text: a text too
// long for the lines it has is drawn in a smaller font, a step at a time down
// to a floor, instead of being cut off at the edges. The full text is also
// its tooltip.
#include <QLabel>

namespace quillon::ui {

class FittingLabel : public QLabel {
    Q_OBJECT
public:
    explicit FittingLabel(QWidget* parent = nullptr);

    void setFittedText(const QString& text);
    // The smallest point size a text is shrunk to; below it the text may not fit.
    static constexpr qreal kSmallestPointSize = 6.0;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void fit();

    QFont m_fullSizeFont;
};

} // namespace quillon::ui
