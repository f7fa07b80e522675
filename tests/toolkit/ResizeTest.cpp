#include <gtest/gtest.h>

#include "ToolkitFixtures.h"
#include "toolkit/ICornerResizerControl.h"

namespace
{
class TestResizer : public ICornerResizerControl
{
public:
  using ICornerResizerControl::ICornerResizerControl;
  bool Highlighted() const { return IsHighlighted(); }
};

struct ResizerFixture : OffscreenFixture
{
  ResizerFixture()
  {
    graphics->EnableMouseOver(true);
    background = graphics->AttachControl(std::make_unique<RecordingControl>(IRECT(0, 0, 1366, 348)));
    resizer = new TestResizer(graphics->GetBounds(), 26.f);
    graphics->AttachCornerResizer(resizer, EUIResizerMode::Scale, false);
  }
  RecordingControl* background;
  TestResizer* resizer;
};
} // namespace

TEST(Resize, ClampsSizeThroughTheDelegateAndScaleToTheConstraints)
{
  OffscreenFixture f;
  f.graphics->Resize(3000, 10, 9.f);
  EXPECT_EQ(f.graphics->Width(), 2049);
  EXPECT_EQ(f.graphics->Height(), 58);
  EXPECT_FLOAT_EQ(f.graphics->GetDrawScale(), 4.f);
  f.graphics->Resize(1366, 348, 0.f);
  EXPECT_FLOAT_EQ(f.graphics->GetDrawScale(), 4.f) << "no scale keeps the old one";
  f.graphics->Resize(1366, 348, 0.01f);
  EXPECT_FLOAT_EQ(f.graphics->GetDrawScale(), 0.25f);
}

TEST(Resize, ScaleConstraintsAreSortedAndUnchangedSizesDoNothing)
{
  OffscreenFixture f;
  f.graphics->SetScaleConstraints(4.f, 0.25f);
  EXPECT_FLOAT_EQ(f.graphics->GetMinScale(), 0.25f);
  EXPECT_FLOAT_EQ(f.graphics->GetMaxScale(), 4.f);
  const size_t asked = f.plugin.hostSizes.size();
  f.graphics->Resize(1366, 348, 0.5f);
  EXPECT_EQ(f.plugin.hostSizes.size(), asked);
  EXPECT_EQ(f.editor.Window().resizeCount, 0);
}

TEST(Resize, AsksTheHostForTheTruncatedWindowSize)
{
  OffscreenFixture f;
  f.graphics->Resize(1366, 348, 0.70710677f);
  ASSERT_FALSE(f.plugin.hostSizes.empty());
  EXPECT_EQ(f.plugin.hostSizes.back(), std::make_pair(965, 246));
  EXPECT_EQ(f.editor.Window().width, 965);
  EXPECT_EQ(f.editor.Window().height, 246);
  EXPECT_EQ(cairo_image_surface_get_width(f.graphics->GetBackingSurface()), 965);

  f.graphics->Resize(1366, 348, 0.375f);
  EXPECT_EQ(f.plugin.hostSizes.back(), std::make_pair(512, 130));
  f.graphics->Resize(1366, 348, 0.25f);
  EXPECT_EQ(f.plugin.hostSizes.back(), std::make_pair(341, 87));

  const size_t asked = f.plugin.hostSizes.size();
  f.graphics->Resize(1366, 348, 1.f, false);
  EXPECT_EQ(f.plugin.hostSizes.size(), asked) << "no platform resize: the host is not asked";
  EXPECT_EQ(f.editor.Window().width, 1366);
}

TEST(Resize, TheHostResizingTheWindowFitsTheLayoutByScale)
{
  OffscreenFixture f;
  f.graphics->OnParentWindowResize(683, 174);
  EXPECT_FLOAT_EQ(f.graphics->GetDrawScale(), 0.5f) << "its own size changes nothing";
  f.graphics->OnParentWindowResize(1366, 400);
  EXPECT_FLOAT_EQ(f.graphics->GetDrawScale(), 1.f);
  EXPECT_TRUE(f.plugin.hostSizes.empty());
}

TEST(CornerResizer, StartsAsTheShrunkCornerSquare)
{
  ResizerFixture f;
  EXPECT_EQ(f.resizer->GetRECT(), IRECT(1341, 323, 1365, 347));
  EXPECT_EQ(f.graphics->GetCornerResizer(), f.resizer);
  EXPECT_EQ(f.graphics->HitTest(1363, 345), f.resizer);
  EXPECT_EQ(f.graphics->HitTest(1343, 325), f.background) << "only the drawn triangle is the handle";
}

TEST(CornerResizer, ThePressedPointStaysUnderThePointer)
{
  ResizerFixture f;
  const float x0 = 1355.f, y0 = 340.f;  // layout units at scale 0.5
  f.graphics->OnMouseDown(x0, y0, IMouseMod(true));
  EXPECT_TRUE(f.resizer->IsResizing());
  // Pointer moves to (1000, 300) points: the scale follows the smaller ratio.
  const float xp = 1000.f, yp = 300.f;
  const float expected = std::min(xp / x0, yp / y0);
  f.graphics->OnMouseDrag(xp / 0.5f, yp / 0.5f, 0, 0, IMouseMod(true));
  EXPECT_NEAR(f.graphics->GetDrawScale(), expected, 1e-5);
  EXPECT_EQ(f.graphics->Width(), 1366);
  EXPECT_EQ(f.graphics->Height(), 348);
  // The pressed point, at the new scale, lies where the pointer is (on the
  // axis that limited the scale).
  EXPECT_NEAR(x0 * f.graphics->GetDrawScale(), xp, 1e-3);

  // Further drags are converted with the new scale by the window.
  const float scale = f.graphics->GetDrawScale();
  f.graphics->OnMouseDrag(1366.f * 3.5f / scale, 348.f * 3.5f / scale, 0, 0, IMouseMod(true));
  EXPECT_NEAR(f.graphics->GetDrawScale(), std::min(1366.f * 3.5f / x0, 348.f * 3.5f / y0), 1e-4);
  f.graphics->OnMouseDrag(50000.f, 50000.f, 0, 0, IMouseMod(true));
  EXPECT_FLOAT_EQ(f.graphics->GetDrawScale(), 4.f);
  f.graphics->OnMouseDrag(10.f, 10.f, 0, 0, IMouseMod(true));
  EXPECT_FLOAT_EQ(f.graphics->GetDrawScale(), 0.25f);
  f.graphics->OnMouseUp(10.f, 10.f, IMouseMod(true));
  EXPECT_FALSE(f.resizer->IsResizing());
  EXPECT_FALSE(f.plugin.hostSizes.empty());
}

TEST(CornerResizer, KeepsItsSizeOnScreenAfterAScaleChange)
{
  ResizerFixture f;
  f.graphics->Resize(1366, 348, 0.25f);
  EXPECT_EQ(f.resizer->GetRECT(), IRECT(1366 - 104, 348 - 104, 1366, 348));
  f.graphics->Resize(1366, 348, 2.f);
  EXPECT_EQ(f.resizer->GetRECT(), IRECT(1353, 335, 1366, 348));
}

TEST(CornerResizer, DoubleClickReturnsToTheBaseSize)
{
  ResizerFixture f;
  f.graphics->Resize(1366, 348, 0.375f);
  f.editor.DoubleClick(1363, 345);
  EXPECT_FLOAT_EQ(f.graphics->GetDrawScale(), 1.f);
  EXPECT_EQ(f.editor.Window().width, 1366);
  EXPECT_EQ(f.editor.Window().height, 348);
  EXPECT_EQ(f.plugin.hostSizes.back(), std::make_pair(1366, 348));
}

TEST(CornerResizer, ShowsTheResizeCursorAndPutsBackThePreviousOne)
{
  ResizerFixture f;
  f.graphics->SetMouseCursor(ECursor::HAND);
  f.editor.MoveTo(1300, 200);
  f.editor.MoveTo(1363, 345);
  EXPECT_EQ(f.editor.Window().cursor, ECursor::SIZENWSE);
  EXPECT_TRUE(f.resizer->Highlighted());
  f.editor.MoveTo(1364, 346);
  f.editor.MoveTo(1300, 200);
  EXPECT_EQ(f.editor.Window().cursor, ECursor::HAND);
  EXPECT_FALSE(f.resizer->Highlighted());
}

TEST(CornerResizer, SizeModeChangesTheLayoutAndKeepsTheScale)
{
  OffscreenFixture f;
  auto* resizer = new TestResizer(f.graphics->GetBounds(), 26.f);
  f.graphics->AttachCornerResizer(resizer, EUIResizerMode::Size, false);
  f.graphics->OnMouseDown(1360, 340, IMouseMod(true));
  f.graphics->OnMouseDrag(1160, 300, -200, -40, IMouseMod(true));
  f.graphics->OnMouseUp(1160, 300, IMouseMod(true));
  EXPECT_EQ(f.graphics->Width(), 1166);
  EXPECT_EQ(f.graphics->Height(), 308);
  EXPECT_FLOAT_EQ(f.graphics->GetDrawScale(), 0.5f);
}
