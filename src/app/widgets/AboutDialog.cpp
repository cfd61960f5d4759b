#include "app/widgets/AboutDialog.h"

#include "base/core/Messages.h"
#include "ui/DialogUnits.h"
#include "ui/ProgramIcon.h"
#include "ui/QtText.h"

#include <QLabel>
#include <QPushButton>

namespace quillon::app {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(qt(text::kAboutTitle));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFont(ui::dialogFont("Times New Roman", 9));
    const ui::DialogUnits units(font());
    setFixedSize(units.size(202, 56));

    auto* icon = new QLabel(this);
    icon->setPixmap(ui::programPixmap(32));
    icon->setGeometry(QRect(units.point(11, 12), QSize(32, 32)));

    auto* name = new QLabel(qt(text::kProgramTitle), this);
    name->setTextFormat(Qt::PlainText);
    units.place(*name, 40, 10, 111, 8);

    auto* notice = new QLabel(qt(text::kAboutNotice), this);
    notice->setTextFormat(Qt::PlainText);
    units.place(*notice, 39, 25, 119, 8);

    // The licence on a line of its own in the free band below the notice.
    auto* licence = new QLabel(qt(text::kAboutLicence), this);
    licence->setTextFormat(Qt::PlainText);
    units.place(*licence, 39, 37, 156, 8);

    auto* ok = new QPushButton(QStringLiteral("Ok"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    units.place(*ok, 153, 7, 42, 14);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

} // namespace quillon::app
