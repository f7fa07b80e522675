#include "editor/TolmarControls.h"

#include <cmath>
#include <cstdio>

#include "control/UserPresetFolder.h"
#include "editor/EditorStyles.h"
#include "editor/TolmarEditor.h"
#include "params/IParam.h"
#include "plugin/TolmarDelay.h"
#include "plugin/VendorInfo.h"
#include "toolkit/IEditorGraphics.h"

namespace
{
// Message texts quote the configuration path; a very long one is cut.
constexpr int kMaxMessageBytes = 1024;

std::string formatWithPath(const char* format, const char* path)
{
  char text[kMaxMessageBytes];
  std::snprintf(text, sizeof text, format, path);
  return text;
}

TolmarEditor* ownerOf(const IControl& control)
{
  return static_cast<TolmarEditor*>(control.GetDelegate());
}
} // namespace

IRECT bitmapArea(float x, float y, const IBitmap& bitmap)
{
  return IRECT(x, y, x + static_cast<float>(bitmap.FW()), y + static_cast<float>(bitmap.FH()));
}

int frameForValue(double value, int n)
{
  if (n < 2)
    return 1;
  const int t = static_cast<int>(std::trunc((n - 1) * value + 0.5));
  const int frame = (t > 0 ? t : 0) + 1;
  return frame < n ? frame : n;
}

// --- Hand cursor -------------------------------------------------------------

void ITolmarControlBase::OnMouseOver(float, float, const IMouseMod&)
{
  GetUI()->SetMouseCursor(ECursor::HAND);
}

void ITolmarControlBase::OnMouseOut()
{
  GetUI()->SetMouseCursor(ECursor::ARROW);
}

TolmarEditor& ITolmarControlBase::Owner() const
{
  return *ownerOf(*this);
}

// --- Online menu ---------------------------------------------------------------

namespace
{
constexpr const char* kCheckForUpdate = "Check Online for Update";
constexpr const char* kCheckingForUpdate = "Checking Online for Update\xE2\x80\xA6";
} // namespace

void ITolmarOnlineMenu::OnInit()
{
  menu.Clear();
  menu.AddItem(kCheckForUpdate);
  menu.AddItem((std::string("Visit ") + VendorInfo::kVendorHost).c_str());
}

void ITolmarOnlineMenu::OnMouseDown(float, float, const IMouseMod&)
{
  // While a check runs, its item says so and cannot start a second one.
  const bool checking = Owner().isCheckingForUpdate();
  if (IPopupMenu::Item* check = menu.GetItem(0))
  {
    check->SetText(checking ? kCheckingForUpdate : kCheckForUpdate);
    check->SetEnabled(!checking);
  }
  // Below the button, not at the pointer: the menu leaves the button in
  // sight, and a second click on it lands outside the menu, which closes it.
  GetUI()->CreatePopupMenu(*this, menu, GetRECT());
}

void ITolmarOnlineMenu::OnPopupMenuSelection(IPopupMenu* selected, int)
{
  if (selected)
  {
    if (selected->GetChosenItemIdx() == 1)
      GetUI()->OpenURL(VendorInfo::kVendorStartPage);
    else if (selected->GetChosenItemIdx() == 0)
      Owner().checkVersionAgainstWeb();
  }
  GetUI()->SetAllControlsDirty();
}

// --- Preset menu ---------------------------------------------------------------

namespace
{
constexpr const char* kSavePresetItem = "Save Preset\xE2\x80\xA6";
constexpr const char* kDeletePresetItem = "Delete Preset";
} // namespace

void ITolmarPresetMenu::OnMouseDown(float, float, const IMouseMod&)
{
  const TolmarDelay& delay = Owner().getDelay();
  menu.Clear();
  actions.clear();
  auto add = [this](const char* text, int flags, Action action) {
    menu.AddItem(text, -1, flags);
    actions.push_back(std::move(action));
  };
  for (int i = 0; i < delay.NPresets(); ++i)
    add(delay.GetPresetName(i), i == delay.GetCurrentPresetIdx() ? IPopupMenu::kChecked : 0,
        {Action::kFactory, i, {}});
  // The folder is read now, on the main thread, so the menu shows what is
  // there at this moment.
  const std::vector<UserPresetFolder::Entry> user = Owner().listUserPresets();
  bool loadedListed = false;
  if (!user.empty())
  {
    menu.AddSeparator();
    actions.push_back({});
    for (const UserPresetFolder::Entry& entry : user)
    {
      const bool loaded = entry.name == delay.getUserPresetName();
      loadedListed = loadedListed || loaded;
      add(entry.name.c_str(), loaded ? IPopupMenu::kChecked : 0, {Action::kUser, -1, entry.name});
    }
  }
  menu.AddSeparator();
  actions.push_back({});
  add(kSavePresetItem, 0, {Action::kSave, -1, {}});
  // Only a user preset that is loaded can be deleted; factory presets never.
  add(kDeletePresetItem, loadedListed ? 0 : IPopupMenu::kDisabled, {Action::kDelete, -1, delay.getUserPresetName()});
  // Below the button, as the online menu: a second click on it closes.
  GetUI()->CreatePopupMenu(*this, menu, GetRECT());
}

void ITolmarPresetMenu::OnPopupMenuSelection(IPopupMenu* selected, int)
{
  const int chosen = selected ? selected->GetChosenItemIdx() : -1;
  if (chosen >= 0 && chosen < static_cast<int>(actions.size()))
  {
    const Action action = actions[static_cast<size_t>(chosen)];
    switch (action.kind)
    {
    case Action::kFactory: Owner().getDelay().changePreset(action.index); break;
    case Action::kUser: Owner().recallUserPreset(action.name); break;
    case Action::kSave: Owner().promptSavePreset(); break;
    case Action::kDelete: Owner().confirmDeletePreset(action.name); break;
    case Action::kNone: break;
    }
  }
  GetUI()->SetAllControlsDirty();
}

// --- Window-size menu ------------------------------------------------------------

void ITolmarSizeContextControl::OnInit()
{
  menu.Clear();
  for (const char* text : {"Set Windows Size to 50%", "Set Windows Size to 75%", "Set Windows Size to 100%",
                           "Set Windows Size to 200%", "Set Windows Size to 400%", "Set Windows Size to 800%"})
    menu.AddItem(text);
  menu.AddSeparator();
  menu.AddItem("Save Window Size");
}

void ITolmarSizeContextControl::OnMouseDown(float x, float y, const IMouseMod& mod)
{
  if (!mod.R)
    return;
  GetUI()->CreatePopupMenu(*this, menu, IRECT(x, y, x, y));
  SetDirty(true);
}

void ITolmarSizeContextControl::OnPopupMenuSelection(IPopupMenu* selected, int)
{
  if (!selected)
    return;
  TolmarEditor& owner = *ownerOf(*this);
  const int chosen = selected->GetChosenItemIdx();
  if (chosen >= GUI::kSize50 && chosen <= GUI::kSize800)
  {
    owner.resizeUI(static_cast<GUI::GUISize>(chosen));
  }
  else if (chosen == 7)
  {
    owner.saveConfig();
    const std::string text = formatWithPath("The current window size was saved to the INI configuration file:\n%s",
                                            owner.getDelay().getIniPath());
    GetUI()->ShowMessageBox(text.c_str(), "Save Window Size", kMB_OK);
  }
}

// --- Range selector ----------------------------------------------------------------

ITolmarRangeControl::ITolmarRangeControl(float x, float y, const IBitmap& rangeBitmap, int paramIdx)
  : IControl(bitmapArea(x, y, rangeBitmap), paramIdx), bitmap(rangeBitmap)
{
}

void ITolmarRangeControl::OnInit()
{
  owner = ownerOf(*this);
}

void ITolmarRangeControl::OnMouseDown(float x, float y, const IMouseMod&)
{
  if (IsDisabled())
    return;
  const int n = bitmap.N();
  double value;
  if (n >= 3)
  {
    const bool horizontal = bitmap.GetFramesAreHorizontal();
    const double d = horizontal ? x - GetRECT().L : y - GetRECT().T;
    const double extent = horizontal ? bitmap.W() / n : bitmap.H() / n;
    value = extent > 0 ? std::floor(n * d / extent) / (n - 1) : 0.0;
  }
  else
  {
    value = GetValue() + 1.0;
  }
  if (value > 1.001)
    value = 0.0;
  SetValue(value);
  SetDirty(true);
}

void ITolmarRangeControl::Draw(IEditorGraphics& g)
{
  const IBlend blend = GetBlend();
  g.DrawBitmap(bitmap, GetRECT(), 5 - owner->getDelay().getRangeIndex(), &blend);
}

// --- Switch ---------------------------------------------------------------------------

ITolmarSwitchTextControl::ITolmarSwitchTextControl(float x, float y, int paramIdx, const IBitmap& switchBitmap)
  : IControl(bitmapArea(x, y, switchBitmap), paramIdx), bitmap(switchBitmap), area(bitmapArea(x, y, switchBitmap))
{
  IRECT drawing = GetRECT();
  drawing.B = y + EditorLayout::kSwitchCaptionBottom;
  SetRECT(drawing);
}

void ITolmarSwitchTextControl::OnMouseDown(float, float, const IMouseMod&)
{
  const int n = bitmap.N();
  const double step = n < 2 ? 1.0 : 1.0 / (n - 1);
  double value = GetValue() + step;
  if (value > 1.001)
    value = 0.0;
  SetValue(value);
  SetDirty(true);
}

void ITolmarSwitchTextControl::Draw(IEditorGraphics& g)
{
  const IBlend blend = GetBlend();
  g.DrawBitmap(bitmap, area.GetCentredInside(static_cast<float>(bitmap.FW()), static_cast<float>(bitmap.FH())),
               frameForValue(GetValue(), bitmap.N()), &blend);
  if (const IParam* param = GetParam())
  {
    IString text;
    param->GetDisplay(param->Value(), false, text, true);
    g.DrawText(GUI::valueStyle(), text.Get(), GetRECT(), &blend);
  }
}

// --- Knob ---------------------------------------------------------------------------------

ITolmarKnobTextControl::ITolmarKnobTextControl(float x, float y, int paramIdx, const IBitmap& knobBitmap)
  : IKnobControlBase(bitmapArea(x, y, knobBitmap), paramIdx, EDirection::Vertical, 4.0),
    bitmap(knobBitmap),
    area(bitmapArea(x, y, knobBitmap)),
    alertStyle(GUI::alertStyle()),
    isTimeKnob(paramIdx == kTime)
{
  SetHideCursorOnDrag(false);
  IRECT drawing = GetRECT();
  drawing.B += EditorLayout::kKnobCaptionDrop;
  SetRECT(drawing);
}

void ITolmarKnobTextControl::OnInit()
{
  owner = ownerOf(*this);
  valueMenu.Clear();
  valueMenu.AddItem("Enter Value\xE2\x80\xA6");
  valueMenu.AddItem("Default Value");
}

void ITolmarKnobTextControl::OnMouseDown(float x, float y, const IMouseMod& mod)
{
  if (mod.R && !mod.L)
  {
    GetUI()->CreatePopupMenu(*this, valueMenu, IRECT(x, y, x, y));
    return;
  }
  IKnobControlBase::OnMouseDown(x, y, mod);
}

void ITolmarKnobTextControl::OnPopupMenuSelection(IPopupMenu* selected, int)
{
  const int chosen = selected ? selected->GetChosenItemIdx() : -1;
  if (chosen == 0)
    owner->promptForValue(GetParamIdx());
  else if (chosen == 1)
    owner->resetToDefault(GetParamIdx());
}

void ITolmarKnobTextControl::Draw(IEditorGraphics& g)
{
  const IBlend blend = GetBlend();
  g.DrawBitmap(bitmap, area.GetCentredInside(static_cast<float>(bitmap.FW()), static_cast<float>(bitmap.FH())),
               frameForValue(GetValue(), bitmap.N()), &blend);
  IString text;
  if (isTimeKnob)
  {
    const TolmarDelay& delay = owner->getDelay();
    delay.getDelayTimeDisplay(text);
    // The note is longer than the line can hold: it is halved, and the
    // caption says so in a warning colour.
    const IText style = delay.getSyncedDelayMs() > 2000.0 ? alertStyle : GUI::valueStyle();
    g.DrawText(style, text.Get(), GetRECT(), &blend);
  }
  else if (const IParam* param = GetParam())
  {
    param->GetDisplay(param->Value(), false, text, true);
    g.DrawText(GUI::valueStyle(), text.Get(), GetRECT(), &blend);
  }
}

// --- Learn and freeze buttons -------------------------------------------------------------

ITolmarToolsControl::ITolmarToolsControl(float x, float y, int buttonID, const IBitmap& buttonBitmap)
  : IControl(bitmapArea(x, y, buttonBitmap), buttonID), id(buttonID), bitmap(buttonBitmap)
{
}

void ITolmarToolsControl::OnInit()
{
  owner = ownerOf(*this);
}

void ITolmarToolsControl::OnMouseDown(float, float, const IMouseMod& mod)
{
  TolmarDelay& delay = owner->getDelay();
  if (id == kFreezeButtonID)
  {
    delay.doFreeze();
  }
  else if (id == kLearnButtonID)
  {
    if (mod.L)
    {
      const bool arm = !delay.isMidiLearnArmed();
      if (learnMode)
        delay.doMidiLearn(arm);
      else
        delay.doMidiUnlearn(arm);
    }
    else if (mod.R && !delay.isMidiLearnArmed())
    {
      learnMode = !learnMode;
    }
  }
  SetDirty(true);
}

void ITolmarToolsControl::Draw(IEditorGraphics& g)
{
  const TolmarDelay& delay = owner->getDelay();
  const bool on = id == kFreezeButtonID ? delay.isFrozen() : id == kLearnButtonID && delay.isMidiLearnArmed();
  const IBlend blend = GetBlend();
  g.DrawBitmap(bitmap, GetRECT(), on ? 2 : 1, &blend);
  const char* label = id == kFreezeButtonID ? "FREEZE" : id == kLearnButtonID ? (learnMode ? "LEARN" : "UNLEARN") : "";
  if (label[0])
    g.DrawText(GUI::buttonStyle(), label, GetRECT(), &blend);
}

// --- Save button ------------------------------------------------------------------------------

ITolmarSaveControl::ITolmarSaveControl(float x, float y, const IBitmap& buttonBitmap)
  : IControl(bitmapArea(x, y, buttonBitmap), kSaveButtonID), bitmap(buttonBitmap)
{
}

void ITolmarSaveControl::OnMouseDown(float, float, const IMouseMod&)
{
  SetValue(1.0);
  SetDirty(true);
}

void ITolmarSaveControl::OnMouseUp(float, float, const IMouseMod&)
{
  SetValue(0.0);
  SetDirty(true);
  TolmarEditor* owner = ownerOf(*this);
  const std::string text = formatWithPath(
      "The INI configuration file is:\n%s\n\nDo you really want to overwrite it?", owner->getDelay().getIniPath());
  GetUI()->ShowMessageBox(text.c_str(), "Save Configuration", kMB_YESNO, [owner](EMsgBoxResult answer) {
    if (answer == kYES)
      owner->saveConfig();
  });
}

void ITolmarSaveControl::Draw(IEditorGraphics& g)
{
  const IBlend blend = GetBlend();
  g.DrawBitmap(bitmap, GetRECT(), GetValue() > 0.5 ? 2 : 1, &blend);
  g.DrawText(GUI::buttonStyle(), "save config", GetRECT(), &blend);
}

// --- Corner handle --------------------------------------------------------------------------------

void ITolmarCornerResizer::Draw(IEditorGraphics& g)
{
  const IRECT& r = GetRECT();
  g.FillTriangle(IsHighlighted() ? highlightColor : normalColor, r.L, r.B, r.R, r.T, r.R, r.B);
}
