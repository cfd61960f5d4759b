#include "midi/io/MidiInputPump.h"

#include <QMetaObject>

#include <mutex>

namespace quillon::midi {

// The pump while its input is open; nothing once it is closed.
struct MidiInputPump::Gate {
    std::mutex mutex;
    MidiInputPump* pump;
};

MidiInputPump::MidiInputPump(MidiSystem& system, QObject* parent) : QObject(parent), m_system(system) {}

MidiInputPump::~MidiInputPump() { close(); }

bool MidiInputPump::open(const PortChoice& choice)
{
    close();
    const std::uint64_t generation = ++m_generation;
    auto gate = std::make_shared<Gate>();
    gate->pump = this;
    m_connection = m_system.openInput(choice, [gate, generation](std::uint32_t packed) {
        // On the driver's thread: only post. Events posted to one receiver are
        // delivered in the order they were posted, which keeps arrival order.
        std::lock_guard lock(gate->mutex);
        MidiInputPump* pump = gate->pump;
        if (!pump)
            return;
        QMetaObject::invokeMethod(
            pump,
            [pump, generation, packed] {
                if (generation == pump->m_generation && pump->m_connection)
                    emit pump->shortMessage(packed);
            },
            Qt::QueuedConnection);
    });
    if (m_connection)
        m_gate = std::move(gate);
    return m_connection != nullptr;
}

void MidiInputPump::close()
{
    if (!m_connection)
        return;
    {
        std::lock_guard lock(m_gate->mutex);
        m_gate->pump = nullptr;
    }
    m_gate.reset();
    m_system.closeLater(std::move(m_connection));
    ++m_generation;
}

} // namespace quillon::midi
