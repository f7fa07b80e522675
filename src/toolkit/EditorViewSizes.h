#pragma once

class IEditorGraphics;
class IEffectEditor;
class X11EditorWindow;

// The sizes of a host binding's view that embeds the editor in a host's
// window: the host counts pixels, the editor points, and the scale between
// them is the one the host set (1 unless it set another). The editor's own
// size changes wait here, in pixels, until the view asks the host at its
// next frame. Main thread only.
class EditorViewSizes
{
public:
  // Scales outside this range are a host's mistake, not a screen.
  static constexpr double kMinScale = 0.5;
  static constexpr double kMaxScale = 8.0;

  // False, and the scale kept, for one that is not a positive number;
  // others are bounded to the range.
  bool SetScale(double scale);
  float Scale() const { return scale; }
  // At least one pixel.
  int ToPixels(int points) const;
  int ToPoints(int pixels) const;

  // The editor's graphics while its window is open in the view's window,
  // null while the view has none.
  static IEditorGraphics* OpenGraphics(const IEffectEditor& editor, const X11EditorWindow* viewWindow);
  // The editor's window size in pixels: the open window's, or the one the
  // next window opens at.
  void CurrentPixelSize(const IEffectEditor& editor, const X11EditorWindow* viewWindow, int& width,
                        int& height) const;
  // The open window takes the current scale: same points, other pixels, so
  // the host's window is asked to follow.
  void ApplyScale(IEditorGraphics& graphics, X11EditorWindow& window);

  // The editor chose a window size of its own (points).
  void RequestHostResize(int width, int height);
  // The size (pixels) to ask the host for, once; false when none waits.
  bool TakeHostResize(int& width, int& height);
  void CancelHostResize() { resizePending = false; }

private:
  float scale = 1.f;
  bool resizePending = false;
  int pendingWidth = 0;  // pixels
  int pendingHeight = 0;
};
