#include "ui/MessageService.h"

#include "ui/QtText.h"

#include <QAction>
#include <QDesktopServices>
#include <QDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPoint>

namespace quillon::ui {

QString displayText(std::string_view text)
{
    QString shown = qt(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

bool MessageService::askYesNo(QWidget* parent, std::string_view title, std::string_view text, MessageIcon icon)
{
    return show(parent, {std::string(title), std::string(text), icon, MessageButtons::YesNo}) == MessageAnswer::Yes;
}

void MessageService::inform(QWidget* parent, std::string_view title, std::string_view text, MessageIcon icon)
{
    show(parent, {std::string(title), std::string(text), icon, MessageButtons::Ok});
}

std::vector<QString> menuEntries(const QMenu& menu)
{
    std::vector<QString> entries;
    for (const QAction* action : menu.actions())
        entries.push_back(action->isSeparator() ? QString() : action->text());
    return entries;
}

// --- desktop ---------------------------------------------------------------

namespace {
QMessageBox::Icon boxIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Stop: return QMessageBox::Critical;
    case MessageIcon::None: break;
    }
    return QMessageBox::NoIcon;
}
} // namespace

MessageAnswer DesktopMessageService::show(QWidget* parent, const ShownMessage& message)
{
    QMessageBox box(boxIcon(message.icon), QString::fromStdString(message.title), displayText(message.text),
                    QMessageBox::NoButton, parent);
    if (message.buttons == MessageButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MessageAnswer::Ok;
}

int DesktopMessageService::execDialog(QDialog& dialog) { return dialog.exec(); }

QAction* DesktopMessageService::execMenu(QMenu& menu, const QPoint& screenPoint) { return menu.exec(screenPoint); }

void DesktopMessageService::openUrl(const QUrl& url) { QDesktopServices::openUrl(url); }

// --- recording -------------------------------------------------------------

void RecordingMessageService::chooseNextMenuEntry(const QString& text)
{
    onNextMenu([text](QMenu& menu) -> QAction* {
        for (QAction* action : menu.actions())
            if (!action->isSeparator() && action->text() == text)
                return action;
        return nullptr;
    });
}

MessageAnswer RecordingMessageService::show(QWidget*, const ShownMessage& message)
{
    m_messages.push_back(message);
    const MessageAnswer fallback = message.buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    if (m_answers.empty())
        return fallback;
    const MessageAnswer answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

int RecordingMessageService::execDialog(QDialog& dialog)
{
    m_dialogTitles.push_back(dialog.windowTitle());
    if (m_dialogActions.empty())
        return QDialog::Rejected;
    const DialogAction action = std::move(m_dialogActions.front());
    m_dialogActions.pop_front();
    dialog.setResult(QDialog::Rejected);
    action(dialog);
    return dialog.result();
}

QAction* RecordingMessageService::execMenu(QMenu& menu, const QPoint&)
{
    m_menus.push_back(menuEntries(menu));
    if (m_menuChoices.empty())
        return nullptr;
    const MenuChoice choice = std::move(m_menuChoices.front());
    m_menuChoices.pop_front();
    QAction* chosen = choice(menu);
    // A real menu triggers the chosen action before exec() returns.
    if (chosen != nullptr)
        chosen->trigger();
    return chosen;
}

void RecordingMessageService::clear()
{
    m_answers.clear();
    m_dialogActions.clear();
    m_menuChoices.clear();
    m_messages.clear();
    m_dialogTitles.clear();
    m_menus.clear();
    m_openedUrls.clear();
}

} // namespace quillon::ui
