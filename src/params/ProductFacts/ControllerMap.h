#pragma once
#include <cstdint>

// The MIDI-learn controller map: which controllers it covers and what an
// entry may hold besides a parameter index. The configuration file and the
// messages between the LV2 plug-in and its editor carry these numbers.
namespace ControllerMap
{
// Controllers 0 to 119; 120 to 127 are MIDI's channel mode messages.
inline constexpr int kNumControllers = 120;
// The controller presses the freeze switch.
inline constexpr int32_t kFreezeTarget = -12;
// The controller drives nothing.
inline constexpr int32_t kUnbound = -1;
} // namespace ControllerMap
