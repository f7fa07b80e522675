#pragma once
#include <cstdint>

// One short MIDI message with its sample offset in the current block.
struct IMidiMsg
{
  enum EStatusMsg : uint8_t
  {
    kNoteOff = 8,
    kNoteOn = 9,
    kPolyAftertouch = 10,
    kControlChange = 11,
    kProgramChange = 12,
    kChannelAftertouch = 13,
    kPitchWheel = 14,
  };

  int32_t offset = 0;
  uint8_t status = 0;
  uint8_t data1 = 0;
  uint8_t data2 = 0;

  int StatusMsg() const { return status >> 4; }
  int Channel() const { return status & 0x0F; }
  bool IsControlChange() const { return status >= 0x80 && StatusMsg() == kControlChange; }

  // Display names of the 128 controller numbers.
  static const char* const CCNameStr[128];
};

// A system-exclusive message; the bytes belong to the host for the duration
// of the call.
struct ISysEx
{
  int32_t offset = 0;
  const uint8_t* data = nullptr;
  int32_t size = 0;
};
