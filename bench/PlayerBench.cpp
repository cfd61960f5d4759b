// Local playback timing: how late a dense song's events leave the sequencer on
// the real clock, against a bare thread that only waits for the same times
// (the floor this machine's scheduler allows), and how long opening and
// measuring a 1 MiB MIDI file takes, against plain reading of the same bytes
// (both in CPU time of the measuring thread).
#include "BenchReport.h"

#include "player/core/SongFacts.h"
#include "player/core/Timeline.h"
#include "player/engine/RecordingSink.h"
#include "player/engine/Sequencer.h"

#include "SmfBuilder.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#ifdef __linux__
#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#endif

using namespace quillon::player;
using namespace quillon::testing;
using namespace std::chrono_literals;

namespace {

std::size_t timelineEventsOf(const std::vector<std::uint8_t>& bytes)
{
    auto timeline = loadTimeline(bytes);
    return timeline.ok() ? timeline->events.size() : 0;
}

// Events evenly spaced at one tick (100 us) resolution on all 16 channels.
Bytes denseSong(int seconds, int eventsPerSecond)
{
    TrackBytes t;
    t.tempo(0, 100000); // 1000 ticks per quarter at 0.1 s per quarter: 1 tick = 100 us
    const int ticks = seconds * 10000;
    const int step = std::max(1, 10000 / eventsPerSecond);
    int last = 0;
    int n = 0;
    for (int tick = 0; tick < ticks; tick += step, ++n) {
        const int channel = n % 16;
        const int note = 36 + (n * 7) % 60;
        if (n % 2 == 0)
            t.event(static_cast<std::uint32_t>(tick - last), {0x90 | channel, note, 80});
        else
            t.event(static_cast<std::uint32_t>(tick - last), {0x80 | ((n - 1) % 16), 36 + ((n - 1) * 7) % 60, 0});
        last = tick;
    }
    t.end(static_cast<std::uint32_t>(ticks - last));
    return smf(0, 1000, {t});
}

// About `bytes` of note data spread over eight tracks.
Bytes bigSong(std::size_t bytes)
{
    std::vector<TrackBytes> tracks(8);
    tracks[0].tempo(0, 500000);
    std::size_t size = 0;
    int n = 0;
    while (size < bytes) {
        TrackBytes& t = tracks[static_cast<std::size_t>(n % 8)];
        const int before = static_cast<int>(t.bytes().size());
        t.event(n % 3 == 0 ? 24 : 0, {0x90 | (n % 8), 40 + n % 50, 90}).event(12, {40 + n % 50, 0});
        size += t.bytes().size() - static_cast<std::size_t>(before);
        ++n;
    }
    Bytes out = header(1, 8, 480);
    for (auto& t : tracks) {
        t.end();
        append(out, t.chunk());
    }
    return out;
}

template <typename T>
T percentile(std::vector<T> values, double p)
{
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[index];
}

// The same tuning the sequencer gives its playing thread (no timer slack, a
// modest real-time priority where allowed), so the baseline is held to the same terms.
void tuneLikeThePlayingThread()
{
#ifdef __linux__
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    sched_param param{};
    param.sched_priority = std::min(10, sched_get_priority_max(SCHED_FIFO));
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
#endif
}

// The floor: a bare thread that waits on a condition variable until each
// event's time, as the sequencer does, and notes how late it woke. No
// timeline walk, no sink.
std::vector<double> bareWakeLateness(const Timeline& timeline)
{
    std::vector<double> lateUs;
    lateUs.reserve(timeline.events.size());
    const auto start = std::chrono::steady_clock::now();
    std::thread waker([&] {
        tuneLikeThePlayingThread();
        std::mutex mutex;
        std::condition_variable wake;
        std::unique_lock lock(mutex);
        for (const auto& event : timeline.events) {
            const auto due = start + std::chrono::microseconds(event.micros);
            while (std::chrono::steady_clock::now() < due)
                wake.wait_until(lock, due);
            lateUs.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - due).count());
        }
    });
    waker.join();
    return lateUs;
}

std::vector<double> sequencerLateness(const Timeline& timeline)
{
    SteadyClock clock;
    auto sink = std::make_shared<RecordingSink>(clock);
    sink->reserve(timeline.events.size() + 64);
    Sequencer sequencer(sink, clock);
    sequencer.load(timeline);

    const Micros start = clock.now();
    sequencer.play();
    std::this_thread::sleep_for(std::chrono::microseconds(timeline.lengthMicros) + 200ms);
    sequencer.stop();

    const auto messages = sink->messages();
    std::vector<double> lateUs;
    for (std::size_t i = 0; i < timeline.events.size() && i < messages.size(); ++i)
        lateUs.push_back(static_cast<double>((messages[i].at - start).count() - timeline.events[i].micros));
    return lateUs;
}

void latenessRun(int eventsPerSecond, int seconds)
{
    const Timeline timeline = *loadTimeline(denseSong(seconds, eventsPerSecond));
    const auto bare = bareWakeLateness(timeline);
    const auto played = sequencerLateness(timeline);
    std::printf("dense song: %zu events in %d s, %zu sent by the sequencer\n", timeline.events.size(), seconds,
                played.size());
    const std::string song = std::to_string(eventsPerSecond) + " events/s";
    if (played.size() != timeline.events.size()) {
        quillon::bench::reportMissing("player lateness, " + song, "us", "the sequencer did not send every event");
        return;
    }
    const auto rows = [&](const std::string& what, const std::vector<double>& lateUs) {
        const std::string name = what + ", " + song + ", lateness ";
        quillon::bench::reportRow(name + "p50", percentile(lateUs, 0.5), "us", percentile(bare, 0.5));
        quillon::bench::reportRow(name + "p99", percentile(lateUs, 0.99), "us", percentile(bare, 0.99));
        quillon::bench::reportRow(name + "max", *std::max_element(lateUs.begin(), lateUs.end()), "us",
                                  *std::max_element(bare.begin(), bare.end()));
    };
    rows("bare wake-up thread (baseline)", bare);
    rows("player", played);
}

// This thread's CPU time: on a machine shared with other work, the wall clock
// of a few milliseconds' job mostly tells how often it was preempted.
std::chrono::steady_clock::time_point threadCpuNow()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::steady_clock::time_point(std::chrono::seconds(now.tv_sec) +
                                                 std::chrono::nanoseconds(now.tv_nsec));
}

void openRun()
{
    const Bytes song = bigSong(1 << 20);
    const auto path = std::filesystem::temp_directory_path() / "quillon-bench-1mib.mid";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(song.data()), static_cast<std::streamsize>(song.size()));
    SteadyClock clock;
    Sequencer sequencer(nullptr, clock);
    std::vector<double> openMs, readMs, detailsMs;
    std::int64_t length = 0;
    std::size_t events = 0;
    for (int i = 0; i < 15; ++i) {
        auto t0 = threadCpuNow();
        std::ifstream in(path, std::ios::binary);
        std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        auto t1 = threadCpuNow();
        const bool opened = sequencer.open(path.string()).ok();
        length = sequencer.lengthMs();
        auto t2 = threadCpuNow();
        if (!opened || bytes.size() != song.size()) {
            quillon::bench::reportMissing("player open + measure of a 1 MiB MIDI file", "ms", "the file did not open");
            return;
        }
        auto t3 = threadCpuNow();
        const auto file = readSongBytes(path);
        const auto facts = file ? songFactsOf(*file) : quillon::Result<SongFacts>(quillon::fail("unread"));
        auto t4 = threadCpuNow();
        const bool measured = facts && facts->lengthMicros / 1000 == length;
        if (!measured) {
            quillon::bench::reportMissing("song details of a 1 MiB MIDI file", "ms", "the details disagree");
            return;
        }
        detailsMs.push_back(std::chrono::duration<double, std::milli>(t4 - t3).count());
        events = timelineEventsOf(bytes);
        readMs.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        openMs.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
    }
    std::filesystem::remove(path);
    const double open = percentile(openMs, 0.5);
    const double read = percentile(readMs, 0.5);
    std::printf("1 MiB MIDI file (%zu bytes, %zu events, %lld ms long), median of 15, CPU time of this thread:\n",
                song.size(), events, static_cast<long long>(length));
    quillon::bench::reportRow("plain read of a 1 MiB MIDI file (baseline), CPU time, median of 15", read, "ms", read);
    quillon::bench::reportRow("player open + measure of that file, CPU time, median of 15", open, "ms", read);
    quillon::bench::reportRow("song details (list tooltip) of that file, CPU time, median of 15",
                              percentile(detailsMs, 0.5), "ms", read);
}

} // namespace

int main()
{
    // The machine's load at the start, since it shapes every number below.
    if (std::FILE* load = std::fopen("/proc/loadavg", "r")) {
        char line[128] = {};
        if (std::fgets(line, sizeof line, load))
            std::printf("load average at start: %s", line);
        std::fclose(load);
    }
    latenessRun(2000, 5);
    latenessRun(5000, 5);
    openRun();
    return 0;
}
