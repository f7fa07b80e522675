#pragma once

#include "toolkit/ECursor.h"
#include "toolkit/IRECT.h"

// The native side of an open editor: a window that shows the toolkit's
// backing image and feeds mouse and key events into IEditorGraphics. The X11
// embedding implements it; tests use an offscreen stand-in.
class IPlatformWindow
{
public:
  virtual ~IPlatformWindow() = default;

  // Main thread: the given pixels of IEditorGraphics::GetBackingSurface()
  // were redrawn and should reach the screen.
  virtual void PresentArea(const IRECT& pixels) = 0;
  // Main thread: the editor's window size (in points) changed.
  virtual void SetWindowSize(int width, int height) = 0;
  // Main thread: show this cursor while the pointer is over the window.
  virtual void SetCursor(ECursor cursor) = 0;
  // Main thread: hide the pointer (during a drag) or show it again.
  virtual void HideCursor(bool hide) { (void)hide; }
  // Main thread: the editor has something open that takes keys (a text
  // field, a menu, a message box) and wants the keyboard, or is done with
  // it and gives it back to the host.
  virtual void WantKeyboard(bool want) { (void)want; }
  // Main thread: the text field asks for the clipboard's text; it arrives
  // later through IEditorGraphics::PasteText, or never.
  virtual void RequestPaste() {}
};
