// The preset menu's user presets and the knobs' typed values, worked from
// the editor as a user works them.
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "control/UserPresetFolder.h"
#include "editor/EditorFixture.h"

namespace fs = std::filesystem;

namespace
{
class UserPresetMenuTest : public EditorTest
{
protected:
  void SetUp() override
  {
    EditorTest::SetUp();
    fs::remove_all(UserPresetFolder::defaultFolder());
  }
  void TearDown() override
  {
    EditorTest::TearDown();
    fs::remove_all(UserPresetFolder::defaultFolder());
  }

  void openPresetMenu()
  {
    const IRECT r = g().GetControl(3)->GetTargetRECT();
    offscreen->Click(r.MW(), r.MH());
    ASSERT_TRUE(g().IsShowingPopupMenu());
  }

  // The preset menu's items as a user reads them (separators empty).
  std::vector<std::string> presetMenu()
  {
    openPresetMenu();
    std::vector<std::string> items;
    auto* menu = &static_cast<ITolmarPresetMenu*>(g().GetControl(3))->Menu();
    for (int i = 0; i < menu->NItems(); ++i)
      items.push_back(std::string(menu->GetItem(i)->IsChecked() ? "*" : "") + menu->GetItemText(i) +
                      (menu->GetItem(i)->IsEnabled() ? "" : " (disabled)"));
    offscreen->Key(kVK_ESCAPE);
    return items;
  }

  int itemIndex(const std::string& text)
  {
    auto* menu = &static_cast<ITolmarPresetMenu*>(g().GetControl(3))->Menu();
    for (int i = 0; i < menu->NItems(); ++i)
      if (text == menu->GetItemText(i))
        return i;
    return -1;
  }

  void choosePreset(const std::string& text)
  {
    openPresetMenu();
    const int index = itemIndex(text);
    ASSERT_GE(index, 0) << text;
    chooseMenuItem(index);
  }

  // Presses the open text box's accepting or Cancel button with the mouse.
  void clickTextEntryButton(bool accepting)
  {
    ASSERT_TRUE(g().IsShowingTextEntry());
    const IRECT button = g().GetTextEntryButtonRECT(accepting);
    ASSERT_FALSE(button.Empty());
    offscreen->Click(button.MW(), button.MH());
  }

  void savePreset(const char* name)
  {
    choosePreset("Save Preset\xE2\x80\xA6");
    ASSERT_TRUE(g().IsShowingTextEntry());
    offscreen->Press(IKeyPress("a", 'A', false, true));
    offscreen->Type(name);
    offscreen->Key(kVK_RETURN);
  }
};

std::vector<std::string> factoryItems()
{
  std::vector<std::string> items;
  for (const auto& preset : kFactoryPresets)
    items.push_back(preset.name);
  return items;
}
} // namespace

TEST_F(UserPresetMenuTest, SavingRecallingReplacingAndDeletingFromTheMenu)
{
  open();
  delay.set(kFeedback, 0.9);
  savePreset("Ring");
  EXPECT_FALSE(g().IsShowingTextEntry());
  EXPECT_FALSE(g().IsShowingMessageBox());
  ASSERT_TRUE(UserPresetFolder().exists("Ring"));
  std::vector<std::string> expected = factoryItems();
  expected[0] = "default"; // no longer ticked: the saved preset is the loaded one
  for (const char* item : {"", "*Ring", "", "Save Preset\xE2\x80\xA6", "Delete Preset"})
    expected.push_back(item);
  EXPECT_EQ(presetMenu(), expected);

  // Recalled after a factory preset, as one edit of every changed value.
  choosePreset("Vibrato");
  frame();
  host.calls.clear();
  choosePreset("Ring");
  EXPECT_EQ(delay->Param(kFeedback).Value(), 0.9);
  EXPECT_EQ(delay->getUserPresetName(), "Ring");
  frame();
  EXPECT_NEAR(g().GetControl(7)->GetValue(), delay->Param(kFeedback).GetNormalized(), 1e-12);

  // Saving under the same name asks first; No keeps the file, Yes replaces it.
  delay.set(kFeedback, -0.3);
  savePreset("Ring");
  ASSERT_TRUE(g().IsShowingMessageBox());
  EXPECT_NE(g().GetMessageBoxText().find("\"Ring\" exists already"), std::string::npos);
  answerMessageBox(kNO);
  EXPECT_EQ((*UserPresetFolder().load("Ring"))[31 + 2 * 8], StateFormat::componentState({3, 0.6, 0.9, 0.15, 0, 0.5, 1, 0, 0})[31 + 2 * 8]);
  savePreset("Ring");
  answerMessageBox(kYES);
  choosePreset("Slapback");
  choosePreset("Ring");
  EXPECT_EQ(delay->Param(kFeedback).Value(), -0.3);

  // Names that cannot be file names are refused with a word, and the field
  // comes back with what was typed (blanks alone as nothing); a factory
  // preset is never overwritten.
  for (const std::string bad : {"a/b", "Slapback", "   "})
  {
    savePreset(bad.c_str());
    ASSERT_TRUE(g().IsShowingMessageBox()) << bad;
    answerMessageBox(kOK);
    ASSERT_TRUE(g().IsShowingTextEntry()) << bad;
    EXPECT_EQ(g().GetTextEntryText(), bad == "   " ? "" : bad);
    offscreen->Key(kVK_ESCAPE);
  }
  savePreset(std::string(101, 'n').c_str());
  ASSERT_TRUE(g().IsShowingMessageBox());
  EXPECT_NE(g().GetMessageBoxText().find("100 characters"), std::string::npos);
  answerMessageBox(kOK);
  offscreen->Key(kVK_ESCAPE);
  EXPECT_EQ(UserPresetFolder().list().size(), 1u);

  // Delete asks; afterwards the menu lists no user preset and ticks nothing.
  choosePreset("Delete Preset");
  ASSERT_TRUE(g().IsShowingMessageBox());
  answerMessageBox(kNO);
  EXPECT_TRUE(UserPresetFolder().exists("Ring"));
  choosePreset("Delete Preset");
  answerMessageBox(kYES);
  EXPECT_FALSE(UserPresetFolder().exists("Ring"));
  expected = factoryItems();
  for (const char* item : {"", "Save Preset\xE2\x80\xA6", "Delete Preset (disabled)"})
    expected.push_back(item);
  EXPECT_EQ(presetMenu(), expected);

  // A file damaged behind the menu's back: left out, the editor goes on.
  fs::create_directories(UserPresetFolder::defaultFolder());
  std::ofstream(UserPresetFolder::defaultFolder() + "/Broken.vstpreset") << "VST3 not really";
  EXPECT_EQ(presetMenu(), expected);
}

TEST_F(UserPresetMenuTest, TypedValuesFromTheKnobsOwnMenuAreReadAsTheCaptionShowsThem)
{
  open();
  const IRECT time = g().GetControl(6)->GetTargetRECT();
  auto enterValue = [&](int control, const char* text, bool withMouse = false) {
    const IRECT knob = g().GetControl(control)->GetTargetRECT();
    offscreen->Click(knob.MW(), knob.MH(), IMouseMod(false, true));
    ASSERT_TRUE(g().IsShowingPopupMenu());
    chooseMenuItem(0);
    ASSERT_TRUE(g().IsShowingTextEntry());
    // Asking for the knob's parameter by its name.
    EXPECT_EQ(g().GetTextEntryCaption(), delay->GetParam(g().GetControl(control)->GetParamIdx())->GetName());
    offscreen->Type(text);
    if (withMouse)
      clickTextEntryButton(true);
    else
      offscreen->Key(kVK_RETURN);
  };
  host.calls.clear();
  enterValue(6, "100ms");
  EXPECT_EQ(host.calls, (std::vector<std::string>{"begin 1", "perform 1", "end 1"}));
  IString shown;
  delay->getDelayTimeDisplay(shown);
  EXPECT_STREQ(shown.Get(), "100ms");

  // In another range the same text gives another time, the one showing it.
  delay.set(kRange, 4);
  enterValue(6, "1250 ms");
  delay->getDelayTimeDisplay(shown);
  EXPECT_STREQ(shown.Get(), "1250ms");
  // Beyond the range: refused, the field flashes and stays.
  enterValue(6, "3000ms");
  EXPECT_TRUE(g().IsTextEntryFlashing());
  offscreen->Key(kVK_ESCAPE);

  // Synced, the time knob takes note values.
  delay.set(kDelaySync, 1);
  frame();
  enterValue(6, "1/8");
  delay.sync();
  delay->getDelayTimeDisplay(shown);
  EXPECT_STREQ(shown.Get(), "1/8");

  // The hosts' reader for the others: shown forms and bare numbers. OK,
  // pressed with the mouse, applies as Return does.
  enterValue(7, "0.4", true);
  EXPECT_FALSE(g().IsShowingTextEntry());
  EXPECT_DOUBLE_EQ(delay->Param(kFeedback).Value(), 0.4);
  enterValue(7, "40%");
  EXPECT_DOUBLE_EQ(delay->Param(kFeedback).Value(), 0.4);
  enterValue(11, "Wet");
  EXPECT_DOUBLE_EQ(delay->Param(kMix).Value(), 1.0);
  enterValue(8, "2.5");
  EXPECT_DOUBLE_EQ(delay->Param(kLFOSpeed).Value(), 2.5);
  host.calls.clear();
  enterValue(7, "loud");
  EXPECT_TRUE(g().IsShowingTextEntry());
  EXPECT_TRUE(host.calls.empty());
  offscreen->Click(5, 5); // elsewhere: cancelled
  EXPECT_FALSE(g().IsShowingTextEntry());
  EXPECT_DOUBLE_EQ(delay->Param(kFeedback).Value(), 0.4);

  // "Default Value", and the double click still resets.
  offscreen->Click(g().GetControl(7)->GetTargetRECT().MW(), g().GetControl(7)->GetTargetRECT().MH(), IMouseMod(false, true));
  chooseMenuItem(1);
  EXPECT_EQ(delay->Param(kFeedback).Value(), 0.0);
  offscreen->DoubleClick(time.MW(), time.MH());
  EXPECT_EQ(delay->Param(kTime).Value(), 0.6);
}

// The preset menu and the name box as a user meets them: the PRESETS button
// opens and closes its menu (and the online menu's button its menu), the
// box asks for a "Preset name" with Save and Cancel buttons for the mouse,
// a refused empty name brings back an empty field, a long name is cut in
// the menu, and a state the host restores with a user preset's values (as
// hosts load the preset files they list) ticks that preset.
TEST_F(UserPresetMenuTest, TheMenuButtonsTheNameBoxLongNamesAndRestoredUserPresets)
{
  open();
  for (int button : {3, 1})
  {
    const IRECT r = g().GetControl(button)->GetTargetRECT();
    offscreen->Click(r.MW(), r.MH());
    ASSERT_TRUE(g().IsShowingPopupMenu()) << button;
    offscreen->Click(r.MW(), r.MH());
    EXPECT_FALSE(g().IsShowingPopupMenu()) << "a second click closes, control " << button;
    offscreen->Click(r.MW(), r.MH());
    EXPECT_TRUE(g().IsShowingPopupMenu()) << "and a third opens again, control " << button;
    offscreen->Key(kVK_ESCAPE);
  }

  // Saved with the mouse; the box holds the loaded preset's name the next
  // time, and nothing typed over it is refused and comes back empty.
  delay.set(kFeedback, 0.7);
  choosePreset("Save Preset\xE2\x80\xA6");
  ASSERT_TRUE(g().IsShowingTextEntry());
  EXPECT_EQ(g().GetTextEntryCaption(), "Preset name");
  offscreen->Type("Echo One");
  clickTextEntryButton(true);
  EXPECT_FALSE(g().IsShowingTextEntry());
  EXPECT_TRUE(UserPresetFolder().exists("Echo One"));
  choosePreset("Save Preset\xE2\x80\xA6");
  EXPECT_EQ(g().GetTextEntryText(), "Echo One");
  offscreen->Key(kVK_BACK);
  offscreen->Key(kVK_RETURN);
  ASSERT_TRUE(g().IsShowingMessageBox());
  EXPECT_EQ(g().GetMessageBoxText(), "A preset needs a name.");
  answerMessageBox(kOK);
  ASSERT_TRUE(g().IsShowingTextEntry());
  EXPECT_EQ(g().GetTextEntryText(), "");
  clickTextEntryButton(false);
  EXPECT_FALSE(g().IsShowingTextEntry());
  EXPECT_FALSE(g().IsShowingMessageBox());

  // A 90-character name: cut with an ellipsis, the menu neither shrinks
  // nor grows beyond its three columns.
  openPresetMenu();
  const IRECT firstBefore = g().GetPopupMenuItemRECT(0);
  offscreen->Key(kVK_ESCAPE);
  const std::string longName = "A" + std::string(88, 'o') + "h";
  std::string error;
  delay.set(kFeedback, 0.3);
  ASSERT_TRUE(UserPresetFolder().save(longName, delay->userPresetState(), error)) << error;
  openPresetMenu();
  const int longItem = itemIndex(longName);
  ASSERT_GE(longItem, 0);
  const std::string shown = g().GetPopupMenuItemText(longItem);
  EXPECT_LT(shown.size(), 40u);
  EXPECT_EQ(shown.substr(shown.size() - 3), "...");
  EXPECT_NEAR(g().GetPopupMenuItemRECT(0).H(), firstBefore.H(), 0.5f);
  EXPECT_LE(g().GetPopupMenuItemRECT(longItem).W(), 2.f * 220.f + 0.5f) << "one column, in layout units";
  offscreen->Key(kVK_ESCAPE);

  // The host restores "Echo One"'s file: ticked, and it can be deleted,
  // although "default", left for it when it was saved, holds its values.
  delay->changePreset(3);
  IByteChunk state;
  const std::vector<char> bytes = *UserPresetFolder().load("Echo One");
  state.PutBytes(bytes.data(), static_cast<int>(bytes.size()));
  ASSERT_GE(delay->unserializeTolmarState(state, 0), 0);
  std::vector<std::string> items = presetMenu();
  EXPECT_NE(std::find(items.begin(), items.end(), "*Echo One"), items.end());
  EXPECT_NE(std::find(items.begin(), items.end(), "Delete Preset"), items.end());
}
