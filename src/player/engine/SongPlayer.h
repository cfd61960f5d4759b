#pragma once
// The player window's view of the sequencer: whole minutes and seconds, and
// plain true/false (or -1) answers instead of errors. It keeps three flags:
// open, playing (set by a successful play, kept while paused and after the
// song has run to its end) and paused. playing implies open; paused implies
// playing. open() on an open player is refused and changes nothing. Every
// play() starts at the whole second of the current position, so a paused
// song resumes at the start of the second in which it was paused.
#include "player/engine/Sequencer.h"

#include <string>

namespace quillon::player {

// A position or length split into whole minutes and seconds (-1 and -1 when missing).
struct MinutesSeconds {
    int minutes = -1;
    int seconds = -1;
    bool valid() const { return minutes >= 0; }
    int totalSeconds() const { return valid() ? minutes * 60 + seconds : -1; }
};

class SongPlayer {
public:
    SongPlayer(std::shared_ptr<OutputSink> sink, Clock& clock);

    bool open(const std::string& path);
    bool close();
    bool play();
    bool stop();
    bool pause();

    // Outputs are set to -1 first; false when closed.
    bool getLength(int& minutes, int& seconds) const;
    MinutesSeconds length() const;
    int positionMinutes() const;
    int positionSeconds() const;
    // One reading of the position, split: minutes and seconds always belong together.
    MinutesSeconds position() const;

    // True only when the song was running and has been resumed at the target;
    // a stopped or paused song only moves. Targets beyond the end go to the end.
    bool seekTo(int minutes, int seconds);
    // Steps from the current position; a backward step stops at the song's start.
    bool skipForward(int stepSeconds);
    bool skipBack(int stepSeconds);

    bool isOpen() const { return m_open; }
    bool isPlaying() const { return m_playing; }
    bool isPaused() const { return m_paused; }
    // Playing (not paused) and run to the song's end.
    bool hasEnded() const;
    // Why the last open() failed, for a status line; empty after a success.
    const std::string& lastError() const { return m_lastError; }

    void setSink(std::shared_ptr<OutputSink> sink) { m_sequencer.setSink(std::move(sink)); }
    // See Sequencer::setOnEnd: on the playing thread, at the end of the song.
    void setOnEnd(std::function<void()> onEnd) { m_sequencer.setOnEnd(std::move(onEnd)); }

private:
    bool skipTo(std::int64_t targetMs);
    bool runningUnpaused() const { return m_playing && !m_paused; }

    Sequencer m_sequencer;
    bool m_open = false;
    bool m_playing = false;
    bool m_paused = false;
    std::string m_lastError;
};

} // namespace quillon::player
