#pragma once
#include <cstdint>

// The parameter index is also the host parameter ID, the order of the state
// chunk and of preset values, the MIDI-learn target and the editor binding.
// It never changes: saved projects and controller bindings depend on it.
enum EParams
{
  kRange = 0,
  kTime,
  kFeedback,
  kLFOSpeed,
  kLFODepth,
  kMix,
  kQuality,
  kDelaySync,
  kLFOSync,
  kNumParams
};

// Host parameter IDs besides the parameter indices; they sit above any index.
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
