#include "editor/EditorFixture.h"

namespace
{
// Counts the pixels of a layout area whose colour matches a test.
template <typename Test>
int countPixels(OffscreenEditor& editor, const IRECT& area, Test test)
{
  const IRECT pixels = editor.Graphics().LayoutToPixels(area);
  int count = 0;
  for (int y = static_cast<int>(pixels.T); y < static_cast<int>(pixels.B); ++y)
    for (int x = static_cast<int>(pixels.L); x < static_cast<int>(pixels.R); ++x)
      if (test(editor.PixelAt(x, y)))
        ++count;
  return count;
}

bool isOrangeRed(const IColor& c) { return c.R > 200 && c.G < 140 && c.B < 80; }
bool isPaleYellow(const IColor& c) { return c.R > 200 && c.G > 200 && c.B > 120 && c.B < 230; }

std::vector<IColor> capture(OffscreenEditor& editor, const IRECT& area)
{
  const IRECT pixels = editor.Graphics().LayoutToPixels(area);
  std::vector<IColor> colors;
  for (int y = static_cast<int>(pixels.T); y < static_cast<int>(pixels.B); ++y)
    for (int x = static_cast<int>(pixels.L); x < static_cast<int>(pixels.R); ++x)
      colors.push_back(editor.PixelAt(x, y));
  return colors;
}
} // namespace

TEST_F(EditorTest, RendersBackgroundAndKnobFramesAtBothScales)
{
  for (float scale : {0.5f, 1.0f})
  {
    delay->setEditorScale(scale);
    open();
    offscreen->RenderAll();
    cairo_surface_t* surface = g().GetBackingSurface();
    ASSERT_TRUE(surface);
    EXPECT_EQ(cairo_image_surface_get_width(surface), static_cast<int>(1366 * scale));
    // The panel is opaque everywhere.
    for (auto [x, y] : {std::pair{5.f, 5.f}, {683.f, 174.f}, {1360.f, 20.f}, {100.f, 340.f}})
      EXPECT_EQ(offscreen->LayoutPixel(x, y).A, 255) << x << "," << y;

    // The Mix knob's picture changes with its value.
    const IRECT knob = g().GetControl(11)->GetTargetRECT();
    delay->SendParameterValueFromDelegate(kMix, 0.0, true);
    frame();
    const auto atZero = capture(*offscreen, knob);
    delay->SendParameterValueFromDelegate(kMix, 1.0, true);
    frame();
    const auto atOne = capture(*offscreen, knob);
    int changed = 0;
    for (size_t i = 0; i < atZero.size(); ++i)
      if (!(atZero[i] == atOne[i]))
        ++changed;
    EXPECT_GT(changed, static_cast<int>(atZero.size() / 50)) << scale;
    close();
  }
}

TEST_F(EditorTest, TimeCaptionColourFollowsTheSyncedLength)
{
  delay->setEditorScale(1.0f);
  open();
  const IControl* knob = g().GetControl(6);
  const IRECT caption(knob->GetRECT().L, knob->GetTargetRECT().B, knob->GetRECT().R, knob->GetRECT().B);
  offscreen->RenderAll();
  EXPECT_GT(countPixels(*offscreen, caption, isPaleYellow), 20);
  EXPECT_EQ(countPixels(*offscreen, caption, isOrangeRed), 0);

  delay.set(kTime, 1.0); // "2/1": 8000 ms at 60
  delay->GetTimeInfo().tempo = 60.0;
  delay.set(kDelaySync, 1.0);
  frame();
  offscreen->RenderAll();
  EXPECT_GT(countPixels(*offscreen, caption, isOrangeRed), 20);

  delay.set(kDelaySync, 0.0); // milliseconds again, still in the warning colour
  frame();
  offscreen->RenderAll();
  EXPECT_GT(countPixels(*offscreen, caption, isOrangeRed), 20);
  IString text;
  delay->getDelayTimeDisplay(text);
  EXPECT_STREQ(text.Get(), "500ms");
}
