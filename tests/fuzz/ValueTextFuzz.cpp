// Value texts of every parameter ID, formatted and read through the binding
// in-process, with values and host texts from the fuzzer.
//
// Input: byte 0 picks the parameter ID (the nine parameters, bypass, the
// preset list ID that names no parameter, a MIDI controller, or any ID from
// bytes 1-4); byte 5 the sync modes; bytes 6-13 the value as raw double bits
// (NaN, infinities and huge values included); the rest the host text as
// UTF-16 units, cut at 128 and then left without a terminator.
#include <algorithm>
#include <cmath>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include <unistd.h>

#include "params/DelayParameters.h"
#include "plugin/TolmarDelay.h"
#include "vst3/IEffectVST3.h"
#include "vst3/ParamIDs.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace
{
// Instances read and write the user's configuration: the fuzzer gives them a
// home of their own.
class IsolatedHome
{
public:
  IsolatedHome()
  : home(std::filesystem::temp_directory_path() / ("tolmar-value-text-fuzz-" + std::to_string(getpid())))
  {
    std::filesystem::create_directories(home);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
  }
  ~IsolatedHome()
  {
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
  }

private:
  std::filesystem::path home;
};

// One instance for the whole run: making one is far slower than the calls.
struct Instance
{
  IsolatedHome home;
  IEffectVST3* effect = nullptr;

  Instance() : effect(new IEffectVST3(std::make_unique<TolmarDelay>()))
  {
    if (effect->initialize(nullptr) != kResultOk)
      std::abort();
  }
  ~Instance()
  {
    effect->terminate();
    effect->release();
  }
};

Instance& instance()
{
  static Instance made;
  return made;
}

void check(bool condition)
{
  if (!condition)
    __builtin_trap();
}

uint32_t readWord(const uint8_t* data)
{
  uint32_t word = 0;
  std::memcpy(&word, data, sizeof word);
  return word;
}

ParamID pickID(uint8_t selector, uint32_t word)
{
  switch (selector % 6)
  {
  case 0:
  case 1: return static_cast<ParamID>(word % kNumParams);
  case 2: return ParamIDs::kBypass;
  case 3: return ParamIDs::kPresetList;
  case 4: return ParamIDs::kMidiControllerFirst + word % (ParamIDs::kMidiControllerLast - ParamIDs::kMidiControllerFirst + 1);
  default: return word;
  }
}

bool terminatedWithin128(const String128 text)
{
  return std::find(text, text + 128, 0) != text + 128;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  constexpr size_t kHeader = 14;
  if (size < kHeader)
    return 0;
  IEffectVST3& effect = *instance().effect;
  IEffectPlugin& plugin = effect.GetPlugin();

  const ParamID id = pickID(data[0], readWord(data + 1));
  // The engine switches the LFO speed's display with LFO sync; the fuzzer
  // switches it directly, so that both forms are shown and read.
  plugin.GetParam(kLFOSpeed)->SetDisplayFunc((data[5] & 1) ? setDisplayTextForLFOSyncRate : setDisplayTextForSpeed);
  double value = 0.0;
  std::memcpy(&value, data + 6, sizeof value);

  // The host text: terminated when it is shorter than the field, otherwise
  // all 128 units and no terminator, with more units behind in memory.
  struct
  {
    String128 text;
    std::array<char16, 16> beyond;
  } host{};
  const size_t units = std::min<size_t>((size - kHeader) / 2, 128);
  for (size_t i = 0; i < units; ++i)
    host.text[i] = static_cast<char16>(data[kHeader + 2 * i] | (data[kHeader + 2 * i + 1] << 8));
  host.beyond.fill(u'9');

  const bool known = effect.getParameterObject(id) != nullptr;

  String128 shown;
  std::fill(shown, shown + 128, char16(0x7F));
  if (effect.getParamStringByValue(id, value, shown) == kResultOk)
    check(terminatedWithin128(shown));
  else
    check(!known);

  ParamValue read = -1.0;
  if (effect.getParamValueByString(id, host.text, read) == kResultOk)
    check(read >= 0.0 && read <= 1.0);

  const ParamValue plain = effect.normalizedParamToPlain(id, value);
  const ParamValue normalized = effect.plainParamToNormalized(id, value);
  if (known)
  {
    check(!std::isnan(plain));
    check(normalized >= 0.0 && normalized <= 1.0);
  }

  // What a parameter shows reads back to a value that shows the same.
  if (known && effect.getParamStringByValue(id, value, shown) == kResultOk)
  {
    ParamValue back = -1.0;
    check(effect.getParamValueByString(id, shown, back) == kResultOk);
    String128 again{};
    check(effect.getParamStringByValue(id, back, again) == kResultOk);
    check(std::u16string(shown) == std::u16string(again));
  }
  return 0;
}
