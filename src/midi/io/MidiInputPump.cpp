#include "midi/io/MidiInputPump.h"

#include <QMetaObject>

namespace quillon::midi {

MidiInputPump::MidiInputPump(MidiSystem& system, QObject* parent) : QObject(parent), m_system(system) {}

MidiInputPump::~MidiInputPump() { close(); }

bool MidiInputPump::open(const PortChoice& choice)
{
    close();
    const std::uint64_t generation = ++m_generation;
    m_connection = m_system.openInput(choice, [this, generation](std::uint32_t packed) {
        // On the driver's thread: only post. Events posted to one receiver are
        // delivered in the order they were posted, which keeps arrival order.
        QMetaObject::invokeMethod(
            this,
            [this, generation, packed] {
                if (generation == m_generation && m_connection)
                    emit shortMessage(packed);
            },
            Qt::QueuedConnection);
    });
    return m_connection != nullptr;
}

void MidiInputPump::close()
{
    if (!m_connection)
        return;
    m_connection->close();
    m_connection.reset();
    ++m_generation;
}

} // namespace quillon::midi
