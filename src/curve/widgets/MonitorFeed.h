#pragma once
// Feeds a VelocityMonitor from the session's chosen MIDI input while it is
// switched on. Messages arrive on the input's own thread and are handed to the
// window thread by queued signal; the monitor is only touched there.
//
// Guarantees: after stop() returns (and after destruction) the input is
// closed and no further key is counted. keysArrived() is emitted at most once
// per burst of messages, so a fast run of notes costs one redraw, not one each.
#include "curve/core/VelocityMonitor.h"
#include "curve/widgets/CurvePicture.h"

#include <QObject>

namespace quillon::session {
class Session;
}
namespace quillon::midi {
class MidiInputPump;
}

namespace quillon::curve {

class MonitorFeed : public QObject {
    Q_OBJECT
public:
    enum class Start { Started, NotChosen, NotOpened };

    explicit MonitorFeed(session::Session& session, QObject* parent = nullptr);
    ~MonitorFeed() override;

    // Forgets earlier keys and opens the session's input choice.
    Start start();
    void stop();
    bool isOpen() const;

    const VelocityMonitor& monitor() const { return m_monitor; }
    // What the drawing area shows of the keys so far, under the given curve.
    MonitorPicture picture(const CurvePicture::Table& table) const;

signals:
    void keysArrived();

private:
    void onShortMessage(quint32 packed);

    session::Session& m_session;
    midi::MidiInputPump* m_input = nullptr; // made on first start; null without a MIDI system
    VelocityMonitor m_monitor;
    bool m_announcePending = false;
};

} // namespace quillon::curve
