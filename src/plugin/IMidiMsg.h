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

  // A host's single-precision 0..1 amount (a note's velocity, a key's
  // pressure) as a data byte, rounded down; amounts outside 0..1 and NaN
  // are taken as the nearer end (NaN as 0). Every binding scales alike, so
  // that one note reaches the instance as the same message in each format.
  static uint8_t DataByteOf(float amount);

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
