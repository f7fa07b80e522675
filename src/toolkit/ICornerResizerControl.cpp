#include "toolkit/ICornerResizerControl.h"

#include <algorithm>
#include <cmath>

#include "toolkit/IEditorGraphics.h"

namespace
{
IRECT cornerSquare(const IRECT& bounds, float side) { return {bounds.R - side, bounds.B - side, bounds.R, bounds.B}; }
} // namespace

ICornerResizerControl::ICornerResizerControl(const IRECT& graphicsBounds, float handleSize)
  : IControl(cornerSquare(graphicsBounds, handleSize).GetPadded(-1.f)), initialBounds(graphicsBounds), size(handleSize)
{
}

void ICornerResizerControl::Draw(IEditorGraphics& g)
{
  const IRECT& r = GetRECT();
  const IColor color = IsHighlighted() ? IColor(160, 255, 255, 255) : IColor(64, 255, 255, 255);
  g.FillTriangle(color, r.L, r.B, r.R, r.T, r.R, r.B);
}

bool ICornerResizerControl::IsHit(float x, float y) const
{
  const IRECT& r = GetTargetRECT();
  if (!r.Contains(x, y))
    return false;
  // Below the diagonal from (left, bottom) to (right, top).
  return (x - r.L) / r.W() + (y - r.T) / r.H() >= 1.f;
}

void ICornerResizerControl::OnMouseDown(float x, float y, const IMouseMod&)
{
  IEditorGraphics* g = GetUI();
  if (!g)
    return;
  resizing = true;
  pressedX = x;
  pressedY = y;
  pressedWidth = g->Width();
  pressedHeight = g->Height();
  SetDirty(false);
}

void ICornerResizerControl::OnMouseDrag(float x, float y, float, float, const IMouseMod&)
{
  IEditorGraphics* g = GetUI();
  if (!g || !resizing)
    return;
  const float scale = g->GetDrawScale();
  const float xp = x * scale;
  const float yp = y * scale;
  if (g->GetResizerMode() == EUIResizerMode::Scale)
  {
    float newScale = scale;
    if (pressedX > 0.f && pressedY > 0.f)
      newScale = std::min(xp / pressedX, yp / pressedY);
    else if (pressedX > 0.f)
      newScale = xp / pressedX;
    else if (pressedY > 0.f)
      newScale = yp / pressedY;
    if (std::isfinite(newScale) && newScale > 0.f)
      g->Resize(g->Width(), g->Height(), newScale);
  }
  else
  {
    // The scale stays, so layout units are steady: the layout grows or
    // shrinks by the pointer's travel since the press.
    g->Resize(static_cast<int>(std::lround(pressedWidth + (x - pressedX))),
              static_cast<int>(std::lround(pressedHeight + (y - pressedY))), scale);
  }
}

void ICornerResizerControl::OnMouseUp(float, float, const IMouseMod&)
{
  resizing = false;
  SetDirty(false);
}

void ICornerResizerControl::OnMouseDblClick(float, float, const IMouseMod&)
{
  if (IEditorGraphics* g = GetUI())
    g->Resize(static_cast<int>(initialBounds.W()), static_cast<int>(initialBounds.H()), 1.f);
}

void ICornerResizerControl::OnMouseOver(float, float, const IMouseMod&)
{
  if (mouseIsOver)
    return;
  mouseIsOver = true;
  if (IEditorGraphics* g = GetUI())
    previousCursor = g->SetMouseCursor(ECursor::SIZENWSE);
  SetDirty(false);
}

void ICornerResizerControl::OnMouseOut()
{
  if (!mouseIsOver)
    return;
  mouseIsOver = false;
  if (IEditorGraphics* g = GetUI())
    g->SetMouseCursor(previousCursor);
  SetDirty(false);
}

void ICornerResizerControl::OnRescale()
{
  IEditorGraphics* g = GetUI();
  if (!g || g->GetDrawScale() <= 0.f)
    return;
  SetTargetAndDrawRECTs(cornerSquare(g->GetBounds(), size / g->GetDrawScale()));
  SetDirty(false);
}
