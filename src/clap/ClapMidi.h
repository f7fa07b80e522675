#pragma once
#include <cstdint>

#include "clap/events.h"
#include "plugin/IMidiMsg.h"

// Turns a CLAP block's note and MIDI events into the instance's MIDI
// messages, as the VST 3 version turns its events and MIDI-controller
// parameters into them. Audio thread; nothing here allocates.
namespace ClapMidi
{
// What a message is to the VST 3 version: controllers, channel pressure and
// pitch bend arrive there as controller parameters (the editor's copy goes
// first), notes and poly pressure as events (the instance's copy first).
enum class Kind
{
  kNone,
  kController,
  kNote,
};

// A raw MIDI 1.0 event; kNone for messages the effect does not take
// (program change, system messages) and for malformed bytes.
Kind FromMidiEvent(const clap_event_midi_t& event, uint32_t frames, IMidiMsg& msg);

// A note-on or note-off event of CLAP's own dialect, for hosts that send
// them although the port prefers MIDI; kNone for wildcard or out-of-range
// channels and keys.
Kind FromNoteEvent(const clap_event_note_t& event, bool on, uint32_t frames, IMidiMsg& msg);
} // namespace ClapMidi
