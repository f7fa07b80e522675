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
  // comes back with what was typed; a factory preset is never overwritten.
  for (const char* bad : {"a/b", "Slapback", "   "})
  {
    savePreset(bad);
    ASSERT_TRUE(g().IsShowingMessageBox()) << bad;
    answerMessageBox(kOK);
    ASSERT_TRUE(g().IsShowingTextEntry()) << bad;
    EXPECT_EQ(g().GetTextEntryText(), bad);
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
  auto enterValue = [&](int control, const char* text) {
    const IRECT knob = g().GetControl(control)->GetTargetRECT();
    offscreen->Click(knob.MW(), knob.MH(), IMouseMod(false, true));
    ASSERT_TRUE(g().IsShowingPopupMenu());
    chooseMenuItem(0);
    ASSERT_TRUE(g().IsShowingTextEntry());
    // Over the value caption, below the knob.
    EXPECT_GE(g().GetTextEntryRECT().MH(), knob.B);
    offscreen->Type(text);
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

  // The hosts' reader for the others: shown forms and bare numbers.
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
