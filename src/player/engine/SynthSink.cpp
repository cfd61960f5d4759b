#include "player/engine/SynthSink.h"

#include <fluidsynth.h>

#include <cstdlib>
#include <filesystem>

namespace quillon::player {

struct SynthSink::Handles {
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    ~Handles()
    {
        if (synth)
            delete_fluid_synth(synth);
        if (settings)
            delete_fluid_settings(settings);
    }
};

namespace {

// FluidSynth reports each driver that fails to open; trying them in turn is
// expected here, so those reports are held back while probing.
class QuietFluidLog {
public:
    QuietFluidLog()
    {
        m_error = fluid_set_log_function(FLUID_ERR, nullptr, nullptr);
        m_warning = fluid_set_log_function(FLUID_WARN, nullptr, nullptr);
        m_info = fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
    }
    ~QuietFluidLog()
    {
        fluid_set_log_function(FLUID_ERR, m_error, nullptr);
        fluid_set_log_function(FLUID_WARN, m_warning, nullptr);
        fluid_set_log_function(FLUID_INFO, m_info, nullptr);
    }

private:
    fluid_log_function_t m_error;
    fluid_log_function_t m_warning;
    fluid_log_function_t m_info;
};

} // namespace

std::vector<std::string> SynthSink::standardSoundFonts()
{
    return {"/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf2/default-GM.sf2",
            "/usr/share/sounds/sf2/FluidR3_GM.sf2"};
}

Result<std::unique_ptr<SynthSink>> SynthSink::create(const SynthOptions& options)
{
    std::string soundFont = options.soundFont;
    if (soundFont.empty()) {
        for (const std::string& candidate : standardSoundFonts()) {
            std::error_code error;
            if (std::filesystem::is_regular_file(candidate, error)) {
                soundFont = candidate;
                break;
            }
        }
        if (soundFont.empty())
            return fail("no General MIDI soundfont found (install timgm6mb-soundfont)");
    }
    std::error_code error;
    if (!std::filesystem::is_regular_file(soundFont, error))
        return fail("soundfont not found: " + soundFont);

    std::unique_ptr<SynthSink> sink(new SynthSink());
    sink->m_handles = std::make_unique<Handles>();
    Handles& h = *sink->m_handles;
    h.settings = new_fluid_settings();
    if (!h.settings)
        return fail("cannot create synthesizer settings");
    fluid_settings_setnum(h.settings, "synth.sample-rate", options.sampleRate);
    fluid_settings_setnum(h.settings, "synth.gain", 0.6);
    fluid_settings_setint(h.settings, "synth.threadsafe-api", 1);
    h.synth = new_fluid_synth(h.settings);
    if (!h.synth)
        return fail("cannot create the synthesizer");
    if (fluid_synth_sfload(h.synth, soundFont.c_str(), 1) == FLUID_FAILED)
        return fail("cannot load soundfont " + soundFont);
    sink->m_soundFont = soundFont;

    if (options.openAudio) {
        // A JACK client must not start a server of its own just to be probed.
        setenv("JACK_NO_START_SERVER", "1", 0);
        QuietFluidLog quiet;
        for (const char* driver : {"pulseaudio", "pipewire", "alsa", "jack"}) {
            if (fluid_settings_setstr(h.settings, "audio.driver", driver) != FLUID_OK)
                continue; // not built into this FluidSynth
            if (fluid_audio_driver_t* opened = new_fluid_audio_driver(h.settings, h.synth)) {
                sink->m_driver = opened;
                sink->m_driverName = driver;
                break;
            }
        }
    }
    return sink;
}

SynthSink::~SynthSink()
{
    if (m_driver)
        delete_fluid_audio_driver(static_cast<fluid_audio_driver_t*>(m_driver));
}

void SynthSink::sendShort(std::uint8_t status, std::uint8_t data1, std::uint8_t data2)
{
    fluid_synth_t* synth = m_handles->synth;
    const int channel = status & 0x0F;
    switch (status & 0xF0) {
    case 0x80: fluid_synth_noteoff(synth, channel, data1); break;
    case 0x90:
        if (data2 == 0)
            fluid_synth_noteoff(synth, channel, data1);
        else
            fluid_synth_noteon(synth, channel, data1, data2);
        break;
    case 0xA0: fluid_synth_key_pressure(synth, channel, data1, data2); break;
    case 0xB0: fluid_synth_cc(synth, channel, data1, data2); break;
    case 0xC0: fluid_synth_program_change(synth, channel, data1); break;
    case 0xD0: fluid_synth_channel_pressure(synth, channel, data1); break;
    case 0xE0: fluid_synth_pitch_bend(synth, channel, data1 | (data2 << 7)); break;
    default: break;
    }
}

void SynthSink::sendSysEx(std::span<const std::uint8_t> bytes)
{
    // FluidSynth takes the message without its F0 and F7; escape packets are not SysEx for it.
    if (bytes.size() < 2 || bytes.front() != 0xF0)
        return;
    std::size_t length = bytes.size() - 1;
    if (bytes.back() == 0xF7)
        --length;
    fluid_synth_sysex(m_handles->synth, reinterpret_cast<const char*>(bytes.data() + 1), static_cast<int>(length),
                      nullptr, nullptr, nullptr, 0);
}

std::vector<float> SynthSink::render(int frames)
{
    std::vector<float> samples(static_cast<std::size_t>(frames) * 2);
    fluid_synth_write_float(m_handles->synth, frames, samples.data(), 0, 2, samples.data(), 1, 2);
    return samples;
}

} // namespace quillon::player
