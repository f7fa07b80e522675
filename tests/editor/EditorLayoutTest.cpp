#include "editor/EditorStyles.h"
#include "editor/EditorFixture.h"

TEST_F(EditorTest, FirstEditorOpensAtHalfScale)
{
  open();
  EXPECT_EQ(g().Width(), 1366);
  EXPECT_EQ(g().Height(), 348);
  EXPECT_FLOAT_EQ(g().GetDrawScale(), 0.5f);
  EXPECT_EQ(g().WindowWidth(), 683);
  EXPECT_EQ(g().WindowHeight(), 174);
  EXPECT_EQ(offscreen->Window().width, 683);
  EXPECT_EQ(offscreen->Window().height, 174);
}

TEST_F(EditorTest, ControlsInAttachOrderAtTheirPlaces)
{
  open();
  ASSERT_EQ(g().NControls(), 16);
  EXPECT_TRUE(controlAt<ITolmarSizeContextControl>(0));
  EXPECT_EQ(g().GetControl(0)->GetRECT(), IRECT(0, 0, 1366, 348));
  EXPECT_TRUE(controlAt<ITolmarOnlineMenu>(1));
  EXPECT_EQ(g().GetControl(1)->GetRECT(), areaOf(EditorLayout::kOnlineMenu));
  ASSERT_TRUE(controlAt<ITolmarCornerResizer>(2));
  EXPECT_EQ(g().GetControl(2)->GetRECT(), IRECT(1341, 323, 1365, 347));
  EXPECT_EQ(g().GetCornerResizer(), g().GetControl(2));
  EXPECT_TRUE(controlAt<ITolmarPresetMenu>(3));
  EXPECT_EQ(g().GetControl(3)->GetRECT(), areaOf(EditorLayout::kPresetMenu));

  // Where the art tool drew their labels and value displays.
  namespace L = EditorLayout;
  struct Row { int index; L::Point at; int param; };
  const Row rows[] = {{4, L::kRange, kRange},       {5, L::kDelaySync, kDelaySync}, {6, L::kTime, kTime},
                      {7, L::kFeedback, kFeedback}, {8, L::kLFOSpeed, kLFOSpeed},   {9, L::kLFOSync, kLFOSync},
                      {10, L::kLFODepth, kLFODepth}, {11, L::kMix, kMix},           {12, L::kQuality, kQuality},
                      {13, L::kLearn, kLearnButtonID}, {14, L::kSave, kSaveButtonID}, {15, L::kFreeze, kFreezeButtonID}};
  for (const Row& row : rows)
  {
    const IControl* control = g().GetControl(row.index);
    EXPECT_EQ(control->GetTargetRECT().L, row.at.x) << row.index;
    EXPECT_EQ(control->GetTargetRECT().T, row.at.y) << row.index;
    EXPECT_EQ(control->GetParamIdx(), row.param) << row.index;
    // Every control lies inside the layout.
    EXPECT_TRUE(IRECT(0, 0, 1366, 348).Contains(control->GetRECT())) << row.index;
  }
  EXPECT_TRUE(controlAt<ITolmarRangeControl>(4));
  EXPECT_TRUE(controlAt<ITolmarSwitchTextControl>(5));
  EXPECT_TRUE(controlAt<ITolmarKnobTextControl>(6));
  EXPECT_TRUE(controlAt<ITolmarToolsControl>(13));
  EXPECT_TRUE(controlAt<ITolmarSaveControl>(14));

  // Knob and switch captions lie below their hit areas.
  const IControl* knob = g().GetControl(6);
  EXPECT_EQ(knob->GetRECT().B, knob->GetTargetRECT().B + 44.f);
  EXPECT_EQ(g().GetControl(5)->GetRECT().B, 188.f + 136.f);

  EXPECT_EQ(editor->getTimeKnob(), g().GetControl(6));
  EXPECT_EQ(editor->getRateKnob(), g().GetControl(8));
  EXPECT_EQ(editor->getRangeSelector(), g().GetControl(4));
  EXPECT_EQ(editor->getLearnButton(), g().GetControl(13));
  EXPECT_EQ(editor->getFreezeButton(), g().GetControl(15));
}

TEST_F(EditorTest, WindowSizeMenuScales)
{
  open();
  const float expected[] = {0.25f, 0.375f, 0.5f, 0.70710677f, 1.0f, 2.0f};
  const int widths[] = {341, 512, 683, 965, 1366, 2732};
  const int heights[] = {87, 130, 174, 246, 348, 696};
  for (int item = 0; item < 6; ++item)
  {
    // A right click on the background opens the size menu.
    offscreen->Click(700, 120, IMouseMod(false, true));
    ASSERT_TRUE(g().IsShowingPopupMenu());
    chooseMenuItem(item);
    EXPECT_FALSE(g().IsShowingPopupMenu());
    EXPECT_FLOAT_EQ(g().GetDrawScale(), expected[item]) << item;
    EXPECT_EQ(g().WindowWidth(), widths[item]) << item;
    EXPECT_EQ(g().WindowHeight(), heights[item]) << item;
    EXPECT_FLOAT_EQ(delay->getEditorScale(), expected[item]);
  }
  // A left click on the background opens nothing.
  offscreen->Click(700, 120);
  EXPECT_FALSE(g().IsShowingPopupMenu());
}

TEST_F(EditorTest, StoredScalesAreClampedToTheLimits)
{
  delay->setEditorScale(8.0f);
  open();
  EXPECT_FLOAT_EQ(g().GetDrawScale(), 4.0f);
  close();
  delay->setEditorScale(0.0f);
  open();
  EXPECT_FLOAT_EQ(g().GetDrawScale(), 0.25f);
  editor->resizeUI(); // does nothing while the scale is 0
  EXPECT_FLOAT_EQ(g().GetDrawScale(), 0.25f);
  editor->resizeUI(static_cast<GUI::GUISize>(9)); // no such entry
  EXPECT_FLOAT_EQ(g().GetDrawScale(), 0.25f);
}

TEST_F(EditorTest, ReopeningUsesTheStoredScaleNotTheDraggedOne)
{
  open();
  // Drag the corner handle towards the top-left: the window shrinks.
  offscreen->Drag(1360, 343, 1000, 300);
  EXPECT_LT(g().GetDrawScale(), 0.5f);
  close();
  open();
  EXPECT_FLOAT_EQ(g().GetDrawScale(), 0.5f);
}

TEST_F(EditorTest, CornerHandleKeepsThePressedPointUnderThePointer)
{
  open();
  // Pressed at layout (1358, 342) = window point (679, 171); drag the
  // pointer to window point (1015, 251): scale = min(1015/1358, 251/342).
  const float x0 = 1358, y0 = 342;
  const float scale = 0.5f;
  const float xp = 1015, yp = 251;
  offscreen->Drag(x0, y0, xp / scale, yp / scale, 1);
  const float expected = std::min(xp / x0, yp / y0);
  EXPECT_NEAR(g().GetDrawScale(), expected, 1e-3);
  // A double click goes back to the full 1366 x 348.
  const IRECT handle = g().GetCornerResizer()->GetRECT();
  offscreen->DoubleClick(handle.R - 2, handle.B - 2);
  EXPECT_FLOAT_EQ(g().GetDrawScale(), 1.0f);
  EXPECT_EQ(g().WindowWidth(), 1366);
  EXPECT_EQ(g().WindowHeight(), 348);
}
