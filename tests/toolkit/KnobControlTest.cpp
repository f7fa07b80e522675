#include <gtest/gtest.h>

#include "ToolkitFixtures.h"
#include "toolkit/IKnobControlBase.h"

namespace
{
class TestKnob : public IKnobControlBase
{
public:
  using IKnobControlBase::IKnobControlBase;
  void Draw(IEditorGraphics&) override {}
};

// A knob of 100 x 100 layout units at (100, 100).
struct KnobFixture : OffscreenFixture
{
  explicit KnobFixture(int paramIdx = FakeDelegate::kContinuous)
  {
    knob = graphics->AttachControl(std::make_unique<TestKnob>(IRECT(100, 100, 200, 200), paramIdx));
  }

  // Presses at the knob's centre and drags vertically by dy in n steps.
  void DragBy(float dy, int steps = 10, const IMouseMod& mod = IMouseMod(true))
  {
    editor.Drag(150, 150, 150, 150 + dy, steps, mod);
  }

  TestKnob* knob;
};
} // namespace

TEST(KnobGestures, DraggingUpFourHeightsSweepsTheWholeRange)
{
  KnobFixture f;
  f.knob->SetValue(0.0);
  f.DragBy(-400.f, 40);
  EXPECT_NEAR(f.knob->GetValue(), 1.0, 1e-9);
  EXPECT_NEAR(f.plugin.LastSent(), 1.0, 1e-9);

  f.DragBy(400.f, 40);
  EXPECT_NEAR(f.knob->GetValue(), 0.0, 1e-9);
}

TEST(KnobGestures, OneHeightMovesAQuarterAndTheValueStopsAtTheEnds)
{
  KnobFixture f;
  f.knob->SetValue(0.5);
  f.DragBy(-100.f);
  EXPECT_NEAR(f.knob->GetValue(), 0.75, 1e-9);
  // Overshooting does not store a debt: turning back moves at once.
  f.graphics->OnMouseDown(150, 150, IMouseMod(true));
  f.graphics->OnMouseDrag(150, -350, 0, -500, IMouseMod(true));
  EXPECT_DOUBLE_EQ(f.knob->GetValue(), 1.0);
  f.graphics->OnMouseDrag(150, -340, 0, 10, IMouseMod(true));
  EXPECT_NEAR(f.knob->GetValue(), 1.0 - 10.0 / 400.0, 1e-9);
  f.graphics->OnMouseUp(150, -340, IMouseMod(true));
}

TEST(KnobGestures, ShiftOrControlGearsTenTimesFiner)
{
  KnobFixture f;
  f.knob->SetValue(0.5);
  f.DragBy(-100.f, 10, IMouseMod(true, false, true));
  EXPECT_NEAR(f.knob->GetValue(), 0.525, 1e-9);
  f.DragBy(-100.f, 10, IMouseMod(true, false, false, true));
  EXPECT_NEAR(f.knob->GetValue(), 0.55, 1e-9);
  f.DragBy(100.f, 10, IMouseMod(true, false, false, false, true));
  EXPECT_NEAR(f.knob->GetValue(), 0.3, 1e-9) << "alt alone is not fine";
}

TEST(KnobGestures, AStepperParameterSnapsWhileTheDragKeepsItsPosition)
{
  KnobFixture f(FakeDelegate::kStepped);
  f.knob->SetValue(0.0);
  f.graphics->OnMouseDown(150, 150, IMouseMod(true));
  // A tenth of the range is less than half a step (a quarter): stays.
  f.graphics->OnMouseDrag(150, 110, 0, -40, IMouseMod(true));
  EXPECT_DOUBLE_EQ(f.knob->GetValue(), 0.0);
  // Two tenths more pass the half step.
  f.graphics->OnMouseDrag(150, 70, 0, -40, IMouseMod(true));
  EXPECT_DOUBLE_EQ(f.knob->GetValue(), 0.25);
  f.graphics->OnMouseUp(150, 70, IMouseMod(true));
  EXPECT_DOUBLE_EQ(f.plugin.Param(FakeDelegate::kStepped).Value(), 1.0);
}

TEST(KnobGestures, WheelMovesByAHundredthOrAThousandth)
{
  KnobFixture f;
  f.knob->SetValue(0.5);
  f.editor.Wheel(150, 150, 1.f);
  EXPECT_NEAR(f.knob->GetValue(), 0.51, 1e-12);
  f.editor.Wheel(150, 150, -3.f);
  EXPECT_NEAR(f.knob->GetValue(), 0.48, 1e-12);
  f.editor.Wheel(150, 150, 2.f, IMouseMod(false, false, true));
  EXPECT_NEAR(f.knob->GetValue(), 0.482, 1e-12);
  EXPECT_EQ(f.plugin.Count("begin 0"), 3);
  EXPECT_EQ(f.plugin.Count("end 0"), 3);
  EXPECT_EQ(f.plugin.Count("send 0"), 3);

  f.knob->SetValue(0.995);
  f.editor.Wheel(150, 150, 1.f);
  EXPECT_DOUBLE_EQ(f.knob->GetValue(), 1.0);
}

TEST(KnobGestures, WheelMovesASteppedParameterOneStepPerEvent)
{
  KnobFixture f(FakeDelegate::kStepped);
  f.knob->SetValue(0.5);
  f.editor.Wheel(150, 150, 0.1f);
  EXPECT_DOUBLE_EQ(f.knob->GetValue(), 0.75);
  f.editor.Wheel(150, 150, 5.f);
  EXPECT_DOUBLE_EQ(f.knob->GetValue(), 1.0);
  f.editor.Wheel(150, 150, 5.f);
  EXPECT_DOUBLE_EQ(f.knob->GetValue(), 1.0);
  f.editor.Wheel(150, 150, -1.f);
  EXPECT_DOUBLE_EQ(f.knob->GetValue(), 0.75);
}

TEST(KnobGestures, DoubleClickResetsToTheDefault)
{
  KnobFixture f;
  f.knob->SetValue(0.9);
  f.plugin.log.clear();
  f.editor.DoubleClick(150, 150);
  EXPECT_DOUBLE_EQ(f.knob->GetValue(), 0.25);
  EXPECT_DOUBLE_EQ(f.plugin.LastSent(), 0.25);
  // Each press and the double click are gestures of their own.
  EXPECT_EQ(f.plugin.Count("begin 0"), f.plugin.Count("end 0"));
  EXPECT_EQ(f.plugin.log.back(), "end 0");
}

TEST(KnobGestures, ADragIsOneHostGesture)
{
  KnobFixture f;
  f.DragBy(-50.f, 5);
  ASSERT_GE(f.plugin.log.size(), 3u);
  EXPECT_EQ(f.plugin.log.front(), "begin 0");
  EXPECT_EQ(f.plugin.log.back(), "end 0");
  EXPECT_EQ(f.plugin.Count("send 0"), 5);
  EXPECT_EQ(f.plugin.Count("begin 0"), 1);
}

TEST(KnobGestures, HorizontalKnobsFollowTheXAxis)
{
  KnobFixture f;
  f.knob->SetDirection(EDirection::Horizontal);
  f.knob->SetValue(0.5);
  f.editor.Drag(150, 150, 250, 150, 10);
  EXPECT_NEAR(f.knob->GetValue(), 0.75, 1e-9);
}

TEST(KnobGestures, CursorCanBeHiddenDuringTheDrag)
{
  KnobFixture f;
  f.knob->SetHideCursorOnDrag(true);
  f.graphics->OnMouseDown(150, 150, IMouseMod(true));
  EXPECT_TRUE(f.editor.Window().cursorHidden);
  f.graphics->OnMouseUp(150, 150, IMouseMod(true));
  EXPECT_FALSE(f.editor.Window().cursorHidden);
}
