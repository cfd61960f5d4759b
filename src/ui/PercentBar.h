#pragma once
// A progress bar that paints itself: a filled part for its position out of its
// range and, centred over the whole bar, either its percentage ("%d%%") or a
// fixed text when one is set. The owner chooses the bar colour and the colour
// of the text where it stands over the filled part; elsewhere the text keeps
// the palette's text colour. Positions outside the range are clamped.
#include <QColor>
#include <QString>
#include <QWidget>

namespace quillon::ui {

class PercentBar : public QWidget {
    Q_OBJECT
public:
    explicit PercentBar(QWidget* parent = nullptr);

    void setRange(int minimum, int maximum);
    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }

    void setPosition(int position);
    int position() const { return m_position; }

    // A non-empty text replaces the percentage; an empty one brings it back.
    void setText(const QString& text);
    QString text() const { return m_text; }

    void setBarColour(const QColor& colour);
    QColor barColour() const { return m_barColour; }
    void setTextOverBarColour(const QColor& colour);
    QColor textOverBarColour() const { return m_textOverBarColour; }

    // 0..100, rounded down; 0 for an empty range.
    int percent() const;
    // What the bar shows over itself right now.
    QString shownText() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int filledWidth(int totalWidth) const;

    int m_minimum = 0;
    int m_maximum = 100;
    int m_position = 0;
    QString m_text;
    QColor m_barColour{Qt::blue};
    QColor m_textOverBarColour{Qt::white};
};

} // namespace quillon::ui
