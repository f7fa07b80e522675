#pragma once
#include <string>
#include <vector>

#include "toolkit/IBitmap.h"
#include "toolkit/ICornerResizerControl.h"
#include "toolkit/IControl.h"
#include "toolkit/IKnobControlBase.h"
#include "toolkit/IPopupMenu.h"
#include "toolkit/IText.h"

class TolmarEditor;

// Identifiers in the parameter slot of the three push buttons.
inline constexpr int kLearnButtonID = -10;
inline constexpr int kSaveButtonID = -11;
inline constexpr int kFreezeButtonID = -12;

// The rectangle of one bitmap frame with its top-left corner at (x, y).
IRECT bitmapArea(float x, float y, const IBitmap& bitmap);
// The frame (from 1) that shows a value 0..1 on a strip of n frames.
int frameForValue(double value, int n);

// Hand cursor while the pointer is over the control.
class ITolmarControlBase : public IControl
{
public:
  using IControl::IControl;
  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  void OnMouseOut() override;

protected:
  TolmarEditor& Owner() const;
};

class ITolmarOnlineMenu : public ITolmarControlBase
{
public:
  explicit ITolmarOnlineMenu(const IRECT& bounds) : ITolmarControlBase(bounds) {}
  void OnInit() override;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnPopupMenuSelection(IPopupMenu* selected, int valIdx) override;
  void Draw(IEditorGraphics&) override {}
  const IPopupMenu& GetMenu() const { return menu; }

private:
  IPopupMenu menu;
};

// The factory presets, then the user's own presets from the preset folder
// (read each time the menu opens), then saving and deleting.
class ITolmarPresetMenu : public ITolmarControlBase
{
public:
  explicit ITolmarPresetMenu(const IRECT& bounds) : ITolmarControlBase(bounds) {}
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnPopupMenuSelection(IPopupMenu* selected, int valIdx) override;
  void Draw(IEditorGraphics&) override {}
  const IPopupMenu& Menu() const { return menu; }

private:
  struct Action
  {
    enum Kind
    {
      kNone,
      kFactory,
      kUser,
      kSave,
      kDelete,
    } kind = kNone;
    int index = -1;
    std::string name;
  };

  IPopupMenu menu;
  std::vector<Action> actions; // one per menu item
};

// Covers the whole editor beneath the other controls: a right click opens
// the window-size menu.
class ITolmarSizeContextControl : public IControl
{
public:
  explicit ITolmarSizeContextControl(const IRECT& bounds) : IControl(bounds) {}
  void OnInit() override;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnPopupMenuSelection(IPopupMenu* selected, int valIdx) override;
  void Draw(IEditorGraphics&) override {}

private:
  IPopupMenu menu;
};

// Five bands from the shortest range at the top to the longest at the
// bottom; the frame shows the range the engine runs, in sync mode too.
class ITolmarRangeControl : public IControl
{
public:
  ITolmarRangeControl(float x, float y, const IBitmap& bitmap, int paramIdx);
  void OnInit() override;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void Draw(IEditorGraphics& g) override;

private:
  TolmarEditor* owner = nullptr;
  IBitmap bitmap;
};

class ITolmarSwitchTextControl : public IControl
{
public:
  ITolmarSwitchTextControl(float x, float y, int paramIdx, const IBitmap& bitmap);
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void Draw(IEditorGraphics& g) override;

private:
  IBitmap bitmap;
  IRECT area;
};

// A knob with its value caption below; the time knob shows the delay time
// or the note value.
class ITolmarKnobTextControl : public IKnobControlBase
{
public:
  ITolmarKnobTextControl(float x, float y, int paramIdx, const IBitmap& bitmap);
  void OnInit() override;
  void Draw(IEditorGraphics& g) override;
  // A right click (which reaches the knob only where the host offers no
  // menu of its own) opens the knob's menu: "Enter Value…", "Default Value".
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnPopupMenuSelection(IPopupMenu* selected, int valIdx) override;
  bool PressEditsValue(const IMouseMod& mod) const override { return !(mod.R && !mod.L); }

private:
  IPopupMenu valueMenu;
  TolmarEditor* owner = nullptr;
  IBitmap bitmap;
  IRECT area;
  IText alertStyle;
  bool isTimeKnob;
};

// The learn button (kLearnButtonID) and the freeze button (kFreezeButtonID).
class ITolmarToolsControl : public IControl
{
public:
  ITolmarToolsControl(float x, float y, int id, const IBitmap& bitmap);
  void OnInit() override;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void Draw(IEditorGraphics& g) override;
  bool IsLearnMode() const { return learnMode; }

private:
  int id;
  TolmarEditor* owner = nullptr;
  IBitmap bitmap;
  bool learnMode = true;
};

class ITolmarSaveControl : public IControl
{
public:
  ITolmarSaveControl(float x, float y, const IBitmap& bitmap);
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  void Draw(IEditorGraphics& g) override;

private:
  IBitmap bitmap;
};

class ITolmarCornerResizer : public ICornerResizerControl
{
public:
  ITolmarCornerResizer(const IRECT& graphicsBounds, float size) : ICornerResizerControl(graphicsBounds, size) {}
  void Draw(IEditorGraphics& g) override;

private:
  IColor normalColor{32, 255, 255, 0};
  IColor highlightColor{128, 255, 255, 0};
};
