#include "midi/io/VirtualKeyboard.h"

namespace quillon::midi {

class VirtualKeyboard::Output : public OutputConnection {
public:
    explicit Output(VirtualKeyboard& keyboard) : m_keyboard(keyboard) {}
    SendResult send(std::span<const std::uint8_t> message) override
    {
        m_keyboard.receive(message);
        return SendResult::Sent;
    }

private:
    VirtualKeyboard& m_keyboard;
};

class VirtualKeyboard::Input : public InputConnection {
public:
    Input(VirtualKeyboard& keyboard, ShortMessageCallback callback)
        : m_keyboard(keyboard), m_id(keyboard.subscribe(std::move(callback)))
    {
    }
    ~Input() override { close(); }
    void close() override
    {
        if (m_id != 0)
            m_keyboard.unsubscribe(m_id);
        m_id = 0;
    }

private:
    VirtualKeyboard& m_keyboard;
    int m_id;
};

VirtualKeyboard::VirtualKeyboard() : m_thread([this](std::stop_token stop) { deliverLoop(stop); }) {}

VirtualKeyboard::~VirtualKeyboard()
{
    m_thread.request_stop();
    m_queueChanged.notify_all();
}

std::vector<PortInfo> VirtualKeyboard::outputs() { return {PortInfo{{kBackendName, kPortName, 0}, kPortName}}; }

std::vector<PortInfo> VirtualKeyboard::inputs() { return outputs(); }

std::unique_ptr<OutputConnection> VirtualKeyboard::openOutput(const PortRef& port)
{
    if (port.backend != kBackendName || port.name != kPortName)
        return nullptr;
    return std::make_unique<Output>(*this);
}

std::unique_ptr<InputConnection> VirtualKeyboard::openInput(const PortRef& port, ShortMessageCallback onMessage)
{
    if (port.backend != kBackendName || port.name != kPortName || !onMessage)
        return nullptr;
    return std::make_unique<Input>(*this, std::move(onMessage));
}

std::uint32_t VirtualKeyboard::packReply(frame::Reply reply)
{
    constexpr std::uint32_t velocity = 0x7F;
    return frame::kReplyStatus | (std::uint32_t(reply) << 8) | (velocity << 16);
}

void VirtualKeyboard::receive(std::span<const std::uint8_t> message)
{
    std::optional<frame::Reply> reply;
    std::string line;
    EventListener listener;
    {
        std::lock_guard lock(m_modelMutex);
        auto reaction = m_model.feed(message);
        ++m_messages;
        line = std::move(reaction.event);
        listener = m_listener;
        if (m_answering)
            reply = reaction.reply;
    }
    if (listener)
        listener(line);
    if (reply) {
        {
            std::lock_guard lock(m_queueMutex);
            m_replies.push_back(packReply(*reply));
        }
        m_queueChanged.notify_one();
    }
}

void VirtualKeyboard::deliverLoop(std::stop_token stop)
{
    while (true) {
        std::uint32_t packed = 0;
        {
            std::unique_lock lock(m_queueMutex);
            if (!m_queueChanged.wait(lock, stop, [this] { return !m_replies.empty(); }))
                return;
            packed = m_replies.front();
            m_replies.pop_front();
        }
        std::lock_guard lock(m_subscriberMutex);
        for (auto& [id, callback] : m_subscribers)
            callback(packed);
    }
}

int VirtualKeyboard::subscribe(ShortMessageCallback callback)
{
    std::lock_guard lock(m_subscriberMutex);
    const int id = m_nextSubscriber++;
    m_subscribers.emplace(id, std::move(callback));
    return id;
}

void VirtualKeyboard::unsubscribe(int id)
{
    std::lock_guard lock(m_subscriberMutex);
    m_subscribers.erase(id);
}

std::map<int, frame::Bytes> VirtualKeyboard::songs() const
{
    std::lock_guard lock(m_modelMutex);
    return m_model.songs();
}

std::optional<frame::Bytes> VirtualKeyboard::song(int slot) const
{
    std::lock_guard lock(m_modelMutex);
    return m_model.song(slot);
}

std::optional<frame::Bytes> VirtualKeyboard::romImage() const
{
    std::lock_guard lock(m_modelMutex);
    return m_model.romImage();
}

std::optional<keyboard::CurveTable> VirtualKeyboard::curve() const
{
    std::lock_guard lock(m_modelMutex);
    return m_model.curve();
}

std::vector<keyboard::ProtocolError> VirtualKeyboard::errors() const
{
    std::lock_guard lock(m_modelMutex);
    return m_model.errors();
}

std::size_t VirtualKeyboard::messagesReceived() const
{
    std::lock_guard lock(m_modelMutex);
    return m_messages;
}

bool VirtualKeyboard::transferOpen() const
{
    std::lock_guard lock(m_modelMutex);
    return m_model.transferOpen();
}

void VirtualKeyboard::reset()
{
    std::lock_guard lock(m_modelMutex);
    m_model = {};
    m_messages = 0;
}

void VirtualKeyboard::setAnswering(bool answering)
{
    std::lock_guard lock(m_modelMutex);
    m_answering = answering;
}

void VirtualKeyboard::setEventListener(EventListener listener)
{
    std::lock_guard lock(m_modelMutex);
    m_listener = std::move(listener);
}

} // namespace quillon::midi
