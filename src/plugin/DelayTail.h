#pragma once
#include <cstdint>

// How long the delay keeps sounding after its input falls silent: the time
// until the echoes of a full-scale impulse stay below -90 dBFS, for given
// settings. A pure function of the parameter values, so any thread may ask
// at any time, before processing has started too.
struct DelayTailSettings
{
  double sampleRate = 44100.0;
  double range = 3;      // Range parameter, 0 to 4
  double time = 0.6;     // Time parameter, 0 to 1
  double feedback = 0.0; // -1 to 1
  double lfoDepth = 0.0; // 0 to 1
  double mix = 0.5;      // 0 to 1
  double quality = 1.0;  // 0 to 1
  bool delaySync = false;
  double lfoSpeed = 0.15; // LFO rate in Hz while not synced
  bool lfoSync = false;
  int lfoSyncRow = 10; // row of the LFO sync table while synced
  // With delay or LFO sync the times follow the host tempo, in quarter notes per
  // minute; a tempo that gives no note length counts as the longest delay.
  double tempo = 120.0;
  bool frozen = false;
};

inline constexpr uint32_t kInfiniteTailSamples = 0xFFFFFFFFu;

// The level the tail is measured down to.
inline constexpr double kTailFloorDb = -90.0;

// Samples of tail, never shorter than the echoes last and at most about
// twice that plus two seconds; kInfiniteTailSamples while frozen or when the
// echoes never die away (the loop gain reaches 1, where the limiter keeps
// them going).
uint32_t delayTailSamples(const DelayTailSettings& settings);
