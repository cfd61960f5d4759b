#include "curve/widgets/MonitorFeed.h"

#include "midi/io/MidiInputPump.h"
#include "session/Session.h"

#include <QMetaObject>

namespace quillon::curve {

MonitorFeed::MonitorFeed(session::Session& session, QObject* parent) : QObject(parent), m_session(session) {}

MonitorFeed::~MonitorFeed() { stop(); }

MonitorFeed::Start MonitorFeed::start()
{
    stop();
    m_monitor.clear();
    if (m_session.inputChoice.kind == midi::PortChoice::Kind::NotChosen)
        return Start::NotChosen;
    if (!m_input) {
        midi::MidiSystem* system = m_session.midi();
        if (!system)
            return Start::NotOpened;
        m_input = new midi::MidiInputPump(*system, this);
        connect(m_input, &midi::MidiInputPump::shortMessage, this, &MonitorFeed::onShortMessage);
    }
    return m_input->open(m_session.inputChoice) ? Start::Started : Start::NotOpened;
}

void MonitorFeed::stop()
{
    if (m_input)
        m_input->close();
}

bool MonitorFeed::isOpen() const { return m_input && m_input->isOpen(); }

void MonitorFeed::onShortMessage(quint32 packed)
{
    if (!m_monitor.feed(static_cast<std::uint32_t>(packed)) || m_announcePending)
        return;
    // Messages of one burst are already queued behind this one; announcing
    // after them lets the window draw the whole burst once.
    m_announcePending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_announcePending = false;
            if (isOpen())
                emit keysArrived();
        },
        Qt::QueuedConnection);
}

MonitorPicture MonitorFeed::picture(const CurvePicture::Table& table) const
{
    MonitorPicture shown;
    shown.keys = m_monitor.count();
    shown.playedBins = m_monitor.histogramBins(MonitorPicture::kBins);
    shown.mapped = m_monitor.mappedHistogram(table);
    for (const int count : shown.mapped)
        shown.mappedPeak = std::max(shown.mappedPeak, count);
    if (const auto landing = m_monitor.lastLanding(table))
        shown.latest = MonitorPicture::Landing{landing->source, landing->mapped};
    return shown;
}

} // namespace quillon::curve
