#pragma once
// Our bytes to ALSA as they are. A SysEx message goes to the sequencer as one
// SND_SEQ_EVENT_SYSEX event built from its exact bytes, which the kernel hands
// to the device's raw MIDI output unparsed; to a raw MIDI device it is written
// and drained. Never through alsa-lib's MIDI event encoder: it parses a SysEx
// body, and a data block's command byte 0x89 turns the rest into Note Offs.
//
// The few calls that reach a sound card sit behind the two sinks, so what a
// route hands to ALSA can be checked on a machine without one.
#include "midi/io/MidiSystem.h"

#include <alsa/asoundlib.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace quillon::midi {

// Where sequencer events go: this program's output port as source, the chosen port as destination.
class SequencerSink {
public:
    virtual ~SequencerSink() = default;
    // Sends one event at once (not queued); negative = ALSA's error code.
    virtual int output(snd_seq_event_t& event) = 0;
};

// An open raw MIDI output (hw:C,D,S).
class RawMidiSink {
public:
    virtual ~RawMidiSink() = default;
    // Writes some of `bytes`; how many, or a negative error code.
    virtual long write(std::span<const std::uint8_t> bytes) = 0;
    // Returns when everything written has left the device; negative = error.
    virtual int drain() = 0;
};

// An output that sends every message as one event (a SysEx message as one
// SYSEX event of exactly its bytes), or writes it whole and drains. The sink's
// call runs on a worker; a send that takes longer than sendTimeout() fails.
std::unique_ptr<OutputConnection> sequencerOutput(std::unique_ptr<SequencerSink> sink);
std::unique_ptr<OutputConnection> rawMidiOutput(std::unique_ptr<RawMidiSink> sink);

// A sequencer port's address from the end of its listed name ("USB Keyboard:USB Keyboard MIDI 1 20:0").
std::optional<snd_seq_addr_t> sequencerAddress(const std::string& portName);

// The real sinks: a sequencer client of this program's own with one output
// port, and a raw MIDI device opened for output ("hw:1,0,0"); nullptr when
// they cannot be opened.
std::unique_ptr<SequencerSink> openSequencerSink(const std::string& clientName, snd_seq_addr_t destination);
std::unique_ptr<RawMidiSink> openRawMidiSink(const std::string& device);

// Splits the bytes a raw MIDI input reads into short messages (running status
// as a cable allows it); SysEx is skipped. Feed it from one thread.
class ShortMessageParser {
public:
    void feed(std::span<const std::uint8_t> bytes, const ShortMessageCallback& onMessage);

private:
    std::uint8_t m_status = 0; // 0: none, or inside SysEx
    std::uint8_t m_data[2] = {};
    unsigned m_count = 0;
};

} // namespace quillon::midi
