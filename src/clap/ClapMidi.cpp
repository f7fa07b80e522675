#include "clap/ClapMidi.h"

#include "plugin/IEffectProcessor.h"

namespace ClapMidi
{
Kind FromMidiEvent(const clap_event_midi_t& event, uint32_t frames, IMidiMsg& msg)
{
  const uint8_t status = event.data[0];
  const uint8_t data1 = event.data[1];
  const uint8_t data2 = event.data[2];
  if (!(status & 0x80) || (data1 & 0x80))
    return Kind::kNone;
  Kind kind = Kind::kNone;
  bool twoDataBytes = true;
  switch (status & 0xF0)
  {
  case 0x80:
  case 0x90:
  case 0xA0:
    kind = Kind::kNote;
    break;
  case 0xB0:
  case 0xE0:
    kind = Kind::kController;
    break;
  case 0xD0:
    kind = Kind::kController;
    twoDataBytes = false;
    break;
  default:
    // Program changes and system messages: the VST 3 version never
    // receives them either.
    return Kind::kNone;
  }
  if (twoDataBytes && (data2 & 0x80))
    return Kind::kNone;
  msg.offset = IEffectProcessor::OffsetInBlock(event.header.time, frames);
  msg.status = status;
  msg.data1 = data1;
  // The release velocity is not passed on, as in the VST 3 version.
  msg.data2 = !twoDataBytes || (status & 0xF0) == 0x80 ? 0 : data2;
  return kind;
}

Kind FromNoteEvent(const clap_event_note_t& event, bool on, uint32_t frames, IMidiMsg& msg)
{
  if (event.channel < 0 || event.channel > 15 || event.key < 0 || event.key > 127)
    return Kind::kNone;
  msg.offset = IEffectProcessor::OffsetInBlock(event.header.time, frames);
  msg.status = static_cast<uint8_t>((on ? 0x90 : 0x80) | event.channel);
  msg.data1 = static_cast<uint8_t>(event.key);
  msg.data2 = 0;
  // Scaled in single precision, as the VST 3 version's events are.
  if (on)
    msg.data2 = IMidiMsg::DataByteOf(static_cast<float>(event.velocity));
  return Kind::kNote;
}
} // namespace ClapMidi
