#pragma once
// The keyboard that lives inside the program: a MIDI backend with one output
// and one input port, both named "Quillon Virtual Keyboard". A message sent to
// it is checked and stored by the keyboard model before send() returns; the
// Note On reply is handed to every open input from the keyboard's own thread,
// never from inside send(), just as a real port's input would arrive.
//
// Thread-safety: every public member may be called from any thread. An input
// callback runs on the keyboard's reply thread; after InputConnection::close()
// returns, that callback is never called again (so close() must not be called
// from inside the callback).
#include "midi/core/KeyboardModel.h"
#include "midi/io/MidiSystem.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

namespace quillon::midi {

class VirtualKeyboard : public Backend {
public:
    static constexpr const char* kBackendName = "Virtual";
    static constexpr const char* kPortName = "Quillon Virtual Keyboard";

    VirtualKeyboard();
    ~VirtualKeyboard() override;

    std::string name() const override { return kBackendName; }
    std::vector<PortInfo> outputs() override;
    std::vector<PortInfo> inputs() override;
    std::unique_ptr<OutputConnection> openOutput(const PortRef& port) override;
    std::unique_ptr<InputConnection> openInput(const PortRef& port, ShortMessageCallback onMessage) override;

    // What the keyboard has received so far.
    std::map<int, frame::Bytes> songs() const;
    std::optional<frame::Bytes> song(int slot) const;
    std::optional<frame::Bytes> romImage() const;
    std::optional<keyboard::CurveTable> curve() const;
    std::vector<keyboard::ProtocolError> errors() const;
    std::size_t messagesReceived() const;
    bool transferOpen() const;
    // Forgets everything received, as a freshly switched-on keyboard.
    void reset();

    // For tests: with answering off the keyboard still stores but sends no reply.
    void setAnswering(bool answering);

    // Called on the sending thread for every message, with the line the model reports.
    using EventListener = std::function<void(const std::string& line)>;
    void setEventListener(EventListener listener);

    static std::uint32_t packReply(frame::Reply reply);

private:
    class Output;
    class Input;
    friend class Output;
    friend class Input;

    void receive(std::span<const std::uint8_t> message);
    int subscribe(ShortMessageCallback callback);
    void unsubscribe(int id);
    void deliverLoop(std::stop_token stop);

    mutable std::mutex m_modelMutex;
    keyboard::KeyboardModel m_model;
    std::size_t m_messages = 0;
    bool m_answering = true;
    EventListener m_listener;

    std::mutex m_queueMutex;
    std::condition_variable_any m_queueChanged;
    std::deque<std::uint32_t> m_replies;

    // Held while callbacks run, so that unsubscribe() waits for a delivery in progress.
    std::mutex m_subscriberMutex;
    std::map<int, ShortMessageCallback> m_subscribers;
    int m_nextSubscriber = 1;

    std::jthread m_thread; // last: started after everything it touches exists
};

} // namespace quillon::midi
