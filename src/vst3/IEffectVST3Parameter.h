#pragma once
#include "params/IParam.h"
#include "public.sdk/source/vst/vstparameters.h"

// The host's view of one instance parameter. Values, texts and conversions
// come from the IParam, which stays the single source of the value; the
// object itself only holds the controller side's normalised copy. Main thread.
class IEffectVST3Parameter : public Steinberg::Vst::Parameter
{
public:
  IEffectVST3Parameter(const IParam& param, Steinberg::Vst::ParamID id, Steinberg::Vst::UnitID unitID);

  void toString(Steinberg::Vst::ParamValue valueNormalized, Steinberg::Vst::String128 string) const SMTG_OVERRIDE;
  bool fromString(const Steinberg::Vst::TChar* string, Steinberg::Vst::ParamValue& valueNormalized) const SMTG_OVERRIDE;
  Steinberg::Vst::ParamValue toPlain(Steinberg::Vst::ParamValue valueNormalized) const SMTG_OVERRIDE;
  Steinberg::Vst::ParamValue toNormalized(Steinberg::Vst::ParamValue plainValue) const SMTG_OVERRIDE;

  OBJ_METHODS(IEffectVST3Parameter, Parameter)

private:
  const IParam& param;
};

// The host-visible bypass switch, "off" at 0 and "on" at 1.
class IEffectVST3BypassParameter : public Steinberg::Vst::StringListParameter
{
public:
  explicit IEffectVST3BypassParameter(Steinberg::Vst::ParamID id);

  // Values outside 0..1 (or not a number) are shown as the nearer end
  // instead of indexing past the two texts.
  void toString(Steinberg::Vst::ParamValue valueNormalized, Steinberg::Vst::String128 string) const SMTG_OVERRIDE;
  // Reads "on" and "off" in any letter case, and 0 and 1, like the
  // instance's own switches.
  bool fromString(const Steinberg::Vst::TChar* string, Steinberg::Vst::ParamValue& valueNormalized) const SMTG_OVERRIDE;
  Steinberg::Vst::ParamValue toPlain(Steinberg::Vst::ParamValue valueNormalized) const SMTG_OVERRIDE;

  OBJ_METHODS(IEffectVST3BypassParameter, StringListParameter)

private:
  // The switch's texts, read by the same reader as every other parameter.
  IParam reading;
};

// Limits a host's normalised value to 0..1; not-a-number becomes 0.
inline double ClampNormalized(double value)
{
  if (!(value >= 0.0))
    return 0.0;
  return value > 1.0 ? 1.0 : value;
}
