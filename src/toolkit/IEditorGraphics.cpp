#include "toolkit/IEditorGraphics.h"

#include <algorithm>
#include <cmath>

#include "params/IParam.h"
#include "toolkit/FontLoader.h"
#include "toolkit/IGraphicsDelegate.h"
#include "toolkit/IPopupMenu.h"
#include "toolkit/MessageBoxOverlay.h"
#include "toolkit/PopupMenuOverlay.h"
#include "toolkit/TextEntryOverlay.h"

std::unique_ptr<IEditorGraphics> MakeGraphics(IGraphicsDelegate& delegate, int width, int height, int fps,
                                              float scale)
{
  return std::make_unique<IEditorGraphics>(delegate, width, height, fps, scale);
}

IEditorGraphics::IEditorGraphics(IGraphicsDelegate& plugin, int w, int h, int framesPerSecond, float scale)
  : delegate(plugin), width(std::max(1, w)), height(std::max(1, h)), fps(framesPerSecond > 0 ? framesPerSecond : 60),
    drawScale(scale > 0.f && std::isfinite(scale) ? scale : 1.f), fontLoader(std::make_unique<FontLoader>()),
    urlLauncher(MakeProgramLauncher())
{
  RecreateBacking();
}

IEditorGraphics::~IEditorGraphics()
{
  // Unanswered boxes and menus are dropped: their callbacks may refer to
  // things that are being destroyed with the editor.
  overlay.reset();
  waitingMessageBoxes.clear();
  captured = nullptr;
  mouseOver = nullptr;
  controls.clear();
  ClearScaledFrames();
  bitmaps.clear();
  background = IBitmap();
  for (auto& font : fonts)
    cairo_font_face_destroy(font.second);
  fonts.clear();
  if (backing)
    cairo_surface_destroy(backing);
}

// --- Window lifecycle ------------------------------------------------------

void IEditorGraphics::OpenWindow(std::unique_ptr<IPlatformWindow> platformWindow)
{
  if (!platformWindow)
    return;
  if (window)
  {
    // Opened again without closing: start from an empty editor, so the
    // layout does not attach every control twice.
    CloseWindow();
    RemoveAllControls();
  }
  window = std::move(platformWindow);
  window->SetCursor(cursor);
  delegate.LayoutUI(*this);
  SetAllControlsDirty();
  delegate.OnUIOpen();
}

void IEditorGraphics::CloseWindow()
{
  overlay.reset();
  waitingMessageBoxes.clear();
  UpdateKeyboardWish();
  if (captured)
  {
    captured = nullptr;
    EndGestures(capturedGestures);
  }
  mouseOver = nullptr;
  window.reset();
}

// --- Controls ----------------------------------------------------------------

IControl* IEditorGraphics::AttachControl(IControl* control, int tag, const char* group)
{
  if (!control)
    return nullptr;
  control->Attach(this, &delegate, tag, group);
  controls.emplace_back(control);
  for (int i = 0; i < control->NVals(); ++i)
  {
    if (const IParam* param = control->GetParam(i))
      control->SetValue(std::clamp(param->GetNormalized(), 0.0, 1.0), i);
  }
  control->OnInit();
  control->SetDirty(false);
  return control;
}

void IEditorGraphics::AttachBackground(const char* name)
{
  background = LoadBitmap(name, 1, false);
  extraDirty = GetBounds();
}

void IEditorGraphics::AttachCornerResizer(ICornerResizerControl* control, EUIResizerMode mode, bool relayout)
{
  if (!control)
    return;
  if (cornerResizer)
  {
    // One handle at a time: the new one replaces the old.
    ICornerResizerControl* old = cornerResizer;
    if (captured == old)
    {
      captured = nullptr;
      EndGestures(capturedGestures);
    }
    if (mouseOver == old)
      mouseOver = nullptr;
    std::erase_if(controls, [old](const std::unique_ptr<IControl>& c) { return c.get() == old; });
  }
  resizerMode = mode;
  layoutOnResize = relayout;
  cornerResizer = control;
  AttachControl(control);
}

void IEditorGraphics::RemoveAllControls()
{
  // A menu or a field answers its control, which is going away: drop it
  // unanswered.
  if (overlay && (overlay->IsPopupMenu() || overlay->IsTextEntry()))
  {
    MarkOverlayDirty();
    overlay.reset();
  }
  if (captured)
  {
    captured = nullptr;
    EndGestures(capturedGestures);
  }
  mouseOver = nullptr;
  cornerResizer = nullptr;
  controls.clear();
  background = IBitmap();
  extraDirty = GetBounds();
  if (!overlay && !waitingMessageBoxes.empty())
  {
    ShowOverlay(std::move(waitingMessageBoxes.front()));
    waitingMessageBoxes.erase(waitingMessageBoxes.begin());
  }
}

IControl* IEditorGraphics::GetControl(int index) const
{
  return index >= 0 && index < NControls() ? controls[static_cast<size_t>(index)].get() : nullptr;
}

IControl* IEditorGraphics::GetControlWithTag(int tag) const
{
  if (tag == kNoTag)
    return nullptr;
  for (const auto& control : controls)
  {
    if (control->GetTag() == tag)
      return control.get();
  }
  return nullptr;
}

bool IEditorGraphics::OwnsControl(const IControl* control) const
{
  return std::any_of(controls.begin(), controls.end(), [control](const auto& c) { return c.get() == control; });
}

void IEditorGraphics::SetControlValueFromDelegate(int paramIdx, double normalizedValue)
{
  for (const auto& control : controls)
  {
    for (int i = 0; i < control->NVals(); ++i)
    {
      if (control->GetParamIdx(i) == paramIdx)
        control->SetValueFromDelegate(normalizedValue, i);
    }
  }
}

// --- Dirty tracking ------------------------------------------------------------

void IEditorGraphics::SetAllControlsDirty()
{
  for (const auto& control : controls)
    control->SetDirty(false);
  extraDirty = GetBounds();
}

void IEditorGraphics::SetAllControlsClean()
{
  for (const auto& control : controls)
    control->SetClean();
  extraDirty = IRECT();
  if (overlay)
    overlay->ClearRedraw();
}

bool IEditorGraphics::IsDirty(IRECT& region) const
{
  IRECT area = extraDirty;
  for (const auto& control : controls)
  {
    if (control->IsDirty())
      area = area.Union(control->GetRECT());
  }
  if (overlay && overlay->NeedsRedraw())
    area = area.Union(PointsToLayout(overlay->Bounds()));
  area = area.Intersect(GetBounds());
  if (area.Empty())
    return false;
  region = area;
  return true;
}

void IEditorGraphics::OnFrame()
{
  if (!window)
    return;
  if (overlay)
    overlay->OnFrame();
  UpdateKeyboardWish();
  IRECT region;
  if (IsDirty(region))
  {
    Draw(region);
    window->PresentArea(LayoutToPixels(region));
  }
}

// --- Size and scale --------------------------------------------------------------

int IEditorGraphics::WindowWidth() const
{
  return std::max(1, static_cast<int>(std::floor(static_cast<double>(width) * drawScale + 1e-3)));
}

int IEditorGraphics::WindowHeight() const
{
  return std::max(1, static_cast<int>(std::floor(static_cast<double>(height) * drawScale + 1e-3)));
}

void IEditorGraphics::SetScaleConstraints(float lo, float hi)
{
  if (!(lo > 0.f) || !(hi > 0.f) || !std::isfinite(lo) || !std::isfinite(hi))
    return;
  minScale = std::min(lo, hi);
  maxScale = std::max(lo, hi);
}

void IEditorGraphics::Resize(int newWidth, int newHeight, float newScale, bool needsPlatformResize)
{
  int w = newWidth;
  int h = newHeight;
  delegate.ConstrainEditorResize(w, h);
  w = std::max(1, w);
  h = std::max(1, h);
  if (!(newScale > 0.f) || !std::isfinite(newScale))
    newScale = drawScale;
  const float scale = std::clamp(newScale, minScale, maxScale);
  if (w == width && h == height && scale == drawScale)
    return;

  const int oldWindowWidth = WindowWidth();
  const int oldWindowHeight = WindowHeight();
  width = w;
  height = h;
  drawScale = scale;
  RecreateBacking();
  ClearScaledFrames();
  for (const auto& control : controls)
    control->OnRescale();
  if (overlay && overlay->IsPopupMenu())
    DismissPopupMenu();
  else if (overlay)
    LayoutOverlay();
  SetAllControlsDirty();

  const int ww = WindowWidth();
  const int wh = WindowHeight();
  if (needsPlatformResize)
    delegate.EditorResizeFromUI(ww, wh);
  if (window && (ww != oldWindowWidth || wh != oldWindowHeight || needsPlatformResize))
    window->SetWindowSize(ww, wh);
}

void IEditorGraphics::OnParentWindowResize(int windowWidth, int windowHeight)
{
  if (windowWidth <= 0 || windowHeight <= 0 || (windowWidth == WindowWidth() && windowHeight == WindowHeight()))
    return;
  const float scale = std::min(static_cast<float>(windowWidth) / static_cast<float>(width),
                               static_cast<float>(windowHeight) / static_cast<float>(height));
  Resize(width, height, scale, false);
}

void IEditorGraphics::SetScreenScale(float scale)
{
  if (!(scale > 0.f) || !std::isfinite(scale) || scale == screenScale)
    return;
  screenScale = scale;
  RecreateBacking();
  ClearScaledFrames();
  SetAllControlsDirty();
}

// --- Events ------------------------------------------------------------------------

IControl* IEditorGraphics::HitTest(float x, float y) const
{
  for (auto it = controls.rbegin(); it != controls.rend(); ++it)
  {
    IControl* control = it->get();
    if (control->ReceivesMouse() && control->IsHit(x, y))
      return control;
  }
  return nullptr;
}

std::vector<int> IEditorGraphics::BeginGestures(IControl& control)
{
  std::vector<int> open;
  for (int i = 0; i < control.NVals(); ++i)
  {
    const int paramIdx = control.GetParamIdx(i);
    if (paramIdx >= 0 && control.GetParam(i) && std::find(open.begin(), open.end(), paramIdx) == open.end())
    {
      delegate.BeginInformHostOfParamChangeFromUI(paramIdx);
      open.push_back(paramIdx);
    }
  }
  return open;
}

void IEditorGraphics::EndGestures(std::vector<int>& paramIndices)
{
  std::vector<int> closing;
  closing.swap(paramIndices);
  for (int paramIdx : closing)
    delegate.EndInformHostOfParamChangeFromUI(paramIdx);
}

void IEditorGraphics::OnMouseDown(float x, float y, const IMouseMod& mod)
{
  lastX = x;
  lastY = y;
  if (overlay)
  {
    overlay->OnMouseDown(x * drawScale, y * drawScale, mod);
    AfterOverlayEvent();
    return;
  }
  if (captured)
    return;  // another button while one is held
  IControl* control = HitTest(x, y);
  if (!control)
    return;
  if (mod.R && !mod.L)
  {
    const int paramIdx = control->GetParamIdx();
    if (paramIdx >= 0 && control->GetParam() && delegate.PromptHostContextMenu(paramIdx, x * drawScale, y * drawScale))
      return;
  }
  captured = control;
  capturedGestures = control->PressEditsValue(mod) ? BeginGestures(*control) : std::vector<int>();
  control->OnMouseDown(x, y, mod);
  if (overlay)
  {
    // The control opened a menu or a box, which now takes the mouse.
    captured = nullptr;
    EndGestures(capturedGestures);
    if (overlay->IsPopupMenu())
      static_cast<PopupMenuOverlay&>(*overlay).SetOpenedByPress(x * drawScale, y * drawScale);
  }
}

void IEditorGraphics::OnMouseUp(float x, float y, const IMouseMod& mod)
{
  lastX = x;
  lastY = y;
  if (overlay)
  {
    overlay->OnMouseUp(x * drawScale, y * drawScale, mod);
    AfterOverlayEvent();
    return;
  }
  if (!captured)
    return;
  captured->OnMouseUp(x, y, mod);
  captured = nullptr;
  EndGestures(capturedGestures);
  if (!overlay)
    UpdateMouseOver(x, y, mod);
}

void IEditorGraphics::OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod)
{
  lastX = x;
  lastY = y;
  if (overlay)
  {
    overlay->OnMouseMove(x * drawScale, y * drawScale, mod);
    AfterOverlayEvent();
    return;
  }
  if (captured && !captured->IsDisabled() && !captured->IsHidden())
    captured->OnMouseDrag(x, y, dX, dY, mod);
}

void IEditorGraphics::OnMouseOver(float x, float y, const IMouseMod& mod)
{
  lastX = x;
  lastY = y;
  if (overlay)
  {
    overlay->OnMouseMove(x * drawScale, y * drawScale, mod);
    AfterOverlayEvent();
    return;
  }
  if (!captured)
    UpdateMouseOver(x, y, mod);
}

void IEditorGraphics::OnMouseMove(float x, float y, const IMouseMod& mod)
{
  if (captured || (overlay && (mod.L || mod.R)))
    OnMouseDrag(x, y, x - lastX, y - lastY, mod);
  else
    OnMouseOver(x, y, mod);
}

void IEditorGraphics::OnMouseOut() { ClearMouseOver(); }

void IEditorGraphics::OnMouseDblClick(float x, float y, const IMouseMod& mod)
{
  lastX = x;
  lastY = y;
  if (overlay || mod.R)
  {
    OnMouseDown(x, y, mod);
    return;
  }
  if (captured)
    return;
  IControl* control = HitTest(x, y);
  if (!control)
    return;
  std::vector<int> gestures = BeginGestures(*control);
  control->OnMouseDblClick(x, y, mod);
  EndGestures(gestures);
}

void IEditorGraphics::OnMouseWheel(float x, float y, const IMouseMod& mod, float d)
{
  if (overlay)
    return;
  IControl* control = captured ? nullptr : HitTest(x, y);
  if (!control)
    return;
  std::vector<int> gestures = BeginGestures(*control);
  control->OnMouseWheel(x, y, mod, d);
  EndGestures(gestures);
}

bool IEditorGraphics::OnKeyDown(float x, float y, const IKeyPress& key)
{
  if (overlay)
  {
    const bool handled = overlay->OnKeyDown(key);
    AfterOverlayEvent();
    return handled;
  }
  IControl* control = captured ? captured : HitTest(x, y);
  return control && control->OnKeyDown(x, y, key);
}

bool IEditorGraphics::OnKeyUp(float, float, const IKeyPress&)
{
  // A message box is modal: its keys stay with it.
  return overlay && !overlay->IsPopupMenu();
}

void IEditorGraphics::UpdateMouseOver(float x, float y, const IMouseMod& mod)
{
  if (!mouseOverEnabled)
    return;
  IControl* hit = HitTest(x, y);
  if (hit != mouseOver)
  {
    if (mouseOver)
      mouseOver->OnMouseOut();
    mouseOver = hit;
  }
  if (hit)
    hit->OnMouseOver(x, y, mod);
}

void IEditorGraphics::ClearMouseOver()
{
  if (mouseOver)
  {
    IControl* leaving = mouseOver;
    mouseOver = nullptr;
    leaving->OnMouseOut();
  }
}

void IEditorGraphics::EnableMouseOver(bool enable)
{
  mouseOverEnabled = enable;
  if (!enable)
    ClearMouseOver();
}

// --- Cursor --------------------------------------------------------------------------

ECursor IEditorGraphics::SetMouseCursor(ECursor newCursor)
{
  const ECursor previous = cursor;
  cursor = newCursor;
  if (window && newCursor != previous)
    window->SetCursor(newCursor);
  return previous;
}

void IEditorGraphics::HideMouseCursor(bool hide)
{
  if (hide == cursorHidden)
    return;
  cursorHidden = hide;
  if (window)
    window->HideCursor(hide);
}

// --- Menus, message boxes, browser ----------------------------------------------------

IRECT IEditorGraphics::PointsToLayout(const IRECT& points) const { return points.GetScaled(1.f / drawScale); }

void IEditorGraphics::MarkOverlayDirty()
{
  if (overlay)
    extraDirty = extraDirty.Union(PointsToLayout(overlay->Bounds()).GetPadded(1.f));
}

void IEditorGraphics::LayoutOverlay()
{
  if (!overlay)
    return;
  MarkOverlayDirty();
  overlay->Layout(static_cast<float>(WindowWidth()), static_cast<float>(WindowHeight()), drawScale);
  MarkOverlayDirty();
}

void IEditorGraphics::ShowOverlay(std::unique_ptr<Overlay> next)
{
  MarkOverlayDirty();
  overlay = std::move(next);
  ClearMouseOver();
  LayoutOverlay();
  UpdateKeyboardWish();
}

void IEditorGraphics::UpdateKeyboardWish()
{
  const bool want = overlay != nullptr && window != nullptr;
  if (want == keyboardWanted)
    return;
  keyboardWanted = want;
  if (window)
    window->WantKeyboard(want);
}

void IEditorGraphics::AfterOverlayEvent()
{
  if (overlay && overlay->IsFinished())
    FinishOverlay();
}

void IEditorGraphics::FinishOverlay()
{
  if (!overlay)
    return;
  std::function<void()> answer = overlay->TakeAnswer();
  MarkOverlayDirty();
  overlay.reset();
  // The answer may open the next menu or box.
  if (answer)
    answer();
  if (!overlay && !waitingMessageBoxes.empty())
  {
    std::unique_ptr<Overlay> next = std::move(waitingMessageBoxes.front());
    waitingMessageBoxes.erase(waitingMessageBoxes.begin());
    ShowOverlay(std::move(next));
  }
  UpdateKeyboardWish();
}

void IEditorGraphics::DismissPopupMenu()
{
  if (overlay && overlay->IsPopupMenu())
  {
    static_cast<PopupMenuOverlay&>(*overlay).Dismiss();
    FinishOverlay();
  }
}

bool IEditorGraphics::IsShowingPopupMenu() const { return overlay && overlay->IsPopupMenu(); }
bool IEditorGraphics::IsShowingMessageBox() const
{
  return overlay && !overlay->IsPopupMenu() && !overlay->IsTextEntry();
}
bool IEditorGraphics::IsShowingTextEntry() const { return overlay && overlay->IsTextEntry(); }

void IEditorGraphics::CancelTextEntry()
{
  if (IsShowingTextEntry())
  {
    static_cast<TextEntryOverlay&>(*overlay).Cancel();
    FinishOverlay();
  }
}

bool IEditorGraphics::PromptForText(const std::string& caption, const std::string& acceptLabel, const IText& style,
                                    const std::string& text, size_t maxCharacters,
                                    std::function<bool(const std::string&)> accept, std::function<void()> cancelled,
                                    const std::string& placeholder)
{
  if (!window || IsShowingMessageBox())
    return false;
  DismissPopupMenu();
  CancelTextEntry();
  if (overlay)
    return false;
  auto paste = [this] {
    if (window)
      window->RequestPaste();
  };
  auto field = std::make_unique<TextEntryOverlay>(caption, acceptLabel, FontFor(style.font), text, maxCharacters,
                                                 std::move(accept), std::move(cancelled), std::move(paste));
  field->SetPlaceholder(placeholder);
  ShowOverlay(std::move(field));
  return true;
}

std::string IEditorGraphics::GetTextEntryText() const
{
  return IsShowingTextEntry() ? static_cast<const TextEntryOverlay&>(*overlay).Editing().Text() : std::string();
}

IRECT IEditorGraphics::GetTextEntryRECT() const
{
  return IsShowingTextEntry() ? PointsToLayout(static_cast<const TextEntryOverlay&>(*overlay).FieldBounds()) : IRECT();
}

std::string IEditorGraphics::GetTextEntryCaption() const
{
  return IsShowingTextEntry() ? static_cast<const TextEntryOverlay&>(*overlay).Caption() : std::string();
}

IRECT IEditorGraphics::GetTextEntryButtonRECT(bool accepting) const
{
  return IsShowingTextEntry() ? PointsToLayout(static_cast<const TextEntryOverlay&>(*overlay).ButtonBounds(accepting))
                              : IRECT();
}

bool IEditorGraphics::IsTextEntryFlashing() const
{
  return IsShowingTextEntry() && static_cast<const TextEntryOverlay&>(*overlay).IsFlashing();
}

void IEditorGraphics::PasteText(const std::string& text)
{
  if (IsShowingTextEntry())
    static_cast<TextEntryOverlay&>(*overlay).Paste(text);
}

IRECT IEditorGraphics::GetPopupMenuItemRECT(int index) const
{
  if (!IsShowingPopupMenu())
    return {};
  return PointsToLayout(static_cast<const PopupMenuOverlay&>(*overlay).ItemBounds(index));
}

std::string IEditorGraphics::GetPopupMenuItemText(int index) const
{
  return IsShowingPopupMenu() ? static_cast<const PopupMenuOverlay&>(*overlay).ShownText(index) : std::string();
}

std::string IEditorGraphics::GetMessageBoxText() const
{
  return IsShowingMessageBox() ? static_cast<const MessageBoxOverlay&>(*overlay).Text() : std::string();
}

std::string IEditorGraphics::GetMessageBoxCaption() const
{
  return IsShowingMessageBox() ? static_cast<const MessageBoxOverlay&>(*overlay).Caption() : std::string();
}

IRECT IEditorGraphics::GetMessageBoxButtonRECT(EMsgBoxResult answer) const
{
  if (!IsShowingMessageBox())
    return {};
  const auto& box = static_cast<const MessageBoxOverlay&>(*overlay);
  for (int i = 0; i < box.NButtons(); ++i)
  {
    if (box.ButtonAnswer(i) == answer)
      return PointsToLayout(box.ButtonBounds(i));
  }
  return {};
}

void IEditorGraphics::CreatePopupMenu(IControl& control, IPopupMenu& menu, const IRECT& anchor, int valIdx)
{
  if (IsShowingMessageBox())
  {
    // A message box waits for its answer: no menu opens over it.
    menu.SetChosenItemIdx(-1);
    control.OnPopupMenuSelection(nullptr, valIdx);
    return;
  }
  DismissPopupMenu();
  CancelTextEntry();
  if (overlay)
  {
    menu.SetChosenItemIdx(-1);
    control.OnPopupMenuSelection(nullptr, valIdx);
    return;
  }
  menu.SetChosenItemIdx(-1);
  IControl* target = &control;
  IPopupMenu* chosenFrom = &menu;
  auto onClose = [this, target, chosenFrom, valIdx](int index) {
    if (!OwnsControl(target))
      return;
    chosenFrom->SetChosenItemIdx(index);
    target->OnPopupMenuSelection(index >= 0 ? chosenFrom : nullptr, valIdx);
  };
  ShowOverlay(std::make_unique<PopupMenuOverlay>(menu, anchor.GetScaled(drawScale), FontFor(""), std::move(onClose)));
}

EMsgBoxResult IEditorGraphics::ShowMessageBox(const char* text, const char* caption, EMsgBoxType type,
                                              IMsgBoxCompletionHandlerFunc completion)
{
  auto box = std::make_unique<MessageBoxOverlay>(text ? text : "", caption ? caption : "", static_cast<int>(type),
                                                 FontFor(""), [completion](int answer) {
                                                   if (completion)
                                                     completion(static_cast<EMsgBoxResult>(answer));
                                                 });
  DismissPopupMenu();
  if (overlay)
    waitingMessageBoxes.push_back(std::move(box));
  else
    ShowOverlay(std::move(box));
  return kNoResult;
}

void IEditorGraphics::SetURLLauncher(URLLauncher launcher)
{
  urlLauncher = launcher ? std::move(launcher) : MakeProgramLauncher();
}

bool IEditorGraphics::LaunchURL(const std::string& address, const std::string& title, const std::string& errorMessage)
{
  const bool started = IsOpenableURL(address) && urlLauncher(address);
  if (!started && !errorMessage.empty())
    ShowMessageBox(errorMessage.c_str(), title.c_str(), kMB_OK);
  return started;
}

bool IEditorGraphics::OpenURL(const char* url, const char* msgWindowTitle, const char* confirmMsg,
                              const char* errMsgOnFailure)
{
  const std::string address = url ? url : "";
  const std::string title = msgWindowTitle ? msgWindowTitle : "";
  const std::string error = errMsgOnFailure ? errMsgOnFailure : "";
  if (confirmMsg && *confirmMsg && IsOpenableURL(address))
  {
    ShowMessageBox(confirmMsg, title.c_str(), kMB_YESNO, [this, address, title, error](EMsgBoxResult answer) {
      if (answer == kYES)
        LaunchURL(address, title, error);
    });
    return true;
  }
  return LaunchURL(address, title, error);
}
