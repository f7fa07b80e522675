#include "vst3/MidiConversion.h"

#include <cmath>

#include "params/ProductFacts/ParameterIds.h"
#include "vst3/IEffectVST3Parameter.h"

using Steinberg::Vst::Event;

namespace MidiConversion
{
namespace
{
// Scales a 0..1 amount to a 7-bit data byte, rounding down.
uint8_t toDataByte(double amount)
{
  return static_cast<uint8_t>(std::trunc(ClampNormalized(amount) * 127.0));
}

bool validChannelAndPitch(int channel, int pitch)
{
  return channel >= 0 && channel < 16 && pitch >= 0 && pitch < 128;
}
} // namespace

IMidiMsg FromControllerParameter(int index, double value, int32_t sampleOffset)
{
  const int channel = index / ParamIDs::kMidiControllersPerChannel;
  const int controller = index % ParamIDs::kMidiControllersPerChannel;
  const double v = ClampNormalized(value);

  IMidiMsg msg;
  msg.offset = sampleOffset;
  if (controller == ParamIDs::kPitchBend)
  {
    int x = static_cast<int>(std::trunc((2.0 * v - 1.0) * 8192.0));
    if (x < -8192)
      x = -8192;
    x += 8192;
    if (x > 16383)
      x = 16383;
    msg.status = static_cast<uint8_t>(0xE0 | channel);
    msg.data1 = static_cast<uint8_t>(x & 0x7F);
    msg.data2 = static_cast<uint8_t>(x >> 7);
  }
  else if (controller == ParamIDs::kChannelPressure)
  {
    msg.status = static_cast<uint8_t>(0xD0 | channel);
    msg.data1 = toDataByte(v);
    msg.data2 = 0;
  }
  else
  {
    msg.status = static_cast<uint8_t>(0xB0 | channel);
    msg.data1 = static_cast<uint8_t>(controller);
    msg.data2 = toDataByte(v);
  }
  return msg;
}

bool FromEvent(const Event& event, IMidiMsg& msg)
{
  int channel = 0;
  int pitch = 0;
  uint8_t kind = 0;
  uint8_t data2 = 0;
  switch (event.type)
  {
  case Event::kNoteOnEvent:
    channel = event.noteOn.channel;
    pitch = event.noteOn.pitch;
    kind = 0x90;
    data2 = IMidiMsg::DataByteOf(event.noteOn.velocity);
    break;
  case Event::kNoteOffEvent:
    // The release velocity is not passed on.
    channel = event.noteOff.channel;
    pitch = event.noteOff.pitch;
    kind = 0x80;
    break;
  case Event::kPolyPressureEvent:
    channel = event.polyPressure.channel;
    pitch = event.polyPressure.pitch;
    kind = 0xA0;
    data2 = IMidiMsg::DataByteOf(event.polyPressure.pressure);
    break;
  default:
    return false;
  }
  // A channel of 16 or more would turn into another message kind once it is
  // or-ed into the status byte.
  if (!validChannelAndPitch(channel, pitch))
    return false;
  msg.offset = event.sampleOffset;
  msg.status = static_cast<uint8_t>(kind | channel);
  msg.data1 = static_cast<uint8_t>(pitch);
  msg.data2 = data2;
  return true;
}
} // namespace MidiConversion
