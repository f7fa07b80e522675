#include "toolkit/IControl.h"

#include <algorithm>
#include <cmath>

#include "params/IParam.h"
#include "toolkit/IEditorGraphics.h"
#include "toolkit/IGraphicsDelegate.h"

IControl::IControl(const IRECT& bounds, int paramIdx) : IControl(bounds, {paramIdx}) {}

IControl::IControl(const IRECT& bounds, std::initializer_list<int> paramIndices)
  : rect(bounds), targetRect(bounds), nVals(std::max(1, static_cast<int>(paramIndices.size())))
{
  slots = std::make_unique<ValueSlot[]>(static_cast<size_t>(nVals));
  int i = 0;
  for (int paramIdx : paramIndices)
    slots[static_cast<size_t>(i++)].paramIdx = paramIdx;
}

void IControl::Attach(IEditorGraphics* owner, IGraphicsDelegate* plugin, int controlTag, const char* controlGroup)
{
  graphics = owner;
  delegate = plugin;
  tag = controlTag;
  group = controlGroup ? controlGroup : "";
}

IControl::ValueSlot* IControl::Slot(int valIdx) const
{
  return valIdx >= 0 && valIdx < nVals ? &slots[static_cast<size_t>(valIdx)] : nullptr;
}

void IControl::SetValue(double value, int valIdx)
{
  if (ValueSlot* slot = Slot(valIdx))
    slot->value.store(value, std::memory_order_release);
}

double IControl::GetValue(int valIdx) const
{
  const ValueSlot* slot = Slot(valIdx);
  return slot ? slot->value.load(std::memory_order_acquire) : 0.0;
}

int IControl::GetParamIdx(int valIdx) const
{
  const ValueSlot* slot = Slot(valIdx);
  return slot ? slot->paramIdx : kNoParameter;
}

void IControl::SetParamIdx(int paramIdx, int valIdx)
{
  if (ValueSlot* slot = Slot(valIdx))
    slot->paramIdx = paramIdx;
}

const IParam* IControl::GetParam(int valIdx) const
{
  const int paramIdx = GetParamIdx(valIdx);
  return paramIdx >= 0 && delegate ? delegate->GetParam(paramIdx) : nullptr;
}

double IControl::SnapToParamStep(double normalized, int valIdx) const
{
  const IParam* param = GetParam(valIdx);
  if (!param || !param->GetStepped())
    return normalized;
  return std::clamp(param->ToNormalized(param->Constrain(param->FromNormalized(normalized))), 0.0, 1.0);
}

void IControl::SendToHost(int valIdx)
{
  const int paramIdx = GetParamIdx(valIdx);
  if (paramIdx >= 0 && delegate)
    delegate->SendParameterValueFromUI(paramIdx, GetValue(valIdx));
}

void IControl::SetDirty(bool triggerAction, int valIdx)
{
  const int first = valIdx == kNoValIdx ? 0 : valIdx;
  const int last = valIdx == kNoValIdx ? nVals - 1 : valIdx;
  for (int i = first; i <= last; ++i)
  {
    ValueSlot* slot = Slot(i);
    if (!slot)
      continue;
    // Written only when out of range, so that a redraw request from another
    // thread does not race with the main thread's values.
    double value = slot->value.load(std::memory_order_acquire);
    const double clamped = std::isnan(value) ? 0.0 : std::clamp(value, 0.0, 1.0);
    if (clamped != value)
      slot->value.compare_exchange_strong(value, clamped, std::memory_order_acq_rel);
  }
  dirty.store(true, std::memory_order_release);
  if (triggerAction)
  {
    for (int i = first; i <= last; ++i)
      SendToHost(i);
  }
}

void IControl::SetValueFromDelegate(double value, int valIdx)
{
  if (graphics && graphics->GetCapturedControl() == this)
    return;
  if (!Slot(valIdx) || GetValue(valIdx) == value)
    return;
  SetValue(value, valIdx);
  SetDirty(false, valIdx);
}

void IControl::SetDisabled(bool disable)
{
  disabled.store(disable, std::memory_order_release);
  blendWeight.store(disable ? 0.25f : 1.f, std::memory_order_release);
  dirty.store(true, std::memory_order_release);
}

void IControl::Hide(bool hide)
{
  hidden = hide;
  dirty.store(true, std::memory_order_release);
}

bool IControl::IsHit(float x, float y) const { return targetRect.Contains(x, y); }

void IControl::OnMouseDown(float, float, const IMouseMod&) {}
void IControl::OnMouseUp(float, float, const IMouseMod&) {}
void IControl::OnMouseDrag(float, float, float, float, const IMouseMod&) {}
void IControl::OnMouseWheel(float, float, const IMouseMod&, float) {}
bool IControl::OnKeyDown(float, float, const IKeyPress&) { return false; }
void IControl::OnPopupMenuSelection(IPopupMenu*, int) {}

void IControl::OnMouseDblClick(float, float, const IMouseMod&)
{
  bool hasParam = false;
  for (int i = 0; i < nVals; ++i)
  {
    if (const IParam* param = GetParam(i))
    {
      SetValue(std::clamp(param->ToNormalized(param->GetDefault()), 0.0, 1.0), i);
      hasParam = true;
    }
  }
  SetDirty(hasParam);
}

void IControl::OnMouseOver(float, float, const IMouseMod&)
{
  if (!mouseIsOver)
  {
    mouseIsOver = true;
    SetDirty(false);
  }
}

void IControl::OnMouseOut()
{
  if (mouseIsOver)
  {
    mouseIsOver = false;
    SetDirty(false);
  }
}
