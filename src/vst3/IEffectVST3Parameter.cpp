#include "vst3/IEffectVST3Parameter.h"

#include "params/IString.h"
#include "vst3/TextConversion.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace
{
int32 stepCountOf(const IParam& param)
{
  if (param.Type() == IParam::kTypeDouble)
    return 0;
  return static_cast<int32>(param.GetMax() - param.GetMin());
}

int32 flagsOf(const IParam& param)
{
  int32 flags = 0;
  if (param.GetCanAutomate())
    flags |= ParameterInfo::kCanAutomate;
  if (param.Type() == IParam::kTypeEnum)
    flags |= ParameterInfo::kIsList;
  return flags;
}

// A host's text, read by the parameter's own reader, as a normalised value.
// A plain number beyond the range is limited to it, as it always was.
bool normalizedFromText(const IParam& param, const TChar* string, ParamValue& valueNormalized)
{
  if (!string)
    return false;
  double value = 0.0;
  if (!param.ReadText(TextConversion::ToUTF8(string, 128).c_str(), value))
    return false;
  valueNormalized = ClampNormalized(param.ToNormalized(param.Constrain(value)));
  return true;
}
} // namespace

IEffectVST3Parameter::IEffectVST3Parameter(const IParam& instanceParam, ParamID id, UnitID unitID)
: param(instanceParam)
{
  TextConversion::ToUTF16(param.GetName(), info.title, 128);
  TextConversion::ToUTF16(param.GetLabel(), info.units, 128);
  info.shortTitle[0] = 0;
  info.id = id;
  info.stepCount = stepCountOf(param);
  info.flags = flagsOf(param);
  info.unitId = unitID;
  info.defaultNormalizedValue = ClampNormalized(param.ToNormalized(param.Constrain(param.GetDefault())));
  valueNormalized = info.defaultNormalizedValue;
  precision = param.GetDisplayPrecision();
}

void IEffectVST3Parameter::toString(ParamValue valueNormalized, String128 string) const
{
  if (!string)
    return;
  IString text;
  param.GetDisplay(valueNormalized, true, text, true);
  TextConversion::ToUTF16(text.Get(), string, 128);
}

bool IEffectVST3Parameter::fromString(const TChar* string, ParamValue& valueNormalized) const
{
  return normalizedFromText(param, string, valueNormalized);
}

ParamValue IEffectVST3Parameter::toPlain(ParamValue valueNormalized) const
{
  return param.Constrain(param.FromNormalized(valueNormalized));
}

ParamValue IEffectVST3Parameter::toNormalized(ParamValue plainValue) const
{
  return ClampNormalized(param.ToNormalized(param.Constrain(plainValue)));
}

IEffectVST3BypassParameter::IEffectVST3BypassParameter(ParamID id)
: StringListParameter(STR16("Bypass"), id, nullptr,
                      ParameterInfo::kCanAutomate | ParameterInfo::kIsBypass | ParameterInfo::kIsList)
{
  appendString(STR16("off"));
  appendString(STR16("on"));
  reading.InitBool("Bypass", false, "", 0, "", "off", "on");
}

void IEffectVST3BypassParameter::toString(ParamValue valueNormalized, String128 string) const
{
  if (!string)
    return;
  StringListParameter::toString(ClampNormalized(valueNormalized), string);
}

bool IEffectVST3BypassParameter::fromString(const TChar* string, ParamValue& valueNormalized) const
{
  return normalizedFromText(reading, string, valueNormalized);
}

ParamValue IEffectVST3BypassParameter::toPlain(ParamValue valueNormalized) const
{
  return StringListParameter::toPlain(ClampNormalized(valueNormalized));
}
