#pragma once
// Hands one velocity table to the keyboard through the session's chosen
// output, reporting failures with the program's fixed messages and moving the
// editor's progress bar to its end once the message has been handed over.
//
// Sends of a curve other than the one being edited (a preset, a stored file,
// a kept slot) wait a short pause first. The pause runs on a timer, never by
// blocking: the window keeps drawing and answering meanwhile. Each waiting
// send carries its own copy of the table, so later edits do not change what
// goes out; waiting sends leave in the order they were asked for.
#include "curve/core/VelocityCurve.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <deque>

class QWidget;

namespace quillon::session {
class Session;
}
namespace quillon::ui {
class PercentBar;
}

namespace quillon::curve {

class CurveSender : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kPause{400};

    // window: parent of the message boxes; bar: moved to its end after a send.
    CurveSender(session::Session& session, QWidget& window, ui::PercentBar& bar);

    // Sends at once; returns when the message has been handed over or refused.
    void sendNow(const Table& table);
    // Sends after the pause.
    void sendAfterPause(const Table& table);

    bool waiting() const { return !m_waiting.empty(); }
    // Sends everything still waiting, at once (e.g. when the window closes).
    void flush();

signals:
    // After every attempt that reached the port (whatever its result).
    void attempted();

private:
    void sendFirstWaiting();

    session::Session& m_session;
    QWidget& m_window;
    ui::PercentBar& m_bar;
    QTimer m_pause;
    std::deque<Table> m_waiting;
};

} // namespace quillon::curve
