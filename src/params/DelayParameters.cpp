#include "params/DelayParameters.h"

#include <cmath>

#include "engine/SyncTables.h"
#include "params/TypedText.h"

namespace
{
constexpr double kLFOSpeedMin = 0.001;
constexpr double kLFOSpeedMax = 25.0;
constexpr int kRangeMin = 0;
constexpr int kRangeMax = 4;
} // namespace

void initDelayParameters(IParam* const (&params)[kNumParams])
{
  const ShapeLinear linear;
  const ShapePowCurve squared(2.0);
  constexpr int kCustom = IParam::kUnitCustom;

  params[kRange]->InitInt("Range", 3, kRangeMin, kRangeMax, "", 0, "");
  params[kRange]->SetDisplayFunc(setDisplayTextForRange);
  params[kRange]->SetTextReader(readTextForRange);
  params[kTime]->InitDouble("Time", 0.6, 0.0, 1.0, 0.001, "", 0, "", linear, kCustom, nullptr);
  params[kFeedback]->InitDouble("Feedback", 0.0, -1.0, 1.0, 0.01, "", 0, "", linear, kCustom, nullptr);
  params[kFeedback]->SetDisplayFunc(setDisplayTextForPercent);
  params[kFeedback]->SetTextReader(readTextForPercent);
  params[kLFOSpeed]->InitDouble("LFOSpeed", 0.15, kLFOSpeedMin, kLFOSpeedMax, 0.01, "", 0, "", squared,
                               kCustom, nullptr);
  params[kLFOSpeed]->SetDisplayFunc(setDisplayTextForSpeed);
  params[kLFOSpeed]->SetTextReader(readTextForSpeed);
  params[kLFODepth]->InitDouble("LFO Depth", 0.0, 0.0, 1.0, 0.01, "", 0, "", squared, kCustom, nullptr);
  params[kLFODepth]->SetDisplayFunc(setDisplayTextForPercent);
  params[kLFODepth]->SetTextReader(readTextForPercent);
  params[kMix]->InitDouble("Mix", 0.5, 0.0, 1.0, 0.01, "", 0, "", linear, kCustom, nullptr);
  params[kMix]->SetDisplayFunc(setDisplayTextForMix);
  params[kMix]->SetTextReader(readTextForMix);
  params[kQuality]->InitDouble("Quality", 1.0, 0.0, 1.0, 0.01, "", 0, "", linear, kCustom, nullptr);
  params[kQuality]->SetDisplayFunc(setDisplayTextForPercent);
  params[kQuality]->SetTextReader(readTextForPercent);
  params[kDelaySync]->InitBool("Delay Sync to Host", false, "", 0, "", "OFF", "ON");
  params[kLFOSync]->InitBool("LFO Sync to Host", false, "", 0, "", "OFF", "ON");
}

void rangeBoundsMs(double range, double& lo, double& hi)
{
  hi = 2000.0 * std::pow(2.0, -2.0 * (4.0 - range));
  lo = 0.125 * hi;
}

int delaySyncRowForTime(double time)
{
  const double row = std::round((1.0 - time) * 19.0);
  return row < 0.0 ? 0 : row > 19.0 ? 19 : static_cast<int>(row);
}

void setDisplayTextForRange(double value, IString& text)
{
  double lo, hi;
  rangeBoundsMs(value, lo, hi);
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

// --- Reading typed texts --------------------------------------------------------

bool readTextForRange(std::string_view text, double& value)
{
  double lo = 0.0, hi = 0.0;
  if (!TypedText::ParseNumberPair(text, '-', lo, hi))
    return false;
  // The bounds are shown rounded; a text names the setting whose rounded
  // bounds it repeats, and no other ("16-125", not "15-125").
  for (int range = kRangeMin; range <= kRangeMax; ++range)
  {
    double shownLo, shownHi;
    rangeBoundsMs(range, shownLo, shownHi);
    IString shown, typed;
    shown.SetFormatted(24, "%.0f-%.0f", shownLo, shownHi);
    typed.SetFormatted(24, "%.0f-%.0f", lo, hi);
    if (lo == std::nearbyint(lo) && hi == std::nearbyint(hi) && shown.str() == typed.str())
    {
      value = range;
      return true;
    }
  }
  return false;
}

bool readTextForMix(std::string_view text, double& value)
{
  if (TypedText::EqualsIgnoringCase(text, "Dry"))
  {
    value = 0.0;
    return true;
  }
  if (TypedText::EqualsIgnoringCase(text, "Wet"))
  {
    value = 1.0;
    return true;
  }
  double dry = 0.0, wet = 0.0;
  if (!TypedText::ParseNumberPair(text, ':', dry, wet))
    return false;
  // Both shares are rounded on their own, so they may add up to 99 or 101;
  // a pair further off is no mix that was shown.
  const double sum = dry + wet;
  if (sum < 99.0 || sum > 101.0)
    return false;
  const double wetShare = (wet + (100.0 - dry)) / 200.0;
  // "100:0" and "0:100" are shown for values just inside the ends, which
  // themselves are "Dry" and "Wet": they mean the middle of what they cover.
  if (wetShare <= 0.0)
    value = 0.0025;
  else if (wetShare >= 1.0)
    value = 0.9975;
  else
    value = wetShare;
  return true;
}

bool readTextForPercent(std::string_view text, double& value)
{
  double percent = 0.0;
  if (!TypedText::ParseNumberWithUnit(text, "%", percent))
    return false;
  value = percent / 100.0;
  // Two texts with a decimal are shown for values that their number alone
  // would not give back: "10.0%" for values just below 0.1 (0.1 itself is
  // "10%"), and "-0.0%" for the smallest negative ones (a minus zero does
  // not survive normalisation). Each means the middle of what it covers, so
  // that the value keeps its text on its way through a host.
  const bool decimal = text.find('.') != std::string_view::npos;
  if (decimal && percent == 10.0)
    value = 0.09975;
  else if (decimal && percent == 0.0 && std::signbit(percent))
    value = -0.00025;
  return true;
}

bool readTextForSpeed(std::string_view text, double& value)
{
  for (int index = 0; index < kNumSyncRates; ++index)
    if (TypedText::EqualsIgnoringCase(text, kLFOSyncRates[static_cast<size_t>(index)].label))
    {
      // The middle of the rate's span of the power-curve shape.
      const double normalized = static_cast<double>(index) / (kNumSyncRates - 1);
      value = kLFOSpeedMin + normalized * normalized * (kLFOSpeedMax - kLFOSpeedMin);
      return true;
    }
  return TypedText::ParseNumberWithUnit(text, "Hz", value);
}
