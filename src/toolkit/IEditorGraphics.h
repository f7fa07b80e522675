#pragma once
#include <cairo.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "toolkit/ECursor.h"
#include "toolkit/IBitmap.h"
#include "toolkit/IColor.h"
#include "toolkit/IControl.h"
#include "toolkit/ICornerResizerControl.h"
#include "toolkit/IMouseMod.h"
#include "toolkit/IPlatformWindow.h"
#include "toolkit/IRECT.h"
#include "toolkit/IText.h"
#include "toolkit/URLLauncher.h"

class FontLoader;
class IGraphicsDelegate;
class IPopupMenu;
class Overlay;

// Message box buttons; the numbers are the conventional ones.
enum EMsgBoxType : int
{
  kMB_OK = 0,
  kMB_OKCANCEL = 1,
  kMB_ABORTRETRYIGNORE = 2,
  kMB_YESNOCANCEL = 3,
  kMB_YESNO = 4,
  kMB_RETRYCANCEL = 5,
};

// Message box answers; the numbers are the conventional ones.
enum EMsgBoxResult : int
{
  kNoResult = -1,
  kOK = 1,
  kCANCEL = 2,
  kABORT = 3,
  kRETRY = 4,
  kIGNORE = 5,
  kYES = 6,
  kNO = 7,
};

using IMsgBoxCompletionHandlerFunc = std::function<void(EMsgBoxResult)>;

// The editor's drawing surface and control framework.
//
// It owns the controls in attach order: a later control lies above an
// earlier one, is drawn after it and hit-tested before it. Coordinates are
// layout units; the window shows the layout times the draw scale (points),
// and the backing image has the window's size times the screen scale
// (pixels). Everything is drawn with cairo into that image; the platform
// window (IPlatformWindow) shows it and feeds the events in.
//
// Pop-up menus and message boxes are drawn by the toolkit itself, above the
// controls, and never block: their answers arrive through callbacks.
//
// All members are for the main thread, except that controls may be marked
// dirty or disabled from other threads (see IControl).
class IEditorGraphics
{
public:
  IEditorGraphics(IGraphicsDelegate& delegate, int width, int height, int fps, float scale);
  ~IEditorGraphics();
  IEditorGraphics(const IEditorGraphics&) = delete;
  IEditorGraphics& operator=(const IEditorGraphics&) = delete;

  // --- Window lifecycle -----------------------------------------------
  // Shows the editor in a platform window: runs the delegate's layout
  // function, then its OnUIOpen.
  void OpenWindow(std::unique_ptr<IPlatformWindow> window);
  // Closes the window. Open menus and message boxes vanish unanswered.
  void CloseWindow();
  bool WindowIsOpen() const { return window != nullptr; }
  IPlatformWindow* GetPlatformWindow() const { return window.get(); }
  int FPS() const { return fps; }

  // --- Resources --------------------------------------------------------
  // Folder in which resources named without a path are looked up.
  void SetResourcePath(const std::string& folder) { resourcePath = folder; }
  const std::string& GetResourcePath() const { return resourcePath; }
  // Loads a PNG split into nStates frames; "name@2x.png" beside it is used
  // at large scales. targetScale 0 takes every resolution found, 1 or 2 only
  // that one. Loaded once per name; an invalid IBitmap when missing.
  IBitmap LoadBitmap(const char* name, int nStates = 1, bool framesAreHorizontal = false, int targetScale = 0);
  // Registers a TrueType file under an identifier; false when unreadable.
  // Text in a style with an unknown font uses the first registered font.
  bool LoadFont(const char* fontID, const char* fileName);

  // --- Controls ---------------------------------------------------------
  // Takes ownership and puts the control on top of the existing ones; its
  // values start from its parameters' current values. Returns it.
  IControl* AttachControl(IControl* control, int tag = kNoTag, const char* group = "");
  template <typename T>
  T* AttachControl(std::unique_ptr<T> control, int tag = kNoTag, const char* group = "")
  {
    T* raw = control.release();
    AttachControl(static_cast<IControl*>(raw), tag, group);
    return raw;
  }
  // Draws the named bitmap behind all controls, at the layout's origin.
  void AttachBackground(const char* name);
  // Takes ownership of the corner handle; it takes its place in the attach
  // order like any control.
  void AttachCornerResizer(ICornerResizerControl* control, EUIResizerMode mode = EUIResizerMode::Scale,
                           bool layoutOnResize = false);
  void RemoveAllControls();
  int NControls() const { return static_cast<int>(controls.size()); }
  IControl* GetControl(int index) const;
  IControl* GetControlWithTag(int tag) const;
  ICornerResizerControl* GetCornerResizer() const { return cornerResizer; }
  EUIResizerMode GetResizerMode() const { return resizerMode; }
  bool GetLayoutOnResize() const { return layoutOnResize; }
  // Hands a plug-in value to every value slot bound to the parameter.
  void SetControlValueFromDelegate(int paramIdx, double normalizedValue);

  // --- Dirty tracking and drawing --------------------------------------
  void SetAllControlsDirty();
  void SetAllControlsClean();
  // True when something needs drawing; region is then the layout area.
  bool IsDirty(IRECT& region) const;
  // Redraws an area of the layout into the backing image.
  void Draw(const IRECT& region);
  // One frame of the window's timer: draws what is dirty and presents it.
  void OnFrame();
  cairo_surface_t* GetBackingSurface() const { return backing; }
  // The backing-image pixels an area of the layout touches.
  IRECT LayoutToPixels(const IRECT& layout) const;

  // Drawing calls, valid inside IControl::Draw; coordinates in layout units.
  // A frame is drawn at its own size with its top-left corner at the
  // rectangle's, clipped to the rectangle; the frame number is clamped to
  // 1..N.
  void DrawBitmap(const IBitmap& bitmap, const IRECT& bounds, int frame = 1, const IBlend* blend = nullptr);
  void DrawText(const IText& text, const char* str, const IRECT& bounds, const IBlend* blend = nullptr);
  // The width of a text in layout units.
  float MeasureText(const IText& text, const char* str);
  void FillTriangle(const IColor& color, float x1, float y1, float x2, float y2, float x3, float y3,
                    const IBlend* blend = nullptr);
  void FillRect(const IColor& color, const IRECT& bounds, const IBlend* blend = nullptr);
  void FillRoundRect(const IColor& color, const IRECT& bounds, float radius, const IBlend* blend = nullptr);
  void DrawRect(const IColor& color, const IRECT& bounds, const IBlend* blend = nullptr, float thickness = 1.f);
  void DrawLine(const IColor& color, float x1, float y1, float x2, float y2, const IBlend* blend = nullptr,
                float thickness = 1.f);

  // --- Size and scale ---------------------------------------------------
  int Width() const { return width; }
  int Height() const { return height; }
  IRECT GetBounds() const { return {0.f, 0.f, static_cast<float>(width), static_cast<float>(height)}; }
  float GetDrawScale() const { return drawScale; }
  float GetScreenScale() const { return screenScale; }
  // The window's size in points: the layout size times the draw scale,
  // truncated (a hair of tolerance keeps 1366 x 0.5 at 683 despite float
  // rounding).
  int WindowWidth() const;
  int WindowHeight() const;
  void SetScaleConstraints(float lo, float hi);
  float GetMinScale() const { return minScale; }
  float GetMaxScale() const { return maxScale; }
  // Clamps the layout size through the delegate's limits and the scale to
  // the scale constraints; does nothing when all three are unchanged;
  // otherwise stores them, redraws everything and, when asked, has the
  // window and the host follow.
  void Resize(int newWidth, int newHeight, float newScale, bool needsPlatformResize = true);
  // The host resized the window (points): fit the layout into it by scale.
  void OnParentWindowResize(int windowWidth, int windowHeight);
  // Device pixels per point (HiDPI).
  void SetScreenScale(float scale);

  // --- Events (layout units) ---------------------------------------------
  void OnMouseDown(float x, float y, const IMouseMod& mod);
  void OnMouseUp(float x, float y, const IMouseMod& mod);
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod);
  // The pointer moved with no button held.
  void OnMouseOver(float x, float y, const IMouseMod& mod);
  // The pointer moved: a drag while a control holds the mouse, else a
  // hover; the drag distance is measured from the previous event.
  void OnMouseMove(float x, float y, const IMouseMod& mod);
  // The pointer left the window.
  void OnMouseOut();
  void OnMouseDblClick(float x, float y, const IMouseMod& mod);
  void OnMouseWheel(float x, float y, const IMouseMod& mod, float d);
  // True when the editor used the key (so the host should not).
  bool OnKeyDown(float x, float y, const IKeyPress& key);
  bool OnKeyUp(float x, float y, const IKeyPress& key);

  // The topmost control that takes mouse events at (x, y), or null.
  IControl* HitTest(float x, float y) const;
  IControl* GetCapturedControl() const { return captured; }
  IControl* GetMouseOverControl() const { return mouseOver; }
  void EnableMouseOver(bool enable);
  bool MouseOverEnabled() const { return mouseOverEnabled; }
  void EnableMultiTouch(bool enable) { multiTouch = enable && PlatformSupportsMultiTouch(); }
  bool PlatformSupportsMultiTouch() const { return false; }

  // --- Cursor ----------------------------------------------------------------
  // Returns the cursor that was set before.
  ECursor SetMouseCursor(ECursor cursor);
  ECursor GetMouseCursor() const { return cursor; }
  void HideMouseCursor(bool hide);

  // --- Menus, message boxes, browser ---------------------------------------
  // Opens the menu below the anchor (layout units); later calls the
  // control's OnPopupMenuSelection(menu, valIdx) with the chosen index set,
  // or with null when the menu is dismissed (click outside, Escape, another
  // menu or a window resize). The control owns the menu.
  void CreatePopupMenu(IControl& control, IPopupMenu& menu, const IRECT& anchor, int valIdx = 0);
  // Shows a message box; boxes asked for while one is showing wait their
  // turn. Returns kNoResult at once: the answer goes to completion. Boxes
  // still open when the window closes are dropped without an answer.
  EMsgBoxResult ShowMessageBox(const char* text, const char* caption, EMsgBoxType type,
                               IMsgBoxCompletionHandlerFunc completion = nullptr);
  bool IsShowingPopupMenu() const;
  bool IsShowingMessageBox() const;

  // Asks for one line of text in a box in the look of the message boxes:
  // caption says what is asked, the field holds text, selected, in the
  // style's font, and the buttons are acceptLabel (the default) and Cancel.
  // accept gets the text on Return or the accepting button and answers
  // whether it was taken (the field flashes and stays when not); cancelled
  // runs when the box closes otherwise (Escape, Cancel, a click outside,
  // another menu). placeholder is shown, dimmed, while the field is empty.
  // False, with nothing opened, while a message box waits for its answer.
  bool PromptForText(const std::string& caption, const std::string& acceptLabel, const IText& style,
                     const std::string& text, size_t maxCharacters, std::function<bool(const std::string&)> accept,
                     std::function<void()> cancelled = nullptr, const std::string& placeholder = {});
  bool IsShowingTextEntry() const;
  // The open field's text and area (layout units); empty when none is open.
  std::string GetTextEntryText() const;
  IRECT GetTextEntryRECT() const;
  std::string GetTextEntryCaption() const;
  // The open box's accepting or Cancel button (layout units).
  IRECT GetTextEntryButtonRECT(bool accepting) const;
  bool IsTextEntryFlashing() const;
  // Main thread: the clipboard's text the field asked the platform for.
  void PasteText(const std::string& text);
  // Where the open menu shows an item, and where the open message box shows
  // the button of an answer, in layout units (empty when not shown).
  IRECT GetPopupMenuItemRECT(int index) const;
  // An item's text as the open menu draws it (empty when none is open).
  std::string GetPopupMenuItemText(int index) const;
  IRECT GetMessageBoxButtonRECT(EMsgBoxResult answer) const;
  // The text and caption of the message box on show (empty when none).
  std::string GetMessageBoxText() const;
  std::string GetMessageBoxCaption() const;
  // Opens a web address in the user's browser. Only http, https and mailto
  // addresses are opened. With confirmMsg the user is asked first (and true
  // means the question was shown); with errMsgOnFailure a failure is shown.
  bool OpenURL(const char* url, const char* msgWindowTitle = nullptr, const char* confirmMsg = nullptr,
               const char* errMsgOnFailure = nullptr);
  // Replaces the program starter (tests; a null launcher restores xdg-open).
  void SetURLLauncher(URLLauncher launcher);

  IGraphicsDelegate& GetDelegate() const { return delegate; }

private:
  struct ScaledFrameKey
  {
    const void* data;
    int frame;
    bool operator<(const ScaledFrameKey& other) const
    {
      return data != other.data ? std::less<const void*>()(data, other.data) : frame < other.frame;
    }
  };
  struct CachedFrame
  {
    std::shared_ptr<const void> keepAlive;
    cairo_surface_t* surface = nullptr;
  };

  float BackingScale() const { return drawScale * screenScale; }
  void RecreateBacking();
  void ClearScaledFrames();
  cairo_surface_t* ScaledFrame(const IBitmap& bitmap, int frame);
  cairo_font_face_t* FontFor(const std::string& fontID) const;
  void SetSourceColor(const IColor& color, const IBlend* blend);
  std::string ResolveResource(const char* name) const;

  std::vector<int> BeginGestures(IControl& control);
  void EndGestures(std::vector<int>& paramIndices);
  bool OwnsControl(const IControl* control) const;
  void UpdateMouseOver(float x, float y, const IMouseMod& mod);
  void ClearMouseOver();

  void ShowOverlay(std::unique_ptr<Overlay> next);
  // Removes a finished overlay and runs its answer; then shows the next
  // queued message box.
  void FinishOverlay();
  void AfterOverlayEvent();
  void DismissPopupMenu();
  void CancelTextEntry();
  // Tells the window whether the editor needs the keyboard now.
  void UpdateKeyboardWish();
  void MarkOverlayDirty();
  void LayoutOverlay();
  bool LaunchURL(const std::string& address, const std::string& title, const std::string& errorMessage);
  IRECT PointsToLayout(const IRECT& points) const;

  IGraphicsDelegate& delegate;
  std::unique_ptr<IPlatformWindow> window;
  int width;
  int height;
  int fps;
  float drawScale;
  float screenScale = 1.f;
  float minScale = 0.1f;
  float maxScale = 10.f;

  std::vector<std::unique_ptr<IControl>> controls;
  IBitmap background;
  ICornerResizerControl* cornerResizer = nullptr;
  EUIResizerMode resizerMode = EUIResizerMode::Scale;
  bool layoutOnResize = false;

  IControl* captured = nullptr;
  std::vector<int> capturedGestures;  // parameters whose host gesture is open
  IControl* mouseOver = nullptr;
  bool mouseOverEnabled = false;
  bool multiTouch = false;
  float lastX = 0.f;
  float lastY = 0.f;
  ECursor cursor = ECursor::ARROW;
  bool cursorHidden = false;

  std::unique_ptr<Overlay> overlay;
  bool keyboardWanted = false;
  std::vector<std::unique_ptr<Overlay>> waitingMessageBoxes;
  IRECT extraDirty;  // layout area to redraw beyond the dirty controls

  std::string resourcePath;
  std::map<std::string, IBitmap> bitmaps;
  std::unique_ptr<FontLoader> fontLoader;
  std::vector<std::pair<std::string, cairo_font_face_t*>> fonts;
  std::map<ScaledFrameKey, CachedFrame> scaledFrames;

  cairo_surface_t* backing = nullptr;
  cairo_t* cr = nullptr;  // only while drawing

  URLLauncher urlLauncher;
};

// Creates the graphics context for an editor of the given base size, frame
// rate and initial scale.
std::unique_ptr<IEditorGraphics> MakeGraphics(IGraphicsDelegate& delegate, int width, int height, int fps,
                                              float scale);
