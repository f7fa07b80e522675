#include "toolkit/EditorViewSizes.h"

#include <algorithm>
#include <cmath>

#include "toolkit/IEffectEditor.h"
#include "toolkit/X11EditorWindow.h"

bool EditorViewSizes::SetScale(double newScale)
{
  if (!std::isfinite(newScale) || !(newScale > 0.0))
    return false;
  scale = static_cast<float>(std::clamp(newScale, kMinScale, kMaxScale));
  return true;
}

int EditorViewSizes::ToPixels(int points) const
{
  return std::max(1, static_cast<int>(std::lround(static_cast<double>(points) * scale)));
}

int EditorViewSizes::ToPoints(int pixels) const
{
  return static_cast<int>(std::lround(static_cast<double>(pixels) / scale));
}

IEditorGraphics* EditorViewSizes::OpenGraphics(const IEffectEditor& editor, const X11EditorWindow* viewWindow)
{
  if (!viewWindow)
    return nullptr;
  IEditorGraphics* graphics = editor.GetGraphics();
  return graphics && graphics->WindowIsOpen() ? graphics : nullptr;
}

void EditorViewSizes::CurrentPixelSize(const IEffectEditor& editor, const X11EditorWindow* viewWindow, int& width,
                                       int& height) const
{
  if (IEditorGraphics* graphics = OpenGraphics(editor, viewWindow))
  {
    width = ToPixels(graphics->WindowWidth());
    height = ToPixels(graphics->WindowHeight());
    return;
  }
  int points[2] = {1, 1};
  editor.GetOpeningSize(points[0], points[1]);
  width = ToPixels(points[0]);
  height = ToPixels(points[1]);
}

void EditorViewSizes::ApplyScale(IEditorGraphics& graphics, X11EditorWindow& window)
{
  graphics.SetScreenScale(scale);
  window.FollowBackingSize();
  RequestHostResize(graphics.WindowWidth(), graphics.WindowHeight());
}

void EditorViewSizes::RequestHostResize(int width, int height)
{
  resizePending = true;
  pendingWidth = ToPixels(width);
  pendingHeight = ToPixels(height);
}

bool EditorViewSizes::TakeHostResize(int& width, int& height)
{
  if (!resizePending)
    return false;
  resizePending = false;
  width = pendingWidth;
  height = pendingHeight;
  return true;
}
