#include "player/engine/Sequencer.h"

#include "player/core/SongFacts.h"

#include <algorithm>
#include <array>

#ifdef __linux__
#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#endif

namespace quillon::player {

namespace {

// Best effort, for timing only: a timely wake-up (no timer slack) and, where the
// system allows it, a modest real-time priority as audio programs use. The
// thread always sleeps between events, so the priority cannot starve others.
void tunePlayingThread()
{
#ifdef __linux__
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    sched_param param{};
    param.sched_priority = std::min(10, sched_get_priority_max(SCHED_FIFO));
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param); // refused without the right: fine
#endif
}

} // namespace

Sequencer::Sequencer(std::shared_ptr<OutputSink> sink, Clock& clock) : m_sink(std::move(sink)), m_clock(clock) {}

Sequencer::~Sequencer() { close(); }

Status Sequencer::open(const std::string& path)
{
    // As close(), but the old song's storage is filled with the new one.
    halt();
    m_open = false;
    {
        std::lock_guard lock(m_mutex);
        m_next = 0;
        m_position = 0;
    }
    auto bytes = readSongBytes(path);
    if (!bytes) {
        m_timeline = {};
        return fail(bytes.reason());
    }
    if (auto loaded = loadTimelineInto(*bytes, m_timeline); !loaded) {
        m_timeline = {};
        return fail(loaded.reason());
    }
    m_open = true;
    return success();
}

void Sequencer::load(Timeline timeline)
{
    close();
    m_timeline = std::move(timeline);
    m_open = true;
    std::lock_guard lock(m_mutex);
    m_next = 0;
    m_position = 0;
}

void Sequencer::close()
{
    if (!m_open)
        return;
    halt();
    m_open = false;
    m_timeline = {};
    std::lock_guard lock(m_mutex);
    m_next = 0;
    m_position = 0;
}

std::int64_t Sequencer::lengthMs() const { return m_open ? m_timeline.lengthMs() : 0; }

std::int64_t Sequencer::positionMs() const { return positionMicros() / 1000; }

std::int64_t Sequencer::positionMicros() const
{
    std::lock_guard lock(m_mutex);
    return positionMicrosLocked();
}

std::int64_t Sequencer::positionMicrosLocked() const
{
    if (!m_playing)
        return m_position;
    const std::int64_t elapsed = (m_clock.now() - m_startedAt).count();
    return std::clamp<std::int64_t>(m_startedFrom + elapsed, 0, m_timeline.lengthMicros);
}

void Sequencer::play()
{
    if (!m_open)
        return;
    halt();
    start();
}

void Sequencer::pause() { halt(); }

void Sequencer::stop()
{
    halt();
    std::lock_guard lock(m_mutex);
    m_position = 0;
    m_next = 0;
}

void Sequencer::seekMs(std::int64_t ms)
{
    if (!m_open)
        return;
    const bool wasPlaying = m_playing;
    halt();
    {
        std::lock_guard lock(m_mutex);
        m_position = std::clamp<std::int64_t>(ms * 1000, 0, m_timeline.lengthMicros);
        m_next = m_timeline.firstAtOrAfter(m_position);
    }
    if (wasPlaying)
        start();
}

void Sequencer::setSink(std::shared_ptr<OutputSink> sink)
{
    const bool wasPlaying = m_playing;
    halt();
    m_sink = std::move(sink);
    if (wasPlaying)
        start();
}

void Sequencer::start()
{
    {
        std::lock_guard lock(m_mutex);
        m_haltRequested = false;
        m_startedFrom = m_position;
        m_next = m_timeline.firstAtOrAfter(m_position);
        m_startedAt = m_clock.now();
    }
    m_playing = true;
    m_clock.threadStarting();
    m_thread = std::thread(&Sequencer::run, this);
}

void Sequencer::halt()
{
    if (!m_playing)
        return;
    {
        std::lock_guard lock(m_mutex);
        m_haltRequested = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    {
        std::lock_guard lock(m_mutex);
        m_position = positionMicrosLocked(); // still counts as playing here
    }
    m_playing = false;
    if (m_sink)
        silenceAllChannels(*m_sink);
}

void Sequencer::run()
{
    tunePlayingThread();
    std::shared_ptr<OutputSink> sink = m_sink;
    std::unique_lock lock(m_mutex);
    if (sink && m_next > 0) {
        const std::size_t before = m_next;
        lock.unlock();
        sendChase(*sink, before);
        lock.lock();
    }
    const auto& events = m_timeline.events;
    while (!m_haltRequested) {
        const bool songOver = m_next >= events.size();
        const std::int64_t songTime = songOver ? m_timeline.lengthMicros : events[m_next].micros;
        const Micros due = m_startedAt + Micros(songTime - m_startedFrom);
        if (m_clock.now() < due) {
            m_clock.waitUntil(lock, m_wake, due);
            continue;
        }
        if (songOver) {
            // At the end nothing may keep sounding, even in a file without its note-offs.
            lock.unlock();
            if (sink)
                silenceAllChannels(*sink);
            if (m_onEnd)
                m_onEnd();
            lock.lock();
            break;
        }
        const PlayEvent& event = events[m_next++];
        lock.unlock();
        if (sink)
            send(*sink, event);
        lock.lock();
    }
    lock.unlock();
    m_clock.threadFinished();
}

void Sequencer::send(OutputSink& sink, const PlayEvent& event)
{
    if (event.isSysEx())
        sink.sendSysEx(m_timeline.sysex[event.sysex]);
    else
        sink.sendShort(event.status, event.data1, event.data2);
}

void Sequencer::sendChase(OutputSink& sink, std::size_t before)
{
    // The last program, pitch bend and controller values (channel mode messages
    // aside) of each channel before the start position.
    std::array<int, 16> program;
    std::array<int, 16> bend;
    std::array<std::array<int, 120>, 16> controllers;
    program.fill(-1);
    bend.fill(-1);
    for (auto& c : controllers)
        c.fill(-1);
    for (std::size_t i = 0; i < before; ++i) {
        const PlayEvent& e = m_timeline.events[i];
        const int channel = e.status & 0x0F;
        switch (e.status & 0xF0) {
        case 0xB0:
            if (e.data1 < 120)
                controllers[channel][e.data1] = e.data2;
            break;
        case 0xC0: program[channel] = e.data1; break;
        case 0xE0: bend[channel] = e.data1 | (e.data2 << 7); break;
        default: break;
        }
    }
    for (std::uint8_t channel = 0; channel < 16; ++channel) {
        if (program[channel] >= 0)
            sink.sendShort(0xC0 | channel, static_cast<std::uint8_t>(program[channel]), 0);
        for (std::uint8_t c = 0; c < 120; ++c)
            if (controllers[channel][c] >= 0)
                sink.sendShort(0xB0 | channel, c, static_cast<std::uint8_t>(controllers[channel][c]));
        if (bend[channel] >= 0)
            sink.sendShort(0xE0 | channel, static_cast<std::uint8_t>(bend[channel] & 0x7F),
                           static_cast<std::uint8_t>(bend[channel] >> 7));
    }
}

} // namespace quillon::player
