#include <fstream>
#include <sstream>

#include "editor/EditorFixture.h"

namespace
{
std::string readFile(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}
} // namespace

TEST_F(EditorTest, KnobGesturesReachTheHostAndTheEngine)
{
  delay.set(kTime, 0.0);
  open();
  const IRECT knob = g().GetControl(6)->GetTargetRECT();
  // Dragging up by four knob heights sweeps the whole range.
  offscreen->Drag(knob.MW(), knob.MH(), knob.MW(), knob.MH() - 4 * knob.H(), 20);
  EXPECT_NEAR(delay->GetParam(kTime)->Value(), 1.0, 1e-9);
  EXPECT_EQ(host.calls.front(), "begin 1");
  EXPECT_EQ(host.calls.back(), "end 1");
  EXPECT_GT(host.performed.size(), 5u);
  delay.sync();
  EXPECT_NEAR(delay->getTimeFraction(), 1.0, 1e-9); // the engine follows at the next block

  // Shift gears ten times finer: one knob height moves a fortieth.
  host.calls.clear();
  offscreen->Drag(knob.MW(), knob.MH(), knob.MW(), knob.MH() + knob.H(), 10, IMouseMod(true, false, true));
  EXPECT_NEAR(delay->GetParam(kTime)->Value(), 1.0 - 1.0 / 40.0, 1e-6);
  offscreen->Drag(knob.MW(), knob.MH(), knob.MW(), knob.MH() + knob.H(), 10, IMouseMod(true, false, false, true));
  EXPECT_NEAR(delay->GetParam(kTime)->Value(), 1.0 - 2.0 / 40.0, 1e-6);

  // The wheel moves by a hundredth, a thousandth when fine.
  const double before = delay->GetParam(kTime)->Value();
  offscreen->Wheel(knob.MW(), knob.MH(), -1.f);
  EXPECT_NEAR(delay->GetParam(kTime)->Value(), before - 0.01, 1e-6);
  offscreen->Wheel(knob.MW(), knob.MH(), 1.f, IMouseMod(false, false, true));
  EXPECT_NEAR(delay->GetParam(kTime)->Value(), before - 0.009, 1e-6);

  // A double click returns to the default.
  host.calls.clear();
  offscreen->DoubleClick(knob.MW(), knob.MH());
  EXPECT_NEAR(delay->GetParam(kTime)->Value(), 0.6, 1e-9);
  ASSERT_GE(host.calls.size(), 3u);
  EXPECT_EQ(host.calls.front(), "begin 1");
  EXPECT_EQ(host.calls.back(), "end 1");
}

TEST_F(EditorTest, RangeSelectorBandsAndSyncDimming)
{
  open();
  IControl* range = g().GetControl(4);
  const IRECT r = range->GetTargetRECT();
  const float band = r.H() / 5.f;
  offscreen->Click(r.MW(), r.T + 2.5f * band); // third band from the top
  EXPECT_EQ(delay->GetParam(kRange)->Value(), 2.0);
  delay.sync();
  EXPECT_EQ(delay->getRangeIndex(), 2); // frame 5 - 2 = 3
  offscreen->Click(r.MW(), r.T + 0.5f * band);
  EXPECT_EQ(delay->GetParam(kRange)->Value(), 0.0);
  offscreen->Click(r.MW(), r.B - 1.f);
  EXPECT_EQ(delay->GetParam(kRange)->Value(), 4.0);

  // Delay sync on: dimmed to a quarter and deaf.
  IControl* syncSwitch = g().GetControl(5);
  offscreen->Click(syncSwitch->GetTargetRECT().MW(), syncSwitch->GetTargetRECT().MH());
  EXPECT_EQ(delay->GetParam(kDelaySync)->Value(), 1.0);
  frame();
  EXPECT_TRUE(range->IsDisabled());
  EXPECT_FLOAT_EQ(range->GetBlend().weight, 0.25f);
  offscreen->Click(r.MW(), r.T + 0.5f * band);
  EXPECT_EQ(delay->GetParam(kRange)->Value(), 4.0);
  // Off again: restored at once.
  offscreen->Click(syncSwitch->GetTargetRECT().MW(), syncSwitch->GetTargetRECT().MH());
  frame();
  EXPECT_FALSE(range->IsDisabled());
  EXPECT_FLOAT_EQ(range->GetBlend().weight, 1.0f);
}

TEST_F(EditorTest, SwitchTogglesAndShowsItsState)
{
  open();
  IControl* lfoSync = g().GetControl(9);
  const IRECT r = lfoSync->GetTargetRECT();
  offscreen->Click(r.MW(), r.MH());
  EXPECT_EQ(delay->GetParam(kLFOSync)->Value(), 1.0);
  delay.sync();
  EXPECT_TRUE(delay->isLFOSynced());
  IString text;
  delay->GetParam(kLFOSync)->GetDisplay(text);
  EXPECT_STREQ(text.Get(), "ON");
  offscreen->Click(r.MW(), r.MH());
  EXPECT_EQ(delay->GetParam(kLFOSync)->Value(), 0.0);
  // The caption strip below the switch is not clickable.
  offscreen->Click(r.MW(), r.B + 20.f);
  EXPECT_EQ(delay->GetParam(kLFOSync)->Value(), 0.0);
}

TEST_F(EditorTest, LearnButtonStates)
{
  open();
  auto* learn = editor->getLearnButton();
  const IRECT r = learn->GetTargetRECT();
  const IMouseMod left(true), right(false, true);

  offscreen->Click(r.MW(), r.MH(), left); // learn, not armed -> arm
  delay.sync();
  EXPECT_TRUE(delay->isMidiLearnArmed());
  EXPECT_FALSE(delay->isMidiUnlearnMode());
  offscreen->Click(r.MW(), r.MH(), right); // armed: right click does nothing
  EXPECT_TRUE(learn->IsLearnMode());
  offscreen->Click(r.MW(), r.MH(), left); // disarm
  delay.sync();
  EXPECT_FALSE(delay->isMidiLearnArmed());

  offscreen->Click(r.MW(), r.MH(), right); // switch to unlearn
  EXPECT_FALSE(learn->IsLearnMode());
  offscreen->Click(r.MW(), r.MH(), left);
  delay.sync();
  EXPECT_TRUE(delay->isMidiLearnArmed());
  EXPECT_TRUE(delay->isMidiUnlearnMode());
  offscreen->Click(r.MW(), r.MH(), left);
  delay.sync();
  EXPECT_FALSE(delay->isMidiLearnArmed());
  offscreen->Click(r.MW(), r.MH(), right); // back to learn
  EXPECT_TRUE(learn->IsLearnMode());

  // Completing a binding through a knob and a controller releases the button.
  offscreen->Click(r.MW(), r.MH(), left);
  delay.sync();
  const IRECT mix = g().GetControl(11)->GetTargetRECT();
  offscreen->Drag(mix.MW(), mix.MH(), mix.MW(), mix.MH() - 20.f);
  delay.sync();
  IMidiMsg cc;
  cc.status = 0xB0;
  cc.data1 = 7;
  delay->ProcessMidiMsg(cc);
  frame();
  EXPECT_FALSE(delay->isMidiLearnArmed());
  EXPECT_EQ(delay->getMidiCCMapping(7), kMix);
  EXPECT_EQ(learn->GetValue(), 0.0);
}

TEST_F(EditorTest, FreezeButtonToggles)
{
  open();
  const IRECT r = editor->getFreezeButton()->GetTargetRECT();
  offscreen->Click(r.MW(), r.MH());
  delay.sync();
  EXPECT_TRUE(delay->isFrozen());
  offscreen->Click(r.MW(), r.MH(), IMouseMod(false, true)); // any button
  delay.sync();
  EXPECT_FALSE(delay->isFrozen());
}

TEST_F(EditorTest, SaveButtonAsksBeforeWriting)
{
  open();
  const std::string path = delay->getIniPath();
  ASSERT_FALSE(path.empty());
  const std::string before = readFile(path);
  IMidiMsg cc;
  cc.status = 0xB0;
  cc.data1 = 21;
  delay.pressLearn(true);
  delay->ProcessMidiMsg(cc);
  delay.touch(kFeedback, 0.2);

  const IRECT r = g().GetControl(14)->GetTargetRECT();
  offscreen->Click(r.MW(), r.MH());
  ASSERT_TRUE(g().IsShowingMessageBox());
  answerMessageBox(kNO);
  EXPECT_FALSE(g().IsShowingMessageBox());
  EXPECT_EQ(readFile(path), before);

  offscreen->Click(r.MW(), r.MH());
  answerMessageBox(kYES);
  const std::string after = readFile(path);
  EXPECT_NE(after.find("CC21=2"), std::string::npos) << after;
  EXPECT_NE(after.find("Scale=0.500000"), std::string::npos) << after;
}

TEST_F(EditorTest, SaveWindowSizeWritesTheScaleInUse)
{
  open();
  offscreen->Drag(1358, 342, 1200, 300);
  const float dragged = g().GetDrawScale();
  offscreen->Click(700, 120, IMouseMod(false, true));
  chooseMenuItem(7);
  ASSERT_TRUE(g().IsShowingMessageBox());
  answerMessageBox(kOK);
  char expected[32];
  std::snprintf(expected, sizeof expected, "Scale=%f", dragged);
  EXPECT_NE(readFile(delay->getIniPath()).find(expected), std::string::npos);
}

TEST_F(EditorTest, PresetMenuListsAndSwitches)
{
  open();
  const IRECT r = g().GetControl(3)->GetTargetRECT();
  offscreen->Click(r.MW(), r.MH());
  ASSERT_TRUE(g().IsShowingPopupMenu());
  // The ten factory presets; with no preset of the user's, a separator and
  // the saving and deleting items follow.
  for (int i = 0; i < 13; ++i)
    EXPECT_FALSE(g().GetPopupMenuItemRECT(i).Empty()) << i;
  EXPECT_TRUE(g().GetPopupMenuItemRECT(13).Empty());
  chooseMenuItem(7);
  EXPECT_EQ(delay->GetCurrentPresetIdx(), 7);
  EXPECT_EQ(delay->GetParam(kMix)->Value(), 1.0);
  frame();
  EXPECT_DOUBLE_EQ(g().GetControl(11)->GetValue(), 1.0); // the Mix knob shows it

  // Reopened, the menu marks "Vibrato"; Escape dismisses it.
  offscreen->Click(r.MW(), r.MH());
  ASSERT_TRUE(g().IsShowingPopupMenu());
  offscreen->Key(kVK_ESCAPE);
  EXPECT_FALSE(g().IsShowingPopupMenu());
  EXPECT_EQ(delay->GetCurrentPresetIdx(), 7);
}

TEST_F(EditorTest, OnlineMenuOpensTheVendorsSite)
{
  open();
  const IRECT r = g().GetControl(1)->GetTargetRECT();
  offscreen->Click(r.MW(), r.MH());
  ASSERT_TRUE(g().IsShowingPopupMenu());
  chooseMenuItem(1);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], "http://www.tolmarmusic.com/music/");
}

TEST_F(EditorTest, TimeCaptionTurnsOrangeRedForLongNotes)
{
  open();
  delay.set(kTime, 1.0); // "2/1"
  delay->GetTimeInfo().tempo = 60.0;
  delay.set(kDelaySync, 1.0);
  EXPECT_GT(delay->getSyncedDelayMs(), 2000.0);
  delay.set(kDelaySync, 0.0);
  // Still orange red: the synced length is kept while sync is off.
  EXPECT_GT(delay->getSyncedDelayMs(), 2000.0);
}

TEST_F(EditorTest, ClosedEditorIsNeverTouched)
{
  open();
  close();
  EXPECT_EQ(editor->getTimeKnob(), nullptr);
  // Automation, freeze, learn and host values after the close.
  delay.set(kTime, 0.3);
  delay->doFreeze();
  delay->doMidiLearn(true);
  delay->doMidiLearn(false);
  delay->SendParameterValueFromDelegate(kMix, 0.2, true);
  editor->applyPendingChanges();
  editor->OnFrame();
  open();
  EXPECT_NEAR(g().GetControl(6)->GetValue(), 0.3, 1e-9);
}

TEST_F(EditorTest, MenusAndBoxesKeepTheirSizeBesideTheControlsAtEveryWindowSize)
{
  open();
  IRECT atHalf;
  for (float scale : {0.5f, 1.f, 2.f, 4.f})
  {
    SCOPED_TRACE(scale);
    g().Resize(1366, 348, scale);
    frame();
    // The window-size menu on the background: rows of one size in layout
    // units, so that at "400%" its text stands as tall as the captions.
    offscreen->Click(700, 120, IMouseMod(false, true));
    ASSERT_TRUE(g().IsShowingPopupMenu());
    const IRECT first = g().GetPopupMenuItemRECT(0);
    for (int i = 0; i < 8; ++i)
      EXPECT_TRUE(g().GetBounds().Contains(g().GetPopupMenuItemRECT(i))) << "item " << i;
    if (scale == 0.5f)
      atHalf = first;
    else
      EXPECT_NEAR(first.H(), atHalf.H(), 0.05f * atHalf.H());
    offscreen->Key(kVK_ESCAPE);
    EXPECT_FALSE(g().IsShowingPopupMenu());

    // "Save Window Size" answers with a box; Escape gives its OK.
    offscreen->Click(700, 120, IMouseMod(false, true));
    chooseMenuItem(7);
    ASSERT_TRUE(g().IsShowingMessageBox());
    EXPECT_TRUE(g().GetBounds().Contains(g().GetMessageBoxButtonRECT(kOK)));
    offscreen->Key(kVK_ESCAPE);
    EXPECT_FALSE(g().IsShowingMessageBox());
  }
}
