#pragma once
#include <string>
#include <vector>

#include "toolkit/IColor.h"
#include "toolkit/IEditorGraphics.h"
#include "toolkit/IPlatformWindow.h"

// A platform window that shows nothing and remembers what it was asked.
class OffscreenWindow : public IPlatformWindow
{
public:
  void PresentArea(const IRECT& pixels) override
  {
    ++presentCount;
    lastPresented = pixels;
  }
  void SetWindowSize(int w, int h) override
  {
    width = w;
    height = h;
    ++resizeCount;
  }
  void SetCursor(ECursor c) override { cursor = c; }
  void HideCursor(bool hide) override { cursorHidden = hide; }
  void WantKeyboard(bool want) override { keyboardWanted = want; }
  void RequestPaste() override { ++pasteRequests; }

  int presentCount = 0;
  IRECT lastPresented;
  int width = 0;
  int height = 0;
  int resizeCount = 0;
  ECursor cursor = ECursor::ARROW;
  bool cursorHidden = false;
  bool keyboardWanted = false;
  int pasteRequests = 0;
};

// An editor without a screen: it opens the graphics on an OffscreenWindow,
// renders into the backing image, writes it as PNG and takes mouse and key
// events in layout units. Used by the tests and the screenshot tool.
class OffscreenEditor
{
public:
  explicit OffscreenEditor(IEditorGraphics& graphics);

  IEditorGraphics& Graphics() const { return graphics; }
  OffscreenWindow& Window() const { return *window; }

  // Draws what is dirty, as one frame of the window's timer would.
  void Render() { graphics.OnFrame(); }
  // Redraws everything.
  void RenderAll();
  bool WritePNG(const std::string& path) const;
  // The colour (not premultiplied) of a backing-image pixel; transparent
  // black outside.
  IColor PixelAt(int px, int py) const;
  // The colour at a layout point, at the current scale.
  IColor LayoutPixel(float x, float y) const;

  // Mouse gestures, in layout units.
  void Click(float x, float y, const IMouseMod& mod = IMouseMod(true));
  void DoubleClick(float x, float y, const IMouseMod& mod = IMouseMod(true));
  // Presses at the start, moves in steps to the end, releases there.
  void Drag(float x0, float y0, float x1, float y1, int steps = 8, const IMouseMod& mod = IMouseMod(true));
  void MoveTo(float x, float y, const IMouseMod& mod = IMouseMod());
  void Wheel(float x, float y, float d, const IMouseMod& mod = IMouseMod());
  bool Key(int virtualKey, const char* text = "", float x = 0.f, float y = 0.f);
  bool Press(const IKeyPress& key) { return graphics.OnKeyDown(0.f, 0.f, key); }
  // Types text character by character, as key strokes.
  void Type(const char* text);

private:
  IEditorGraphics& graphics;
  OffscreenWindow* window;
};
