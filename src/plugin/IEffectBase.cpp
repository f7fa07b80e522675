#include "plugin/IEffectBase.h"

#include <cstring>

void IGraphicEditorDelegate::SendParameterValueFromDelegate(int paramIdx, double value, bool normalized)
{
  (void)normalized;
  if (editor)
    editor->SetControlValueFromDelegate(paramIdx, value);
}

IEffectBase::IEffectBase(const IEffectConfig& effectConfig) : config(effectConfig)
{
  params.reserve(static_cast<size_t>(config.nParams));
  for (int i = 0; i < config.nParams; ++i)
    params.push_back(std::make_unique<IParam>());
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

void IEffectAPIBase::SetParameterValue(int paramIdx, double normalizedValue)
{
  IParam* param = GetParam(paramIdx);
  if (!param)
    return;
  param->SetNormalized(normalizedValue);
  InformHostOfParamChange(paramIdx, normalizedValue);
  OnParamChange(paramIdx, kDelegate);
}

void IEffectAPIBase::BeginInformHostOfParamChangeFromUI(int paramIdx)
{
  if (host && GetParam(paramIdx))
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
  IMidiMsg msg;
  while (midiToEditor.Pop(msg))
    if (editor)
      editor->OnMidiMsgUI(msg);
  OnIdle();
}
