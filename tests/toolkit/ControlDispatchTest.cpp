#include <gtest/gtest.h>

#include "ToolkitFixtures.h"
#include "toolkit/DoubleClickDetector.h"

namespace
{
struct TwoControls : OffscreenFixture
{
  TwoControls()
  {
    below = graphics->AttachControl(std::make_unique<RecordingControl>(IRECT(100, 100, 300, 300)));
    above = graphics->AttachControl(std::make_unique<RecordingControl>(IRECT(200, 200, 400, 300)));
  }
  RecordingControl* below;
  RecordingControl* above;
};
} // namespace

TEST(HitTesting, LaterControlsLieAboveEarlierOnes)
{
  TwoControls f;
  EXPECT_EQ(f.graphics->HitTest(250, 250), f.above);
  EXPECT_EQ(f.graphics->HitTest(150, 150), f.below);
  EXPECT_EQ(f.graphics->HitTest(350, 250), f.above);
  EXPECT_EQ(f.graphics->HitTest(50, 50), nullptr);
  // The right and bottom edges are outside.
  EXPECT_EQ(f.graphics->HitTest(400, 250), nullptr);

  f.editor.Click(250, 250);
  EXPECT_EQ(f.above->Count("down"), 1);
  EXPECT_EQ(f.below->Count("down"), 0);
}

TEST(HitTesting, DisabledAndHiddenControlsLetTheMouseThrough)
{
  TwoControls f;
  f.above->SetDisabled(true);
  f.editor.Click(250, 250);
  EXPECT_EQ(f.above->Count("down"), 0);
  EXPECT_EQ(f.below->Count("down"), 1);
  f.editor.Wheel(250, 250, 1.f);
  EXPECT_EQ(f.above->Count("wheel"), 0);
  EXPECT_EQ(f.below->Count("wheel"), 1);
  // Nothing under the disabled part of it.
  f.editor.Click(350, 250);
  EXPECT_EQ(f.above->Count("down"), 0);

  f.above->SetDisabled(false);
  f.above->Hide(true);
  f.editor.Click(250, 250);
  EXPECT_EQ(f.above->Count("down"), 0);
  EXPECT_EQ(f.below->Count("down"), 2);
}

TEST(HitTesting, DisablingSetsAQuarterBlendAndRedraws)
{
  TwoControls f;
  f.editor.Render();
  EXPECT_FALSE(f.above->IsDirty());
  f.above->SetDisabled(true);
  EXPECT_TRUE(f.above->IsDirty());
  EXPECT_FLOAT_EQ(f.above->GetBlend().weight, 0.25f);
  f.above->SetDisabled(false);
  EXPECT_FLOAT_EQ(f.above->GetBlend().weight, 1.f);
}

TEST(MouseCapture, TheControlPressedGetsTheWholeDrag)
{
  TwoControls f;
  f.editor.Drag(150, 150, 390, 290, 4);
  EXPECT_EQ(f.below->Count("down"), 1);
  EXPECT_EQ(f.below->Count("drag"), 4);
  EXPECT_EQ(f.below->Count("up"), 1);
  EXPECT_FLOAT_EQ(f.below->lastX, 390.f);
  EXPECT_TRUE(f.above->events.empty());
  EXPECT_EQ(f.graphics->GetCapturedControl(), nullptr);
}

TEST(MouseCapture, ValuesFromThePluginWaitWhileTheMouseHoldsTheControl)
{
  OffscreenFixture f;
  auto* control = f.graphics->AttachControl(std::make_unique<RecordingControl>(IRECT(0, 0, 100, 100), 0));
  f.graphics->OnMouseDown(50, 50, IMouseMod(true));
  f.graphics->SetControlValueFromDelegate(0, 0.9);
  EXPECT_DOUBLE_EQ(control->GetValue(), 0.25);
  f.graphics->OnMouseUp(50, 50, IMouseMod(true));
  f.graphics->SetControlValueFromDelegate(0, 0.9);
  EXPECT_DOUBLE_EQ(control->GetValue(), 0.9);
}

TEST(MouseCapture, ParameterControlsOpenAndCloseAHostGesture)
{
  OffscreenFixture f;
  auto* control = f.graphics->AttachControl(std::make_unique<RecordingControl>(IRECT(0, 0, 100, 100), 1));
  auto* plain = f.graphics->AttachControl(std::make_unique<RecordingControl>(IRECT(200, 0, 300, 100)));
  f.graphics->OnMouseDown(50, 50, IMouseMod(true));
  EXPECT_EQ(f.plugin.log, std::vector<std::string>{"begin 1"});
  control->SetValue(1.0);
  control->SetDirty(true);
  f.graphics->OnMouseUp(50, 50, IMouseMod(true));
  EXPECT_EQ(f.plugin.log, (std::vector<std::string>{"begin 1", "send 1", "end 1"}));

  f.plugin.log.clear();
  f.editor.Click(250, 50);
  EXPECT_TRUE(f.plugin.log.empty());
  EXPECT_EQ(plain->Count("down"), 1);
}

TEST(MouseCapture, RightClickOnAParameterGoesToTheHostMenuWhenThereIsOne)
{
  OffscreenFixture f;
  auto* control = f.graphics->AttachControl(std::make_unique<RecordingControl>(IRECT(0, 0, 100, 100), 2));
  f.plugin.hostHasContextMenu = true;
  f.editor.Click(50, 50, IMouseMod(false, true));
  EXPECT_EQ(control->Count("down"), 0);
  EXPECT_EQ(f.plugin.Count("context 2"), 1);
  f.editor.Click(50, 50, IMouseMod(true));
  EXPECT_EQ(control->Count("down"), 1);

  f.plugin.hostHasContextMenu = false;
  f.editor.Click(50, 50, IMouseMod(false, true));
  EXPECT_EQ(control->Count("down"), 2);
}

TEST(MouseOver, EnterAndLeaveFollowThePointer)
{
  TwoControls f;
  f.graphics->EnableMouseOver(true);
  f.editor.MoveTo(150, 150);
  f.editor.MoveTo(160, 160);
  EXPECT_EQ(f.below->Count("enter"), 1);
  EXPECT_TRUE(f.below->GetMouseIsOver());
  EXPECT_EQ(f.graphics->GetMouseOverControl(), f.below);

  f.editor.MoveTo(250, 250);
  EXPECT_EQ(f.below->Count("leave"), 1);
  EXPECT_EQ(f.above->Count("enter"), 1);

  f.graphics->OnMouseOut();
  EXPECT_EQ(f.above->Count("leave"), 1);
  EXPECT_EQ(f.graphics->GetMouseOverControl(), nullptr);
}

TEST(MouseOver, PausesDuringADragAndCatchesUpOnRelease)
{
  TwoControls f;
  f.graphics->EnableMouseOver(true);
  f.editor.MoveTo(150, 150);
  f.graphics->OnMouseDown(150, 150, IMouseMod(true));
  f.editor.MoveTo(250, 250, IMouseMod(true));
  EXPECT_EQ(f.above->Count("enter"), 0);
  EXPECT_EQ(f.below->Count("drag"), 1);
  f.graphics->OnMouseUp(250, 250, IMouseMod(true));
  EXPECT_EQ(f.below->Count("leave"), 1);
  EXPECT_EQ(f.above->Count("enter"), 1);
}

TEST(MouseOver, OffUnlessEnabled)
{
  TwoControls f;
  f.editor.MoveTo(150, 150);
  EXPECT_EQ(f.below->Count("enter"), 0);
}

TEST(DirtyTracking, RedrawsOnlyWhatChanged)
{
  TwoControls f;
  f.editor.Render();
  IRECT region;
  EXPECT_FALSE(f.graphics->IsDirty(region));
  const int belowDraws = f.below->draws;

  f.above->SetDirty(false);
  ASSERT_TRUE(f.graphics->IsDirty(region));
  EXPECT_EQ(region, IRECT(200, 200, 400, 300));
  const int presents = f.editor.Window().presentCount;
  f.editor.Render();
  EXPECT_EQ(f.editor.Window().presentCount, presents + 1);
  EXPECT_EQ(f.editor.Window().lastPresented, IRECT(100, 100, 200, 150));
  // The control below shares the area and is drawn again under it.
  EXPECT_EQ(f.below->draws, belowDraws + 1);
  EXPECT_FALSE(f.graphics->IsDirty(region));

  f.graphics->SetAllControlsDirty();
  ASSERT_TRUE(f.graphics->IsDirty(region));
  EXPECT_EQ(region, f.graphics->GetBounds());
}

TEST(DirtyTracking, ValuesFromThePluginRedrawOnlyWhenTheyChange)
{
  OffscreenFixture f;
  auto* control = f.graphics->AttachControl(std::make_unique<RecordingControl>(IRECT(0, 0, 100, 100), 0));
  EXPECT_DOUBLE_EQ(control->GetValue(), 0.25) << "starts from the parameter";
  f.editor.Render();
  f.graphics->SetControlValueFromDelegate(0, 0.25);
  EXPECT_FALSE(control->IsDirty());
  f.graphics->SetControlValueFromDelegate(0, 0.5);
  EXPECT_TRUE(control->IsDirty());
  EXPECT_TRUE(f.plugin.sent.empty()) << "a value from the plug-in is not sent back";
}

TEST(DirtyTracking, SetDirtyClampsAndSendsOnlyRealParameters)
{
  OffscreenFixture f;
  auto* bound = f.graphics->AttachControl(std::make_unique<RecordingControl>(IRECT(0, 0, 10, 10), 0));
  auto* button = f.graphics->AttachControl(std::make_unique<RecordingControl>(IRECT(0, 0, 10, 10), -10));
  bound->SetValue(1.7);
  bound->SetDirty(true);
  EXPECT_DOUBLE_EQ(bound->GetValue(), 1.0);
  ASSERT_EQ(f.plugin.sent.size(), 1u);
  EXPECT_EQ(f.plugin.sent[0], std::make_pair(0, 1.0));

  bound->SetValue(-0.5);
  bound->SetDirty(false);
  EXPECT_DOUBLE_EQ(bound->GetValue(), 0.0);
  EXPECT_EQ(f.plugin.sent.size(), 1u);

  button->SetValue(1.0);
  button->SetDirty(true);
  EXPECT_EQ(f.plugin.sent.size(), 1u) << "a negative index names no parameter";
  EXPECT_EQ(button->GetParam(), nullptr);
}

TEST(DirtyTracking, DoubleClickResetsAParameterToItsDefault)
{
  OffscreenFixture f;
  auto* control = f.graphics->AttachControl(std::make_unique<RecordingControl>(IRECT(0, 0, 100, 100), 1));
  auto* plain = f.graphics->AttachControl(std::make_unique<RecordingControl>(IRECT(200, 0, 300, 100)));
  control->SetValue(0.0);
  f.plugin.log.clear();
  f.graphics->OnMouseDblClick(50, 50, IMouseMod(true));
  EXPECT_DOUBLE_EQ(control->GetValue(), 0.75) << "Range default 3 of 0..4";
  EXPECT_EQ(f.plugin.log, (std::vector<std::string>{"begin 1", "send 1", "end 1"}));

  f.editor.Render();
  f.graphics->OnMouseDblClick(250, 50, IMouseMod(true));
  EXPECT_TRUE(plain->IsDirty());
  EXPECT_EQ(f.plugin.log.size(), 3u);
}

TEST(Cursor, SetMouseCursorReturnsThePreviousOne)
{
  OffscreenFixture f;
  EXPECT_EQ(f.graphics->SetMouseCursor(ECursor::HAND), ECursor::ARROW);
  EXPECT_EQ(f.editor.Window().cursor, ECursor::HAND);
  EXPECT_EQ(f.graphics->SetMouseCursor(ECursor::ARROW), ECursor::HAND);
  EXPECT_EQ(f.editor.Window().cursor, ECursor::ARROW);
}

TEST(Lifecycle, OpeningRunsTheLayoutAndClosingForgetsTheWindow)
{
  FakeDelegate plugin;
  plugin.layout = [](IEditorGraphics& g) {
    g.AttachControl(std::make_unique<RecordingControl>(IRECT(0, 0, 10, 10)));
  };
  auto graphics = MakeGraphics(plugin, 683, 174, 60, 1.f);
  EXPECT_FALSE(graphics->WindowIsOpen());
  {
    OffscreenEditor editor(*graphics);
    EXPECT_TRUE(graphics->WindowIsOpen());
    EXPECT_EQ(plugin.layouts, 1);
    EXPECT_EQ(graphics->NControls(), 1);
  }
  graphics->CloseWindow();
  EXPECT_FALSE(graphics->WindowIsOpen());
  EXPECT_EQ(graphics->FPS(), 60);
}

TEST(Lifecycle, OpeningTwiceDoesNotDuplicateTheControls)
{
  FakeDelegate plugin;
  plugin.layout = [](IEditorGraphics& g) {
    g.AttachControl(std::make_unique<RecordingControl>(IRECT(0, 0, 10, 10)));
  };
  auto graphics = MakeGraphics(plugin, 683, 174, 60, 1.f);
  OffscreenEditor first(*graphics);
  OffscreenEditor second(*graphics);
  EXPECT_EQ(plugin.layouts, 2);
  EXPECT_EQ(graphics->NControls(), 1);
}

TEST(DoubleClicks, ASecondPressSoonAndNearIsADoubleClick)
{
  DoubleClickDetector detector(0.4, 4.f);
  EXPECT_FALSE(detector.OnPress(1, 10.0, 100, 100));
  EXPECT_TRUE(detector.OnPress(1, 10.3, 102, 101));
  EXPECT_FALSE(detector.OnPress(1, 10.5, 102, 101)) << "a third press starts afresh";
  EXPECT_FALSE(detector.OnPress(1, 11.0, 102, 101)) << "too late";
  EXPECT_FALSE(detector.OnPress(1, 11.1, 120, 101)) << "too far";
  EXPECT_FALSE(detector.OnPress(3, 11.2, 120, 101)) << "another button";
  EXPECT_TRUE(detector.OnPress(3, 11.3, 120, 101));
}
