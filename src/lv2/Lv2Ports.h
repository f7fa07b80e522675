#pragma once
#include <cstdint>
#include <string>

#include "params/ProductFacts/ParameterIds.h"

// Port layout of the LV2 plug-in. The index of a port is what hosts connect
// by and what the plug-in's description lists; the symbols are what saved
// sessions and presets refer to. Neither ever changes.
namespace Lv2Ports
{
inline constexpr uint32_t kAudioInLeft = 0;
inline constexpr uint32_t kAudioInRight = 1;
inline constexpr uint32_t kAudioOutLeft = 2;
inline constexpr uint32_t kAudioOutRight = 3;
// The nine parameters, in parameter index order.
inline constexpr uint32_t kFirstParameter = 4;
inline constexpr uint32_t kEnabled = kFirstParameter + kNumParams;
// Atom input: MIDI, the host's transport and the editor's commands.
inline constexpr uint32_t kControl = kEnabled + 1;
// Atom output: what the editor shows beyond the parameter values.
inline constexpr uint32_t kNotify = kControl + 1;
inline constexpr uint32_t kNumPorts = kNotify + 1;

inline constexpr uint32_t parameterPort(int paramIdx) { return kFirstParameter + static_cast<uint32_t>(paramIdx); }
inline constexpr bool isParameterPort(uint32_t port) { return port >= kFirstParameter && port < kEnabled; }

// A port symbol from a parameter's name: lower case, every run of other
// characters one underscore ("LFO Depth" -> "lfo_depth").
inline std::string symbolForName(const char* name)
{
  std::string symbol;
  bool gap = false;
  for (const char* c = name; c && *c; ++c)
  {
    const char ch = *c;
    const bool alnum = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9');
    if (!alnum)
    {
      gap = !symbol.empty();
      continue;
    }
    if (gap)
      symbol += '_';
    gap = false;
    symbol += static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch);
  }
  if (symbol.empty() || (symbol[0] >= '0' && symbol[0] <= '9'))
    symbol.insert(0, "p_");
  return symbol;
}
} // namespace Lv2Ports
