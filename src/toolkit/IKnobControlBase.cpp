#include "toolkit/IKnobControlBase.h"

#include <algorithm>
#include <cmath>

#include "params/IParam.h"
#include "toolkit/IEditorGraphics.h"

IKnobControlBase::IKnobControlBase(const IRECT& bounds, int paramIdx, EDirection dir, double gear)
  : IControl(bounds, paramIdx), direction(dir), gearing(gear > 0.0 ? gear : 4.0)
{
}

void IKnobControlBase::OnMouseDown(float, float, const IMouseMod&)
{
  dragValue = GetValue();
  dragging = true;
  if (hideCursorOnDrag && GetUI())
    GetUI()->HideMouseCursor(true);
}

void IKnobControlBase::OnMouseUp(float, float, const IMouseMod&)
{
  if (dragging && hideCursorOnDrag && GetUI())
    GetUI()->HideMouseCursor(false);
  dragging = false;
  SetDirty(false);
}

void IKnobControlBase::OnMouseDrag(float, float, float dX, float dY, const IMouseMod& mod)
{
  const double gear = mod.Fine() ? gearing * kFineGearingFactor : gearing;
  const IRECT& target = GetTargetRECT();
  // Screen y grows downwards, so an upward drag (negative dY) increases.
  const double span = direction == EDirection::Vertical ? target.T - target.B : target.L - target.R;
  const double delta = direction == EDirection::Vertical ? dY : -dX;
  if (span == 0.0)
    return;
  dragValue = std::clamp(dragValue + delta / span / gear, 0.0, 1.0);
  SetValue(SnapToParamStep(dragValue));
  SetDirty(true);
}

void IKnobControlBase::OnMouseWheel(float, float, const IMouseMod& mod, float d)
{
  if (d == 0.f || std::isnan(d))
    return;
  double value = GetValue();
  const IParam* param = GetParam();
  if (param && param->GetStepped())
  {
    const double plain = param->FromNormalized(value) + (d > 0.f ? param->GetStep() : -param->GetStep());
    value = param->ToNormalized(param->Constrain(plain));
  }
  else
  {
    value += (mod.Fine() ? kWheelStep / kFineGearingFactor : kWheelStep) * d;
  }
  SetValue(std::clamp(value, 0.0, 1.0));
  SetDirty(true);
}
