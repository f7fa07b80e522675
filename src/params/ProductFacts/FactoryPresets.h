#pragma once
#include <array>

// The ten factory presets, in menu order. Values are in parameter index
// order (Range, Time, Feedback, LFOSpeed, LFO Depth, Mix, Quality, Delay
// Sync to Host, LFO Sync to Host), in plain units. The "default" preset is
// not the parameter defaults: its feedback is 0.4.
struct FactoryPreset
{
  const char* name;
  std::array<double, 9> values;
};

inline constexpr int kNumPresets = 10;

inline constexpr std::array<FactoryPreset, kNumPresets> kFactoryPresets = {{
  //                   range time  feedback speed depth mix   quality dsync lsync
  {"default",        {3, 0.6,  0.4,  0.15, 0.0,  0.5,  1.0,  0, 0}},
  {"Soft Flanger",   {0, 0.4, -0.2,  0.3,  0.8,  0.5,  1.0,  0, 0}},
  {"Sharp Flanger",  {0, 0.0,  0.8,  0.22, 0.9,  0.5,  0.66, 0, 0}},
  {"Soft Chorus",    {1, 0.4,  0.0,  1.2,  0.1,  0.5,  1.0,  0, 0}},
  {"Hard Chorus",    {1, 0.5,  0.3,  1.5,  0.2,  0.5,  1.0,  0, 0}},
  {"Slapback",       {2, 0.7,  0.2,  0.15, 0.0,  0.33, 0.5,  0, 0}},
  {"Space-like",     {3, 0.85, 0.75, 0.15, 0.0,  0.4,  0.44, 0, 0}},
  {"Vibrato",        {0, 0.0,  0.0,  5.4,  0.25, 1.0,  1.0,  0, 0}},
  {"Tape Echo",      {3, 1.0,  0.3,  0.32, 0.02, 0.33, 0.58, 0, 0}},
  {"Comb Resonator", {1, 0.75, 0.96, 0.15, 0.0,  0.3,  0.37, 0, 0}},
}};
