#pragma once
#include "toolkit/ECursor.h"
#include "toolkit/IControl.h"

// How the corner handle resizes: Scale changes the window's scale and keeps
// the layout size; Size changes the layout size and keeps the scale.
enum class EUIResizerMode : int
{
  Scale = 0,
  Size = 1,
};

// The handle in the bottom-right corner that resizes the editor.
// Pressing records the pressed point (x0, y0); while dragging, the new
// scale is the smaller of xp / x0 and yp / y0 (xp, yp: the pointer's
// distance from the window's top-left corner in points), so the pressed
// point stays under the pointer. A double click returns to the initial
// bounds at scale 1. Entering sets the diagonal resize cursor, leaving puts
// back the one that was set before. It hits only in the triangle it draws.
class ICornerResizerControl : public IControl
{
public:
  ICornerResizerControl(const IRECT& graphicsBounds, float size);

  void Draw(IEditorGraphics& g) override;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) override;
  void OnMouseDblClick(float x, float y, const IMouseMod& mod) override;
  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  void OnMouseOut() override;
  // After a scale change the handle keeps its size on screen: a square of
  // size / scale layout units flush with the bottom-right corner.
  void OnRescale() override;
  bool IsHit(float x, float y) const override;

  bool IsResizing() const { return resizing; }
  const IRECT& GetInitialBounds() const { return initialBounds; }
  float GetSize() const { return size; }

protected:
  // True while the pointer is over the handle or a resize drag runs.
  bool IsHighlighted() const { return mouseIsOver || resizing; }

private:
  IRECT initialBounds;
  float size;
  bool resizing = false;
  float pressedX = 0.f;
  float pressedY = 0.f;
  int pressedWidth = 0;
  int pressedHeight = 0;
  ECursor previousCursor = ECursor::ARROW;
};
