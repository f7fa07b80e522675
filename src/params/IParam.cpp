#include "params/IParam.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "params/CLocale.h"
#include "params/TypedText.h"

namespace
{
void copyText(char (&dest)[IParam::kMaxTextLength], const char* text)
{
  std::strncpy(dest, text ? text : "", IParam::kMaxTextLength - 1);
  dest[IParam::kMaxTextLength - 1] = '\0';
}

int precisionForStep(double step)
{
  if (std::floor(step) == step)
    return 0;
  double scaled = step;
  for (int digits = 1; digits <= 5; ++digits)
  {
    scaled *= 10.0;
    if (std::floor(scaled) == scaled)
      return digits;
  }
  return 6;
}
} // namespace

double ShapeLinear::NormalizedToValue(double n, const IParam& param) const
{
  return param.GetMin() + n * (param.GetMax() - param.GetMin());
}

double ShapeLinear::ValueToNormalized(double v, const IParam& param) const
{
  return (v - param.GetMin()) / (param.GetMax() - param.GetMin());
}

int ShapePowCurve::GetDisplayType() const
{
  if (shape > 2.5) return 6;
  if (shape > 1.5) return 4;
  if (shape < 0.4) return 5;
  if (shape < 2.0 / 3.0) return 3;
  return 0;
}

double ShapePowCurve::NormalizedToValue(double n, const IParam& param) const
{
  return param.GetMin() + std::pow(n, shape) * (param.GetMax() - param.GetMin());
}

double ShapePowCurve::ValueToNormalized(double v, const IParam& param) const
{
  return std::pow((v - param.GetMin()) / (param.GetMax() - param.GetMin()), 1.0 / shape);
}

void ShapeExp::Init(const IParam& param)
{
  const double lowest = param.GetMin() > 0.0 ? param.GetMin() : 1e-8;
  add = std::log(lowest);
  mul = std::log(param.GetMax() / lowest);
}

double ShapeExp::NormalizedToValue(double n, const IParam&) const
{
  return std::exp(add + n * mul);
}

double ShapeExp::ValueToNormalized(double v, const IParam&) const
{
  return (std::log(v) - add) / mul;
}

IParam::IParam() : shape(std::make_unique<ShapeLinear>()) {}

void IParam::InitDouble(const char* newName, double defaultVal, double minVal, double maxVal,
                        double newStep, const char* newLabel, int newFlags, const char* newGroup,
                        const Shape& newShape, int32_t newUnit, DisplayFunc displayFunc)
{
  if (type == kTypeNone)
    type = kTypeDouble;
  copyText(name, newName);
  copyText(label, newLabel);
  copyText(group, newGroup);
  min = minVal;
  max = std::max(maxVal, minVal + newStep);
  step = newStep;
  defaultValue = defaultVal;
  unit = newUnit;
  flags = newFlags;
  SetDisplayFunc(displayFunc);
  value.store(Constrain(defaultVal));
  displayPrecision = precisionForStep(step);
  std::unique_ptr<Shape> copy = newShape.Clone();
  shape = std::move(copy);
  shape->Init(*this);
}

void IParam::InitInt(const char* newName, int defaultVal, int minVal, int maxVal,
                     const char* newLabel, int newFlags, const char* newGroup)
{
  if (type == kTypeNone)
    type = kTypeInt;
  InitDouble(newName, defaultVal, minVal, maxVal, 1.0, newLabel, newFlags | kFlagStepped, newGroup,
             ShapeLinear(), kUnitCustom, nullptr);
}

void IParam::InitBool(const char* newName, bool defaultVal, const char* newLabel, int newFlags,
                      const char* newGroup, const char* offText, const char* onText)
{
  if (type == kTypeNone)
    type = kTypeBool;
  InitDouble(newName, defaultVal ? 1.0 : 0.0, 0.0, 1.0, 1.0, newLabel, newFlags | kFlagStepped,
             newGroup, ShapeLinear(), kUnitCustom, nullptr);
  SetDisplayText(0.0, offText);
  SetDisplayText(1.0, onText);
}

void IParam::SetDisplayText(double textValue, const char* text)
{
  DisplayText entry{textValue, {}};
  copyText(entry.text, text);
  displayTexts.push_back(entry);
}

double IParam::Constrain(double v) const
{
  if (flags & kFlagStepped)
    v = std::round(v / step) * step;
  // A NaN from a host or a damaged state would spread through the engine;
  // it is treated as lying below the range.
  if (!(v >= min))
    v = min;
  if (v > max)
    v = max;
  return v;
}

double IParam::ToNormalized(double v) const
{
  const double n = shape->ValueToNormalized(Constrain(v), *this);
  if (!(n >= 0.0)) return 0.0;
  if (n > 1.0) return 1.0;
  return n;
}

double IParam::FromNormalized(double n) const
{
  return Constrain(shape->NormalizedToValue(n, *this));
}

const char* IParam::GetLabel() const
{
  const double current = Value();
  if (std::isfinite(current))
  {
    const double whole = std::trunc(current);
    for (const DisplayText& entry : displayTexts)
      if (entry.value == whole && entry.text[0] != '\0')
        return "";
  }
  return label;
}

void IParam::GetDisplay(double displayValue, bool normalized, IString& out, bool withDisplayText) const
{
  if (normalized)
    displayValue = FromNormalized(displayValue);

  if (DisplayFunc func = GetDisplayFunc())
  {
    func(displayValue, out);
    return;
  }

  if (withDisplayText)
  {
    const char* text = GetDisplayText(displayValue);
    if (text[0] != '\0')
    {
      out.Set(text);
      return;
    }
  }

  double shown = (flags & kFlagNegateDisplay) ? -displayValue : displayValue;
  if (displayValue == 0.0)
    shown = 0.0;

  if (displayPrecision == 0)
  {
    const double rounded = std::round(shown);
    const int whole = rounded >= 2147483647.0 ? 2147483647
                    : rounded <= -2147483648.0 ? -2147483647 - 1
                    : std::isnan(rounded) ? 0 : static_cast<int>(rounded);
    out.SetFormatted(kMaxTextLength, "%d", whole);
  }
  else if ((flags & kFlagSignDisplay) && displayValue != 0.0)
  {
    out.SetFormatted(kMaxTextLength, "%+.*f", displayPrecision, shown);
  }
  else
  {
    out.SetFormatted(kMaxTextLength, "%.*f", displayPrecision, shown);
  }
}

void IParam::GetDisplayWithLabel(IString& out, bool withDisplayText) const
{
  GetDisplay(out, withDisplayText);
  const char* unitLabel = GetLabel();
  if (unitLabel[0] != '\0')
  {
    out.Append(" ");
    out.Append(unitLabel);
  }
}

const char* IParam::GetDisplayText(double textValue) const
{
  for (const DisplayText& entry : displayTexts)
    if (entry.value == textValue)
      return entry.text;
  return "";
}

const char* IParam::GetDisplayTextAtIdx(int index, double* textValue) const
{
  if (index < 0 || index >= NDisplayTexts())
    return "";
  if (textValue)
    *textValue = displayTexts[static_cast<size_t>(index)].value;
  return displayTexts[static_cast<size_t>(index)].text;
}

bool IParam::MapDisplayText(const char* text, double* textValue) const
{
  if (!text)
    return false;
  for (const DisplayText& entry : displayTexts)
  {
    if (std::strcmp(entry.text, text) == 0)
    {
      if (textValue)
        *textValue = entry.value;
      return true;
    }
  }
  return false;
}

bool IParam::ReadText(const char* text, double& result) const
{
  if (!text)
    return false;
  // Bounded: a text that runs on is refused without being read to its end.
  const std::string_view raw(text, strnlen(text, TypedText::kMaxLength * 4 + 1));
  const std::string_view typed = TypedText::Trimmed(raw);
  if (typed.empty() || typed.size() > TypedText::kMaxLength)
    return false;

  for (const DisplayText& entry : displayTexts)
    if (entry.text[0] != '\0' && TypedText::EqualsIgnoringCase(entry.text, typed))
    {
      result = entry.value;
      return true;
    }

  // A bare number has always meant a plain value, and automation and scripts
  // rely on it: "0.4" is a feedback of 0.4, and "40" on a parameter shown in
  // percent is 40, not 40 %. Only a number with its unit reads as shown.
  double value = 0.0;
  if (TypedText::ParseNumber(typed, value))
  {
    result = (flags & kFlagNegateDisplay) ? -value : value;
    return true;
  }

  if (const TextReader reader = textReader)
  {
    if (!reader(typed, value))
      return false;
  }
  else
  {
    if (label[0] == '\0' || !TypedText::ParseNumberWithUnit(typed, label, value))
      return false;
    if (flags & kFlagNegateDisplay)
      value = -value;
  }
  return fitShownValue(value, result);
}

bool IParam::fitShownValue(double value, double& result) const
{
  if (value >= min && value <= max)
  {
    result = value;
    return true;
  }
  // A shown text stands for every value that rounds to it, and at the ends
  // of the range some of those lie outside ("0.00Hz" for 0.001 Hz): such a
  // text means the end. A text that no value in the range shows is refused.
  const double limited = Constrain(value);
  IString outside, inside;
  GetDisplay(value, false, outside);
  GetDisplay(limited, false, inside);
  if (outside.str() != inside.str())
    return false;
  result = limited;
  return true;
}

double IParam::StringToValue(const char* text) const
{
  double value = 0.0;
  if (ReadText(text, value))
    return Constrain(value);
  // Unreadable texts keep their old meaning here: nothing for a switch, the
  // leading number otherwise.
  if (type == kTypeBool || type == kTypeEnum)
    return 0.0;
  value = CLocale::ReadNumber(text ? text : "");
  if (flags & kFlagNegateDisplay)
    value = -value;
  return Constrain(value);
}
