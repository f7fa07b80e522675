#pragma once
#include <xcb/xcb.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "toolkit/DoubleClickDetector.h"
#include "toolkit/IMouseMod.h"
#include "toolkit/IPlatformWindow.h"
#include "toolkit/X11Keys.h"

class IEditorGraphics;

// The editor's window on X11: a child of the host's window on an X
// connection of its own, showing the toolkit's backing image and feeding
// mouse events into IEditorGraphics.
//
// The backing image is the back buffer: the toolkit draws there, and only
// finished areas are copied to the window (xcb_put_image), so nothing ever
// flickers. The window has no background of its own; exposed areas are
// copied again from the backing image.
//
// Nothing here waits for the server or runs a loop: the owner hands the
// connection's file descriptor to the host's run loop and calls
// ProcessEvents when it is readable and on every frame.
//
// Keys come from the host through the plug-in view where it passes them.
// Where it does not, the window takes them from X while the editor has
// something open that takes keys: it takes the input focus itself when a
// menu, field or message box opens and on each click into it, takes it again
// when the host's window takes it back meanwhile, and hands it back when
// the last one closes (or the window goes), so that the host's shortcuts
// work again. Focus the user moved to another application stays there.
//
// Everything runs on the main thread.
class X11EditorWindow final : public IPlatformWindow
{
public:
  // A window inside the host's window `parent` on the display of $DISPLAY,
  // sized to the graphics' backing image and shown at once; null when the
  // display cannot be reached or the parent does not exist.
  static std::unique_ptr<X11EditorWindow> Create(uint32_t parent, IEditorGraphics& graphics);
  ~X11EditorWindow() override;
  X11EditorWindow(const X11EditorWindow&) = delete;
  X11EditorWindow& operator=(const X11EditorWindow&) = delete;

  // The connection's descriptor, readable when events are waiting.
  int FileDescriptor() const;
  // Handles every event that has arrived; false once the connection is
  // broken (the display went away), after which nothing more happens.
  bool ProcessEvents();
  uint32_t WindowID() const { return window; }
  // Where the pointer was last seen over the window, in layout units: key
  // strokes are aimed at the control there.
  float PointerX() const { return pointerX; }
  float PointerY() const { return pointerY; }
  // Gives the window the backing image's size (after a change of screen
  // scale, which changes the pixels but not the points).
  void FollowBackingSize();
  // For embedders that may not follow a size the editor asked for (an LV2
  // UI's host): when the window the editor lies in still has another size
  // a moment after a change, the host's top-level window is asked to grow
  // or shrink by the difference, as a user would drag its border.
  void AskTopLevelToFollow(bool ask) { askTopLevel = ask; }

  // IPlatformWindow (main thread).
  void PresentArea(const IRECT& pixels) override;
  void SetWindowSize(int width, int height) override;
  void SetCursor(ECursor cursor) override;
  void HideCursor(bool hide) override;
  void WantKeyboard(bool want) override;
  void RequestPaste() override;

private:
  // How a pixel is written into an image of the window's format.
  struct PixelFormat
  {
    uint8_t depth = 24;
    uint8_t bitsPerPixel = 32;
    uint8_t scanlinePad = 32;
    bool lsbFirst = true;
    uint32_t redMask = 0xFF0000;
    uint32_t greenMask = 0x00FF00;
    uint32_t blueMask = 0x0000FF;
  };

  X11EditorWindow(xcb_connection_t* connection, IEditorGraphics& graphics);
  bool open(uint32_t parent);
  bool findPixelFormat(const xcb_screen_t& screen);
  void handleEvent(const xcb_generic_event_t& event);
  void onButtonPress(const xcb_button_press_event_t& event);
  void onButtonRelease(const xcb_button_release_event_t& event);
  void onMotion(const xcb_motion_notify_event_t& event);
  void onEnter(const xcb_enter_notify_event_t& event);
  void onLeave(const xcb_leave_notify_event_t& event);
  void notePointer(int16_t x, int16_t y);
  IMouseMod modifiers(uint16_t state, bool left, bool right) const;
  void putPixels(int x, int y, int w, int h);
  void convertRow(const uint32_t* source, int count, uint8_t* target) const;
  xcb_cursor_t cursorFor(ECursor cursor);
  xcb_cursor_t invisibleCursor();
  void applyCursor();
  void setXEmbedInfo();
  void setSizeHints();
  void checkEmbedderFollowed();
  void internAtoms();
  void onKey(const xcb_key_press_event_t& event, bool down);
  void onFocusOut(const xcb_focus_out_event_t& event);
  void takeFocus();
  void giveFocusBack();
  xcb_window_t currentFocus();
  xcb_window_t topLevelOf(xcb_window_t child, xcb_atom_t clientMark = XCB_ATOM_NONE);
  void onSelectionNotify(const xcb_selection_notify_event_t& event);
  void loadKeymap();

  bool alive() const { return connection && !broken; }

  xcb_connection_t* connection;
  IEditorGraphics& graphics;
  xcb_window_t window = 0;
  xcb_gcontext_t gc = 0;
  PixelFormat format;
  bool fastCopy = true;  // the backing image's bytes are the window's
  uint32_t maxRequestBytes = 0;
  int windowWidth = 0;
  int windowHeight = 0;
  xcb_window_t parentWindow = 0;
  bool askTopLevel = false;
  bool embedderCheckDue = false;
  std::chrono::steady_clock::time_point embedderCheckAt;
  bool broken = false;

  std::vector<uint8_t> strip;  // one put-image request's pixels

  xcb_font_t cursorFont = 0;
  std::array<xcb_cursor_t, 14> cursors{};
  xcb_cursor_t hiddenCursor = 0;
  ECursor cursor = ECursor::ARROW;
  bool cursorHidden = false;

  DoubleClickDetector doubleClicks;
  float pointerX = 0.f;
  float pointerY = 0.f;
  bool pointerInside = false;

  // Keyboard and clipboard.
  X11Keys::Keymap keymap;
  uint32_t lastEventTime = XCB_CURRENT_TIME;
  bool keyboardWanted = false;
  bool tookFocus = false;         // the input focus was taken directly
  // Times the focus is taken back from the host per user action.
  static constexpr int kFocusRetakes = 3;
  int retakesLeft = kFocusRetakes;
  xcb_window_t focusBefore = 0;
  xcb_atom_t clipboardAtom = XCB_ATOM_NONE;
  xcb_atom_t utf8Atom = XCB_ATOM_NONE;
  xcb_atom_t pasteAtom = XCB_ATOM_NONE;
  xcb_atom_t incrAtom = XCB_ATOM_NONE;
  bool pasteFromPrimary = false;  // the clipboard had nothing; PRIMARY asked
};
