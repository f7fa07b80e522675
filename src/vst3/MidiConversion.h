#pragma once
#include "plugin/IMidiMsg.h"
#include "pluginterfaces/vst/ivstevents.h"

// Turns the host's MIDI-controller parameter values and note events into the
// instance's MIDI messages. Audio thread; nothing here allocates.
namespace MidiConversion
{
// index: the MIDI-controller parameter's position after the first one
// (130 per channel: controllers 0 to 127, channel pressure, pitch bend).
// Values outside 0..1 are taken as the nearer end.
IMidiMsg FromControllerParameter(int index, double value, int32_t sampleOffset);

// Note-on, note-off and poly-pressure events become a message; every other
// event, and events whose channel or pitch lies outside MIDI's range, give
// false.
bool FromEvent(const Steinberg::Vst::Event& event, IMidiMsg& msg);
} // namespace MidiConversion
