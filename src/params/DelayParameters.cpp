#include "params/DelayParameters.h"

#include <cmath>

#include "params/ProductFacts/SyncRates.h"

namespace
{
constexpr double kLFOSpeedMin = 0.001;
constexpr double kLFOSpeedMax = 25.0;
} // namespace

void initDelayParameters(IParam* const (&params)[kNumParams])
{
  const ShapeLinear linear;
  const ShapePowCurve squared(2.0);
  constexpr int kCustom = IParam::kUnitCustom;

  params[kRange]->InitInt("Range", 3, 0, 4, "", 0, "");
  params[kRange]->SetDisplayFunc(setDisplayTextForRange);
  params[kTime]->InitDouble("Time", 0.6, 0.0, 1.0, 0.001, "", 0, "", linear, kCustom, nullptr);
  params[kFeedback]->InitDouble("Feedback", 0.0, -1.0, 1.0, 0.01, "", 0, "", linear, kCustom, nullptr);
  params[kFeedback]->SetDisplayFunc(setDisplayTextForPercent);
  params[kLFOSpeed]->InitDouble("LFOSpeed", 0.15, kLFOSpeedMin, kLFOSpeedMax, 0.01, "", 0, "", squared,
                               kCustom, nullptr);
  params[kLFOSpeed]->SetDisplayFunc(setDisplayTextForSpeed);
  params[kLFODepth]->InitDouble("LFO Depth", 0.0, 0.0, 1.0, 0.01, "", 0, "", squared, kCustom, nullptr);
  params[kLFODepth]->SetDisplayFunc(setDisplayTextForPercent);
  params[kMix]->InitDouble("Mix", 0.5, 0.0, 1.0, 0.01, "", 0, "", linear, kCustom, nullptr);
  params[kMix]->SetDisplayFunc(setDisplayTextForMix);
  params[kQuality]->InitDouble("Quality", 1.0, 0.0, 1.0, 0.01, "", 0, "", linear, kCustom, nullptr);
  params[kQuality]->SetDisplayFunc(setDisplayTextForPercent);
  params[kDelaySync]->InitBool("Delay Sync to Host", false, "", 0, "", "OFF", "ON");
  params[kLFOSync]->InitBool("LFO Sync to Host", false, "", 0, "", "OFF", "ON");
}

void setDisplayTextForRange(double value, IString& text)
{
  double lo, hi;
  DelayRanges::rangeBoundsMs(value, lo, hi);
  text.SetFormatted(12, "%.0f-%.0f", lo, hi);
}

void setDisplayTextForMix(double value, IString& text)
{
  if (value == 0.0)
    text.Set("Dry");
  else if (value == 1.0)
    text.Set("Wet");
  else
    text.SetFormatted(10, "%.0f:%.0f", (1.0 - value) * 100.0, value * 100.0);
}

void setDisplayTextForPercent(double value, IString& text)
{
  const double percent = value * 100.0;
  if (value < 0.1)
    text.SetFormatted(8, "%0.1f%s", percent, "%");
  else
    text.SetFormatted(8, "%.0f%s", percent, "%");
}

void setDisplayTextForSpeed(double value, IString& text)
{
  text.SetFormatted(8, "%.2f%s", value, "Hz");
}

int lfoSyncIndexForNormalized(double normalized)
{
  if (!(normalized >= 0.0)) normalized = 0.0;
  if (normalized > 1.0) normalized = 1.0;
  const double index = std::round(19.0 * normalized);
  return index > 19.0 ? 19 : static_cast<int>(index);
}

void setDisplayTextForLFOSyncRate(double value, IString& text)
{
  const double normalized = std::pow((value - kLFOSpeedMin) / (kLFOSpeedMax - kLFOSpeedMin), 0.5);
  text.Set(kLFOSyncRates[static_cast<size_t>(lfoSyncIndexForNormalized(normalized))].label);
}
