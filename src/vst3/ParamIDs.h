#pragma once
#include <cstdint>

// Host parameter IDs of the binding. IDs 0 and up are the instance's
// parameter indices; the fixed IDs below sit above any index.
namespace ParamIDs
{
inline constexpr uint32_t kBypass = 65536;
// Names the preset list in program-name queries; no parameter has this ID.
inline constexpr uint32_t kPresetList = 65537;
// 130 per MIDI channel: controllers 0 to 127, channel pressure, pitch bend.
inline constexpr uint32_t kMidiControllerFirst = 65538;
inline constexpr int kMidiControllersPerChannel = 130;
inline constexpr int kMidiChannels = 16;
inline constexpr int kChannelPressure = 128;
inline constexpr int kPitchBend = 129;
inline constexpr uint32_t kMidiControllerLast =
    kMidiControllerFirst + kMidiControllersPerChannel * kMidiChannels - 1;

inline constexpr uint32_t MidiController(int channel, int controller)
{
  return kMidiControllerFirst + static_cast<uint32_t>(kMidiControllersPerChannel * channel + controller);
}
} // namespace ParamIDs
