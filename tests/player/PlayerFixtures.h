#pragma once
// Songs for the playback tests: one tick is one millisecond (1000 ticks per
// quarter at one quarter per second), so every delta below reads as ms.
#include "SmfBuilder.h"
#include "player/core/Timeline.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace quillon::testing {

inline TrackBytes millisecondTrack()
{
    TrackBytes t;
    t.tempo(0, 1000000);
    return t;
}

inline Bytes millisecondSong(TrackBytes track) { return smf(0, 1000, {track}); }

// A song of exactly the given whole seconds with a note on at every whole second.
inline Bytes tickingSong(int seconds)
{
    TrackBytes t = millisecondTrack();
    for (int s = 0; s < seconds; ++s)
        t.event(s == 0 ? 0 : 500, {0x90, 60, 100}).event(500, {0x80, 60, 0});
    t.end(500);
    return millisecondSong(t);
}

inline player::Timeline timelineOf(const Bytes& bytes)
{
    auto timeline = player::loadTimeline(bytes);
    return timeline.ok() ? *timeline : player::Timeline{};
}

// A folder of its own below the system's temporary folder, removed at the end.
class TempFolder {
public:
    explicit TempFolder(const std::string& name)
        : m_path(std::filesystem::temp_directory_path() / ("quillon-player-" + name + "-" + std::to_string(::getpid())))
    {
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~TempFolder() { std::filesystem::remove_all(m_path); }

    std::string write(const std::string& name, const Bytes& bytes) const
    {
        const auto path = m_path / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

} // namespace quillon::testing
