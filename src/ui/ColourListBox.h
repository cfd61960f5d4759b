#pragma once
// A list box whose entries each carry their own colour. An unselected entry
// shows its text in that colour on the window background; a selected entry is
// filled with that colour and shows its text in the complementary colour
// (255 minus each component), so the selection stays readable whatever the
// entry's colour. Order is the order of adding; nothing is sorted.
#include <QColor>
#include <QListWidget>
#include <QString>

namespace quillon::ui {

class ColourListBox : public QListWidget {
    Q_OBJECT
public:
    explicit ColourListBox(QWidget* parent = nullptr);

    void addEntry(const QString& text, const QColor& colour);
    QColor entryColour(int row) const;

    static QColor complementOf(const QColor& colour);
};

} // namespace quillon::ui
