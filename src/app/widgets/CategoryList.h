#pragma once
// The main window's category drop-down. Its entries are long texts padded with
// blanks in front of the pattern; when an entry is wider than the box, the
// leading blanks give way so that the pattern itself stays readable.
#include <QComboBox>

namespace quillon::app {

class CategoryList : public QComboBox {
    Q_OBJECT
public:
    explicit CategoryList(QWidget* parent = nullptr);

    // The text as the closed box shows it in a field of the given width.
    QString shownText(int fieldWidth) const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace quillon::app
