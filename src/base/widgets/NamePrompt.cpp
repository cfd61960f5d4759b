#include "base/widgets/NamePrompt.h"

#include "base/core/FileNameRules.h"
#include "base/core/Messages.h"
#include "ui/DialogUnits.h"
#include "ui/MessageService.h"
#include "ui/ProgramIcon.h"
#include "ui/QtText.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <filesystem>

namespace quillon::base {

NameDialog::NameDialog(RunBasics& run, QWidget* parent) : QDialog(parent), m_run(run)
{
    setWindowTitle(qt(text::kNamePromptTitle));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFont(ui::dialogFont("Arial", 9));
    const ui::DialogUnits units(font());
    setFixedSize(units.size(166, 57));

    auto* prompt = new QLabel(qt(text::kNamePromptText), this);
    units.place(*prompt, 8, 4, 90, 8);
    auto* label = new QLabel(qt(text::kNamePromptLabel), this);
    units.place(*label, 17, 21, 33, 8);
    m_name = new QLineEdit(qt(text::kNamePromptDefault), this);
    units.place(*m_name, 51, 20, 73, 12);
    label->setBuddy(m_name); // read out as the field's name
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setDefault(true);
    units.place(*m_ok, 28, 41, 44, 13);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    units.place(*m_cancel, 95, 41, 44, 13);
    connect(m_ok, &QPushButton::clicked, this, &NameDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    m_name->setFocus();
}

void NameDialog::runFreshPrompt()
{
    NameDialog again(m_run, parentWidget());
    // Opened on top of this one, the fresh prompt would look like nothing happened.
    const int step = 2 * fontMetrics().height();
    again.move(pos() + QPoint(step, step));
    m_run.messages().execDialog(again);
}

bool NameDialog::syxFileExists(const std::string& name) const
{
    // Compared byte for byte, case included: "Song.syx" does not match "song".
    const std::string wanted = name + ".syx";
    std::error_code error;
    for (std::filesystem::directory_iterator it(m_run.folders().syxFolder(), error), end; !error && it != end;
         it.increment(error)) {
        if (it->path().filename().string() == wanted)
            return true;
    }
    return false;
}

void NameDialog::accept()
{
    const std::string name = m_name->text().toStdString();
    ui::MessageService& messages = m_run.messages();
    if (name.empty()) {
        messages.inform(this, text::kApplicationName, text::kEnterFileName, ui::MessageIcon::Stop);
        runFreshPrompt();
        QDialog::accept();
        return;
    }
    if (const auto reason = whyNameIsRefused(name)) {
        // The name would leave the data folder or cannot be stored: ask again here.
        messages.inform(this, text::kProgramTitle,
                        std::string(text::kNameRefused) + *reason + std::string(text::kNameRefusedHint),
                        ui::MessageIcon::Stop);
        m_name->setFocus();
        m_name->selectAll();
        return;
    }
    if (syxFileExists(name) &&
        !messages.askYesNo(this, text::kProgramTitle, text::kFileExistsReplace, ui::MessageIcon::Stop)) {
        runFreshPrompt();
        QDialog::accept();
        return;
    }
    m_run.chosenName = name;
    QDialog::accept();
}

ReplaceDialog::ReplaceDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(qt(text::kReplaceTitle));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFont(ui::dialogFont("System", 9));
    const ui::DialogUnits units(font());
    setFixedSize(units.size(161, 53));

    auto* icon = new QLabel(this);
    icon->setPixmap(ui::programPixmap(32));
    icon->setGeometry(QRect(units.point(10, 10), QSize(32, 32)));
    auto* question = new QLabel(qt(text::kReplaceQuestion), this);
    units.place(*question, 35, 13, 116, 10);
    m_yes = new QPushButton(QStringLiteral("Yes"), this);
    m_yes->setDefault(true);
    units.place(*m_yes, 32, 36, 40, 13);
    m_no = new QPushButton(QStringLiteral("No"), this);
    units.place(*m_no, 89, 36, 40, 13);
    connect(m_yes, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_no, &QPushButton::clicked, this, &QDialog::reject);
}

bool askForName(RunBasics& run, QWidget* parent)
{
    NameDialog dialog(run, parent);
    return run.messages().execDialog(dialog) == QDialog::Accepted;
}

bool askToReplace(RunBasics& run, QWidget* parent)
{
    ReplaceDialog dialog(parent);
    return run.messages().execDialog(dialog) == QDialog::Accepted;
}

} // namespace quillon::base
