#include "plugin/IEffectBase.h"

#include <cstdio>
#include <cstring>

void IGraphicEditorDelegate::SendParameterValueFromDelegate(int paramIdx, double value, bool normalized)
{
  (void)normalized;
  if (IEditorConnection* connection = GetEditorConnection())
    connection->SetControlValueFromDelegate(paramIdx, value);
}

void IEffectBase::SendParameterValueFromDelegate(int paramIdx, double value, bool normalized)
{
  const IParam* param = GetParam(paramIdx);
  if (!param)
    return;
  IGraphicEditorDelegate::SendParameterValueFromDelegate(paramIdx, normalized ? value : param->ToNormalized(value),
                                                         true);
}

IEffectBase::IEffectBase(const IEffectConfig& effectConfig) : config(effectConfig)
{
  params.reserve(static_cast<size_t>(config.nParams));
  for (int i = 0; i < config.nParams; ++i)
    params.push_back(std::make_unique<IParam>());
  presets.reserve(static_cast<size_t>(config.nPresets));
  for (int i = 0; i < config.nPresets; ++i)
    presets.push_back(std::make_unique<IPreset>());
}

bool IEffectBase::SerializeParams(IByteChunk& chunk) const
{
  if (params.empty())
    return true;
  for (const auto& param : params)
  {
    const double v = param->Value();
    chunk.Put(&v);
  }
  return chunk.Size() > 0;
}

int IEffectBase::UnserializeParams(const IByteChunk& chunk, int startPos)
{
  int pos = startPos;
  for (int i = 0; i < NParams() && pos >= 0; ++i)
  {
    double v = 0.0;
    pos = chunk.Get(&v, pos);
    // The value at which the data ran out becomes its constrained 0.0;
    // later parameters keep theirs.
    params[static_cast<size_t>(i)]->Set(v);
  }
  OnParamReset(kPresetRecall);
  return pos;
}

IPreset* IEffectBase::GetPreset(int index)
{
  return index >= 0 && index < NPresets() ? presets[static_cast<size_t>(index)].get() : nullptr;
}

const IPreset* IEffectBase::GetPreset(int index) const
{
  return const_cast<IEffectBase*>(this)->GetPreset(index);
}

const char* IEffectBase::GetPresetName(int index) const
{
  const IPreset* preset = GetPreset(index);
  return preset ? preset->name : "";
}

bool IEffectBase::RestorePreset(int index)
{
  IPreset* preset = GetPreset(index);
  if (!preset)
    return false;
  if (!preset->initialized)
  {
    // An empty slot takes the current settings under a fresh name.
    int userPresets = 0;
    for (const auto& other : presets)
      if (std::strstr(other->name, "user preset"))
        ++userPresets;
    preset->initialized = true;
    std::snprintf(preset->name, IPreset::kMaxNameLength, "%s %d", "user preset", userPresets + 1);
    preset->chunk.Clear();
    if (!SerializeState(preset->chunk))
      return false;
  }
  else if (UnserializeState(preset->chunk, 0) < 1)
  {
    return false;
  }
  currentPresetIdx = index;
  OnPresetsModified();
  OnRestoreState();
  return true;
}

void IEffectBase::ModifyCurrentPreset(const char* name)
{
  IPreset* preset = GetPreset(currentPresetIdx);
  if (!preset)
    return;
  preset->chunk.Clear();
  SerializeState(preset->chunk);
  if (name && name[0])
  {
    std::strncpy(preset->name, name, IPreset::kMaxNameLength - 1);
    preset->name[IPreset::kMaxNameLength - 1] = '\0';
  }
}

IEffectBase::~IEffectBase() = default;

void IEffectBase::OnParamReset(EParamSource source)
{
  for (int i = 0; i < NParams(); ++i)
  {
    OnParamChange(i, source);
    OnParamChangeUI(i, source);
  }
}

void IEffectBase::OnRestoreState()
{
  for (int i = 0; i < NParams(); ++i)
    SendParameterValueFromDelegate(i, params[static_cast<size_t>(i)]->GetNormalized(), true);
}

const char* IEffectBase::GetChannelLabel(bool input, int channel) const
{
  if (channel < 0 || channel > 1)
    return "";
  return channelLabels[input ? 0 : 1][channel];
}

void IEffectBase::SetChannelLabel(bool input, int channel, const char* label)
{
  if (channel < 0 || channel > 1)
    return;
  char* dest = channelLabels[input ? 0 : 1][channel];
  std::strncpy(dest, label ? label : "", 63);
  dest[63] = '\0';
}

void IEffectAPIBase::SetParameterValue(int paramIdx, double normalizedValue, int sampleOffset)
{
  IParam* param = GetParam(paramIdx);
  if (!param)
    return;
  param->SetNormalized(normalizedValue);
  if (host)
    host->InformHostOfParamChangeFromProcess(paramIdx, normalizedValue, sampleOffset);
  if (paramIdx < 64)
    paramsChangedByProcess.fetch_or(uint64_t{1} << paramIdx, std::memory_order_release);
  OnParamChange(paramIdx, kDelegate, sampleOffset);
}

void IEffectAPIBase::BeginInformHostOfParamChangeFromUI(int paramIdx)
{
  if (!GetParam(paramIdx))
    return;
  OnParamGestureBegin(paramIdx);
  if (host)
    host->BeginInformHostOfParamChange(paramIdx);
}

void IEffectAPIBase::SendParameterValueFromUI(int paramIdx, double normalizedValue)
{
  IParam* param = GetParam(paramIdx);
  if (!param)
    return;
  if (host)
    host->ParameterValueFromUI(paramIdx, normalizedValue);
  param->SetNormalized(normalizedValue);
  InformHostOfParamChange(paramIdx, normalizedValue);
  OnParamChange(paramIdx, kUI);
  OnParamChangeUI(paramIdx, kUI);
}

void IEffectAPIBase::EndInformHostOfParamChangeFromUI(int paramIdx)
{
  if (host && GetParam(paramIdx))
    host->EndInformHostOfParamChange(paramIdx);
}

void IEffectAPIBase::InformHostOfParamChange(int paramIdx, double normalizedValue)
{
  if (host)
    host->InformHostOfParamChange(paramIdx, normalizedValue);
}

void IEffectAPIBase::InformHostOfPresetChange()
{
  if (host)
    host->InformHostOfPresetChange();
}

void IEffectAPIBase::OnTimer()
{
  uint64_t changed = paramsChangedByProcess.exchange(0, std::memory_order_acquire);
  for (int i = 0; changed; ++i, changed >>= 1)
  {
    if (!(changed & 1u) || !GetParam(i))
      continue;
    const double value = GetParam(i)->GetNormalized();
    if (host)
      host->ParameterChangedByProcess(i, value);
    SendParameterValueFromDelegate(i, value, true);
  }
  IMidiMsg msg;
  while (midiToEditor.Pop(msg))
    if (IEditorConnection* connection = GetEditorConnection())
      connection->OnMidiMsgUI(msg);
  OnIdle();
}
