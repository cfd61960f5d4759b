#include "curve/widgets/CurveSender.h"

#include "base/core/Messages.h"
#include "curve/core/CurveMessage.h"
#include "session/Session.h"
#include "ui/MessageService.h"
#include "ui/PercentBar.h"

namespace quillon::curve {

CurveSender::CurveSender(session::Session& session, QWidget& window, ui::PercentBar& bar)
    : m_session(session), m_window(window), m_bar(bar)
{
    m_pause.setSingleShot(true);
    m_pause.setInterval(kPause);
    connect(&m_pause, &QTimer::timeout, this, &CurveSender::sendFirstWaiting);
}

void CurveSender::sendNow(const Table& table)
{
    ui::MessageService& messages = m_session.messages();
    if (m_session.outputChoice.kind == midi::PortChoice::Kind::NotChosen) {
        messages.inform(&m_window, text::kProgramTitle, text::kOutputNotOpened, ui::MessageIcon::Stop);
        return;
    }
    const Result<frame::Bytes> message = buildCurveMessage(table);
    if (!message) {
        messages.inform(&m_window, text::kApplicationName, message.reason(), ui::MessageIcon::Stop);
        return;
    }
    midi::MidiSystem* midi = m_session.midi();
    const midi::SendResult result =
        midi ? midi->sendOne(m_session.outputChoice, *message) : midi::SendResult::OpenFailed;
    switch (result) {
    case midi::SendResult::OpenFailed:
        messages.inform(&m_window, text::kApplicationName, text::kCurveOpenFailed, ui::MessageIcon::None);
        break;
    case midi::SendResult::SendFailed:
        messages.inform(&m_window, text::kApplicationName, text::kSendFailed, ui::MessageIcon::None);
        break;
    case midi::SendResult::Sent:
    case midi::SendResult::PrepareFailed: // nothing went out, and nothing is said: the bar still ends
        m_bar.setPosition(m_bar.maximum());
        break;
    }
    emit attempted();
}

void CurveSender::sendAfterPause(const Table& table)
{
    m_waiting.push_back(table);
    if (!m_pause.isActive())
        m_pause.start();
}

void CurveSender::sendFirstWaiting()
{
    if (m_waiting.empty())
        return;
    const Table table = m_waiting.front();
    m_waiting.pop_front();
    // The next one gets its own pause, counted from now.
    if (!m_waiting.empty())
        m_pause.start();
    sendNow(table);
}

void CurveSender::flush()
{
    m_pause.stop();
    while (!m_waiting.empty()) {
        const Table table = m_waiting.front();
        m_waiting.pop_front();
        sendNow(table);
    }
}

} // namespace quillon::curve
