#pragma once
#include <cairo.h>

#include <functional>

#include "toolkit/IMouseMod.h"
#include "toolkit/IRECT.h"

// Something the toolkit draws above all controls that takes every mouse
// event while it is shown: a pop-up menu or a message box. Coordinates are
// window points. Text, rows and margins grow and shrink with the editor's
// draw scale, so that a menu keeps its size beside the controls at every
// window size, and shrink further only when the window cannot hold them.
class Overlay
{
public:
  virtual ~Overlay() = default;

  virtual bool IsPopupMenu() const { return false; }
  virtual bool IsTextEntry() const { return false; }
  // Places the overlay in a window of the given size (points), with the
  // editor drawn at drawScale points per layout unit.
  virtual void Layout(float windowWidth, float windowHeight, float drawScale) = 0;
  // The area it covers; redrawn whenever it changes.
  virtual IRECT Bounds() const = 0;
  // Draws with cr in points.
  virtual void Draw(cairo_t* cr) const = 0;
  virtual void OnMouseDown(float x, float y, const IMouseMod& mod) = 0;
  virtual void OnMouseUp(float x, float y, const IMouseMod& mod) = 0;
  virtual void OnMouseMove(float x, float y, const IMouseMod& mod) = 0;
  // True when the key was used.
  virtual bool OnKeyDown(const IKeyPress& key) = 0;
  // Once per frame of the window's timer, for anything that moves by itself.
  virtual void OnFrame() {}

  // Set once the user answered; the answer runs after the overlay is gone.
  bool IsFinished() const { return finished; }
  std::function<void()> TakeAnswer() { return std::move(answer); }
  // True when the look changed since it was last drawn.
  bool NeedsRedraw() const { return redraw; }
  void ClearRedraw() { redraw = false; }

protected:
  void Finish(std::function<void()> result)
  {
    finished = true;
    answer = std::move(result);
  }
  void RequestRedraw() { redraw = true; }

private:
  bool finished = false;
  bool redraw = true;
  std::function<void()> answer;
};
