#pragma once
// Plays one song's timeline into an output sink on its own thread. Each event
// is sent when the clock reaches its time; between events the thread sleeps on
// a condition variable. Positions and lengths are in milliseconds (microseconds
// inside). Halting (pause, stop, close, a seek while playing, destruction)
// joins the thread and then releases every note and the sustain pedal on all
// channels. The sequencer itself never fails once a song is loaded.
//
// Thread: every public function is called from one controlling thread; the
// playing thread is private.
#include "base/core/Result.h"
#include "player/core/Timeline.h"
#include "player/engine/Clock.h"
#include "player/engine/OutputSink.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace quillon::player {

class Sequencer {
public:
    Sequencer(std::shared_ptr<OutputSink> sink, Clock& clock);
    ~Sequencer();
    Sequencer(const Sequencer&) = delete;
    Sequencer& operator=(const Sequencer&) = delete;

    // Reads and loads a MIDI file; the old song (if any) is closed first. Stopped at the start.
    Status open(const std::string& path);
    void load(Timeline timeline);
    void close();
    bool isOpen() const { return m_open; }

    std::int64_t lengthMs() const;
    std::int64_t positionMs() const;
    std::int64_t positionMicros() const;
    bool isPlaying() const { return m_playing; } // true from play() until a halt, also after the song's end

    // Plays from the current position. Controllers, programs and pitch bends set
    // earlier in the song are sent first, so a song resumed mid-way sounds right.
    void play();
    void pause(); // halts and keeps the position
    void stop();  // halts and goes back to the start
    // Moves to a position, clamped to the song (0 .. length). A playing song goes on from there.
    void seekMs(std::int64_t ms);

    // Changes the output; a playing song halts on the old sink and goes on on the new one.
    void setSink(std::shared_ptr<OutputSink> sink);

    // Called on the playing thread the moment a song has played to its end
    // (never for a halt). Set it while nothing plays; it must not call back
    // into the sequencer (hand the news to the controlling thread instead).
    void setOnEnd(std::function<void()> onEnd) { m_onEnd = std::move(onEnd); }

private:
    void start();
    void halt();
    void run();
    void send(OutputSink& sink, const PlayEvent& event);
    void sendChase(OutputSink& sink, std::size_t before);
    std::int64_t positionMicrosLocked() const;

    std::shared_ptr<OutputSink> m_sink;
    Clock& m_clock;
    Timeline m_timeline;
    bool m_open = false;
    bool m_playing = false;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_haltRequested = false;
    std::size_t m_next = 0;         // next event to send
    std::int64_t m_position = 0;    // song microseconds while halted
    Micros m_startedAt{0};          // clock time at which playing began ...
    std::int64_t m_startedFrom = 0; // ... from this song position
    std::thread m_thread;
    std::function<void()> m_onEnd;
};

} // namespace quillon::player
