#pragma once
// "About Quillon": the program's name and a notice line; "Ok", Enter and Esc close it.
#include <QDialog>

namespace quillon::app {

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

} // namespace quillon::app
