#include "midi/io/PortWatchers.h"

#include <alsa/asoundlib.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <thread>
#include <vector>

namespace quillon::midi {

namespace {

class ListenerHandle : public PortWatch {
public:
    template <typename Shared>
    ListenerHandle(std::shared_ptr<Shared> shared, int id)
        : m_remove([shared, id] {
              std::lock_guard lock(shared->mutex);
              shared->listeners.erase(id);
          })
    {
    }
    ~ListenerHandle() override { m_remove(); }

private:
    std::function<void()> m_remove;
};

// A sequencer client of its own subscribed to the system announce port.
class AlsaAnnounceWatch : public PortWatch {
public:
    static std::unique_ptr<AlsaAnnounceWatch> start(std::function<void()> changed)
    {
        if (access("/dev/snd/seq", R_OK | W_OK) != 0)
            return nullptr;
        snd_seq_t* seq = nullptr;
        if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK) < 0)
            return nullptr;
        snd_seq_set_client_name(seq, "Quillon port watch");
        const int port = snd_seq_create_simple_port(
            seq, "announce", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_NO_EXPORT, SND_SEQ_PORT_TYPE_APPLICATION);
        const int stop = eventfd(0, EFD_CLOEXEC);
        if (port < 0 || stop < 0 ||
            snd_seq_connect_from(seq, port, SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_ANNOUNCE) < 0) {
            if (stop >= 0)
                close(stop);
            snd_seq_close(seq);
            return nullptr;
        }
        return std::unique_ptr<AlsaAnnounceWatch>(new AlsaAnnounceWatch(seq, stop, std::move(changed)));
    }

    ~AlsaAnnounceWatch() override
    {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = write(m_stop, &one, sizeof one);
        m_thread.join();
        close(m_stop);
        snd_seq_close(m_seq);
    }

private:
    AlsaAnnounceWatch(snd_seq_t* seq, int stop, std::function<void()> changed)
        : m_seq(seq), m_stop(stop), m_changed(std::move(changed)), m_thread([this] { run(); })
    {
    }

    void run()
    {
        std::vector<pollfd> fds(static_cast<std::size_t>(snd_seq_poll_descriptors_count(m_seq, POLLIN)) + 1);
        snd_seq_poll_descriptors(m_seq, fds.data() + 1, static_cast<unsigned>(fds.size() - 1), POLLIN);
        fds[0] = {m_stop, POLLIN, 0};
        while (poll(fds.data(), fds.size(), -1) >= 0 && (fds[0].revents & POLLIN) == 0) {
            bool changed = false;
            snd_seq_event_t* event = nullptr;
            while (snd_seq_event_input(m_seq, &event) >= 0 && event != nullptr) {
                switch (event->type) {
                case SND_SEQ_EVENT_CLIENT_START:
                case SND_SEQ_EVENT_CLIENT_EXIT:
                case SND_SEQ_EVENT_PORT_START:
                case SND_SEQ_EVENT_PORT_EXIT:
                case SND_SEQ_EVENT_PORT_CHANGE: changed = true; break;
                default: break;
                }
            }
            if (changed)
                m_changed();
        }
    }

    snd_seq_t* m_seq;
    int m_stop;
    std::function<void()> m_changed;
    std::thread m_thread;
};

} // namespace

std::unique_ptr<PortWatch> PortWatchers::add(std::function<void()> changed)
{
    std::lock_guard lock(m_shared->mutex);
    const int id = m_shared->next++;
    m_shared->listeners.emplace(id, std::move(changed));
    return std::make_unique<ListenerHandle>(m_shared, id);
}

void PortWatchers::notify()
{
    std::lock_guard lock(m_shared->mutex);
    for (auto& [id, changed] : m_shared->listeners)
        changed();
}

std::unique_ptr<PortWatch> watchAlsaAnnouncements(std::function<void()> changed)
{
    return AlsaAnnounceWatch::start(std::move(changed));
}

} // namespace quillon::midi
