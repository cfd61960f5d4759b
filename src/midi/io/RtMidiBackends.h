#pragma once
// The ALSA sequencer: ports listed and read through RtMidi, messages sent by
// a sequencer client of our own (AlsaOutput.h), since RtMidi's sending parses
// SysEx. JACK has a client of its own (JackBackend). An API that cannot start on this machine (no sequencer
// device) is skipped without a word: the program simply lists fewer ports.
#include "midi/io/MidiSystem.h"

#include <rtmidi/RtMidi.h>

#include <string>

namespace quillon::midi {

// An RtMidi error callback that keeps the last text in the std::string that
// `lastError` points to, instead of RtMidi printing or throwing it.
void keepRtMidiError(RtMidiError::Type, const std::string& text, void* lastError);

// Every compiled API that starts, in RtMidi's order. clientName is how the
// program appears to other MIDI programs.
std::vector<std::unique_ptr<Backend>> startRtMidiBackends(const std::string& clientName);

} // namespace quillon::midi
