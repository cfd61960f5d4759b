#pragma once
// The built-in General MIDI synthesizer: FluidSynth with a soundfont from the
// system, heard through the first desktop audio output that opens (PulseAudio,
// PipeWire, ALSA, then JACK). When none opens the sink still takes every
// message, silently, and says so through hasAudio(). Messages may come from
// any one thread at a time; FluidSynth itself is thread-safe.
#include "base/core/Result.h"
#include "player/engine/OutputSink.h"

#include <memory>
#include <string>
#include <vector>

namespace quillon::player {

struct SynthOptions {
    std::string soundFont; // empty: the first GM soundfont found at its standard path
    bool openAudio = true; // false: no driver at all, sound only through render()
    double sampleRate = 44100.0;
};

class SynthSink final : public OutputSink {
public:
    static Result<std::unique_ptr<SynthSink>> create(const SynthOptions& options);
    // The soundfont paths looked at when none is named, in order.
    static std::vector<std::string> standardSoundFonts();

    ~SynthSink() override;
    SynthSink(const SynthSink&) = delete;
    SynthSink& operator=(const SynthSink&) = delete;

    void sendShort(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) override;
    void sendSysEx(std::span<const std::uint8_t> bytes) override;

    bool hasAudio() const { return m_driver != nullptr; }
    const std::string& audioDriver() const { return m_driverName; } // empty without audio
    const std::string& soundFont() const { return m_soundFont; }

    // Renders the next frames into interleaved stereo samples. Only meaningful
    // without an audio driver, which otherwise pulls the sound itself.
    std::vector<float> render(int frames);

private:
    struct Handles;
    SynthSink() = default;

    std::unique_ptr<Handles> m_handles;
    void* m_driver = nullptr;
    std::string m_driverName;
    std::string m_soundFont;
};

} // namespace quillon::player
