#pragma once
// Opens one MIDI input through the MidiSystem and hands every short message
// to the thread this object lives on (the window thread) as a queued signal,
// in arrival order. The window thread never waits for input.
//
// close() is harmless when nothing is open and may be called any number of
// times; after it returns no further shortMessage() is emitted for that input,
// even for messages already on their way. It never waits for the MIDI server:
// the port itself is closed by the MidiSystem's own thread.
#include "midi/io/MidiSystem.h"

#include <QObject>

#include <memory>

namespace quillon::midi {

class MidiInputPump : public QObject {
    Q_OBJECT
public:
    explicit MidiInputPump(MidiSystem& system, QObject* parent = nullptr);
    ~MidiInputPump() override;

    // False when the port is not chosen, gone, or held by another program.
    bool open(const PortChoice& choice);
    void close();
    bool isOpen() const { return m_connection != nullptr; }
    // The open input, for pairing it with an output (OutputConnection::sendOnReply); nullptr when closed.
    InputConnection* connection() const { return m_connection.get(); }

signals:
    // Status in the lowest byte, then data 1, then data 2.
    void shortMessage(quint32 packed);

private:
    struct Gate;
    MidiSystem& m_system;
    std::shared_ptr<Gate> m_gate; // what the input's thread reaches this object through
    std::unique_ptr<InputConnection> m_connection;
    std::uint64_t m_generation = 0; // only touched on this object's thread
};

} // namespace quillon::midi
