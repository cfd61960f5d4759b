#include "player/engine/SongPlayer.h"

#include <filesystem>
#include <system_error>

namespace quillon::player {

namespace {
MinutesSeconds split(std::int64_t ms)
{
    const auto s = static_cast<int>(ms / 1000);
    return {s / 60, s % 60};
}
} // namespace

SongPlayer::SongPlayer(std::shared_ptr<OutputSink> sink, Clock& clock) : m_sequencer(std::move(sink), clock) {}

bool SongPlayer::open(const std::string& path)
{
    if (m_open)
        return false;
    m_playing = false;
    m_paused = false;
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        m_lastError = "no such file: " + path;
        return false;
    }
    auto opened = m_sequencer.open(path);
    if (!opened) {
        m_lastError = opened.reason();
        return false;
    }
    m_lastError.clear();
    m_open = true;
    m_sequencer.seekMs(0);
    return true;
}

bool SongPlayer::close()
{
    if (!m_open)
        return false;
    m_sequencer.close();
    m_open = m_playing = m_paused = false;
    return true;
}

bool SongPlayer::play()
{
    if (!m_open)
        return false;
    m_sequencer.pause(); // a running song halts once, then goes on from the whole second
    const MinutesSeconds at = position();
    m_sequencer.seekMs(static_cast<std::int64_t>(at.totalSeconds()) * 1000);
    m_sequencer.play();
    m_paused = false;
    m_playing = true;
    return true;
}

bool SongPlayer::stop()
{
    if (!m_open || !m_playing)
        return false;
    m_sequencer.stop();
    m_playing = m_paused = false;
    return true;
}

bool SongPlayer::pause()
{
    if (!m_open || !m_playing)
        return false;
    m_sequencer.pause();
    m_paused = true;
    return true;
}

bool SongPlayer::getLength(int& minutes, int& seconds) const
{
    minutes = seconds = -1;
    if (!m_open)
        return false;
    const MinutesSeconds length = split(m_sequencer.lengthMs());
    minutes = length.minutes;
    seconds = length.seconds;
    return true;
}

bool SongPlayer::hasEnded() const
{
    return m_open && runningUnpaused() && m_sequencer.positionMs() >= m_sequencer.lengthMs();
}

MinutesSeconds SongPlayer::length() const
{
    MinutesSeconds out;
    getLength(out.minutes, out.seconds);
    return out;
}

MinutesSeconds SongPlayer::position() const
{
    if (!m_open)
        return {};
    return split(m_sequencer.positionMs());
}

int SongPlayer::positionMinutes() const { return position().minutes; }

int SongPlayer::positionSeconds() const { return position().seconds; }

bool SongPlayer::seekTo(int minutes, int seconds)
{
    if (!m_open)
        return false;
    return skipTo((static_cast<std::int64_t>(minutes) * 60 + seconds) * 1000);
}

bool SongPlayer::skipForward(int stepSeconds)
{
    if (!m_open)
        return false;
    return skipTo(m_sequencer.positionMs() + static_cast<std::int64_t>(stepSeconds) * 1000);
}

bool SongPlayer::skipBack(int stepSeconds)
{
    if (!m_open)
        return false;
    return skipTo(std::max<std::int64_t>(0, m_sequencer.positionMs() - static_cast<std::int64_t>(stepSeconds) * 1000));
}

bool SongPlayer::skipTo(std::int64_t targetMs)
{
    if (runningUnpaused())
        m_sequencer.pause();
    m_sequencer.seekMs(targetMs); // clamps to 0 .. length
    if (!runningUnpaused())
        return false;
    return play();
}

} // namespace quillon::player
