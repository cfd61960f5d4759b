#pragma once
// Everything a window shows modally goes through one injectable service:
// message boxes, modal dialogs, pop-up menus and "open this address".
// The desktop implementation shows real windows; RecordingMessageService
// answers from a queue and records what would have been shown, so tests can
// drive every question and read every title and text exactly.
#include <QString>
#include <QUrl>

#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QAction;
class QDialog;
class QMenu;
class QPoint;
class QWidget;

namespace quillon::ui {

enum class MessageIcon { None, Information, Question, Warning, Stop };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

struct ShownMessage {
    std::string title; // exactly as given
    std::string text;  // exactly as given, "\r\n" included
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
    bool operator==(const ShownMessage&) const = default;
};

// The text as a message box displays it: "\r\n" becomes one line break.
QString displayText(std::string_view text);

class MessageService {
public:
    virtual ~MessageService() = default;

    virtual MessageAnswer show(QWidget* parent, const ShownMessage& message) = 0;
    // Runs a dialog modally and returns its result code (QDialog::Accepted or Rejected).
    virtual int execDialog(QDialog& dialog) = 0;
    // Shows a pop-up menu at a screen point; returns the chosen action or nullptr.
    virtual QAction* execMenu(QMenu& menu, const QPoint& screenPoint) = 0;
    // Hands an address to the desktop's default handler; the outcome is not checked.
    virtual void openUrl(const QUrl& url) = 0;

    // Yes/No question; true only for Yes.
    bool askYesNo(QWidget* parent, std::string_view title, std::string_view text, MessageIcon icon);
    // A message with an OK button.
    void inform(QWidget* parent, std::string_view title, std::string_view text, MessageIcon icon);
};

class DesktopMessageService final : public MessageService {
public:
    MessageAnswer show(QWidget* parent, const ShownMessage& message) override;
    int execDialog(QDialog& dialog) override;
    QAction* execMenu(QMenu& menu, const QPoint& screenPoint) override;
    void openUrl(const QUrl& url) override;
};

// The test double: answers and dialog actions are taken from queues in order.
// An unexpected message is answered No (or Ok); an unexpected dialog or menu is
// cancelled; both are recorded so a test can see them.
class RecordingMessageService final : public MessageService {
public:
    using DialogAction = std::function<void(QDialog&)>;
    using MenuChoice = std::function<QAction*(QMenu&)>;

    void answerNext(MessageAnswer answer) { m_answers.push_back(answer); }
    void onNextDialog(DialogAction action) { m_dialogActions.push_back(std::move(action)); }
    void onNextMenu(MenuChoice choice) { m_menuChoices.push_back(std::move(choice)); }
    // Picks the menu entry with this exact text (e.g. "&Delete").
    void chooseNextMenuEntry(const QString& text);

    MessageAnswer show(QWidget* parent, const ShownMessage& message) override;
    int execDialog(QDialog& dialog) override;
    QAction* execMenu(QMenu& menu, const QPoint& screenPoint) override;
    void openUrl(const QUrl& url) override { m_openedUrls.push_back(url); }

    const std::vector<ShownMessage>& messages() const { return m_messages; }
    const std::vector<QString>& dialogTitles() const { return m_dialogTitles; }
    const std::vector<std::vector<QString>>& menus() const { return m_menus; }
    const std::vector<QUrl>& openedUrls() const { return m_openedUrls; }
    std::size_t pendingAnswers() const { return m_answers.size(); }
    std::size_t pendingDialogs() const { return m_dialogActions.size(); }
    void clear();

private:
    std::deque<MessageAnswer> m_answers;
    std::deque<DialogAction> m_dialogActions;
    std::deque<MenuChoice> m_menuChoices;
    std::vector<ShownMessage> m_messages;
    std::vector<QString> m_dialogTitles;
    std::vector<std::vector<QString>> m_menus;
    std::vector<QUrl> m_openedUrls;
};

// The entries of a menu, top to bottom: action texts, "" for separators.
std::vector<QString> menuEntries(const QMenu& menu);

} // namespace quillon::ui
