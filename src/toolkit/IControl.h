#pragma once
#include <atomic>
#include <memory>
#include <string>

#include "toolkit/IColor.h"
#include "toolkit/IMouseMod.h"
#include "toolkit/IRECT.h"

class IEditorGraphics;
class IGraphicsDelegate;
class IParam;
class IPopupMenu;

inline constexpr int kNoParameter = -1;
inline constexpr int kNoValIdx = -1;
inline constexpr int kNoTag = -1;

// The base of every control: a drawing rectangle, a hit rectangle (the
// target), one or more value slots (each normalised 0..1 and optionally
// bound to a parameter; a negative index means no parameter) and the
// dirty, disabled and hidden flags.
//
// All callbacks are called on the main thread by IEditorGraphics. SetDirty,
// SetDisabled and IsDirty may also be called from other threads: the flags
// and values they touch are atomic.
class IControl
{
public:
  explicit IControl(const IRECT& bounds, int paramIdx = kNoParameter);
  IControl(const IRECT& bounds, std::initializer_list<int> paramIndices);
  virtual ~IControl() = default;
  IControl(const IControl&) = delete;
  IControl& operator=(const IControl&) = delete;

  // Main thread: after the control was attached to a graphics context.
  virtual void OnInit() {}
  // Main thread: draws the control; only the IEditorGraphics drawing calls
  // are valid here.
  virtual void Draw(IEditorGraphics& g) = 0;

  // Main thread, mouse callbacks in layout units.
  virtual void OnMouseDown(float x, float y, const IMouseMod& mod);
  virtual void OnMouseUp(float x, float y, const IMouseMod& mod);
  virtual void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod);
  // Resets every bound parameter to its default and sends it to the host;
  // a control without a parameter is only redrawn.
  virtual void OnMouseDblClick(float x, float y, const IMouseMod& mod);
  virtual void OnMouseWheel(float x, float y, const IMouseMod& mod, float d);
  // Called on every pointer move over the control (no button held);
  // OnMouseOut once when the pointer leaves it.
  virtual void OnMouseOver(float x, float y, const IMouseMod& mod);
  virtual void OnMouseOut();
  // Main thread: a key stroke while the pointer is over the control; true
  // when handled.
  virtual bool OnKeyDown(float x, float y, const IKeyPress& key);
  // Main thread: the pop-up menu opened by this control closed, with its
  // chosen index set, or null when it was dismissed.
  virtual void OnPopupMenuSelection(IPopupMenu* menu, int valIdx);
  // Main thread: whether a press with these buttons edits the control's
  // parameters (and so opens a gesture with the host) rather than, say,
  // opening a menu.
  virtual bool PressEditsValue(const IMouseMod& mod) const
  {
    (void)mod;
    return true;
  }
  // Main thread: the window's scale or size changed.
  virtual void OnRescale() {}
  // Whether (x, y) hits the control; the target rectangle by default.
  virtual bool IsHit(float x, float y) const;

  // Clamps the value(s) to 0..1 and marks the control for redraw. With
  // triggerAction, each value bound to a parameter is sent to the host.
  // valIdx selects one slot; kNoValIdx means all.
  virtual void SetDirty(bool triggerAction = true, int valIdx = kNoValIdx);
  void SetClean() { dirty.store(false, std::memory_order_release); }
  bool IsDirty() const { return dirty.load(std::memory_order_acquire); }

  // A value from the plug-in: ignored while the mouse holds this control;
  // otherwise stored and redrawn when it differs.
  virtual void SetValueFromDelegate(double value, int valIdx = 0);
  void SetValue(double value, int valIdx = 0);
  double GetValue(int valIdx = 0) const;
  int NVals() const { return nVals; }
  int GetParamIdx(int valIdx = 0) const;
  void SetParamIdx(int paramIdx, int valIdx = 0);
  // The parameter bound to a value slot, or null.
  const IParam* GetParam(int valIdx = 0) const;
  // A normalised value moved onto the parameter's step grid when the
  // parameter is stepped; otherwise unchanged.
  double SnapToParamStep(double normalized, int valIdx = 0) const;

  // A disabled control draws at a quarter of its opacity and gets no mouse
  // events.
  void SetDisabled(bool disable);
  bool IsDisabled() const { return disabled.load(std::memory_order_acquire); }
  void Hide(bool hide);
  bool IsHidden() const { return hidden; }
  void SetIgnoreMouse(bool ignore) { ignoreMouse = ignore; }
  bool GetIgnoreMouse() const { return ignoreMouse; }
  // Whether the control takes part in mouse events at all.
  bool ReceivesMouse() const { return !IsDisabled() && !hidden && !ignoreMouse; }

  IBlend GetBlend() const { return IBlend(EBlend::Default, blendWeight.load(std::memory_order_acquire)); }

  const IRECT& GetRECT() const { return rect; }
  void SetRECT(const IRECT& bounds) { rect = bounds; }
  const IRECT& GetTargetRECT() const { return targetRect; }
  void SetTargetRECT(const IRECT& bounds) { targetRect = bounds; }
  void SetTargetAndDrawRECTs(const IRECT& bounds) { rect = targetRect = bounds; }

  bool GetMouseIsOver() const { return mouseIsOver; }
  int GetTag() const { return tag; }
  const std::string& GetGroup() const { return group; }

  IEditorGraphics* GetUI() const { return graphics; }
  IGraphicsDelegate* GetDelegate() const { return delegate; }

  // Called by IEditorGraphics when it takes the control.
  void Attach(IEditorGraphics* owner, IGraphicsDelegate* plugin, int controlTag, const char* controlGroup);

protected:
  bool mouseIsOver = false;

private:
  struct ValueSlot
  {
    int paramIdx = kNoParameter;
    std::atomic<double> value{0.0};
  };
  ValueSlot* Slot(int valIdx) const;
  void SendToHost(int valIdx);

  IRECT rect;
  IRECT targetRect;
  std::unique_ptr<ValueSlot[]> slots;
  int nVals = 1;
  std::atomic<bool> dirty{true};
  std::atomic<bool> disabled{false};
  std::atomic<float> blendWeight{1.f};
  bool hidden = false;
  bool ignoreMouse = false;
  int tag = kNoTag;
  std::string group;
  IEditorGraphics* graphics = nullptr;
  IGraphicsDelegate* delegate = nullptr;
};
