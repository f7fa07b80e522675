#include <gtest/gtest.h>

#include "ToolkitFixtures.h"

#ifndef TOLMAR_RESOURCES_DIR
#error "TOLMAR_RESOURCES_DIR must name the built resources folder"
#endif

namespace
{
struct ArtFixture : OffscreenFixture
{
  ArtFixture(float scale = 1.f) : OffscreenFixture(1366, 348, scale)
  {
    graphics->SetResourcePath(TOLMAR_RESOURCES_DIR);
  }
};

class FrameControl : public IControl
{
public:
  FrameControl(float x, float y, IBitmap bmp, int frameNumber)
    : IControl(IRECT(x, y, x + static_cast<float>(bmp.FW()), y + static_cast<float>(bmp.FH()))), bitmap(bmp), frame(frameNumber)
  {
  }
  void Draw(IEditorGraphics& g) override { g.DrawBitmap(bitmap, GetRECT(), frame); }
  IBitmap bitmap;
  int frame;
};

const IColor kAccent{255, 255, 255, 192};
} // namespace

TEST(Art, EveryBitmapHasItsSizeAndFrameCountAtBothResolutions)
{
  ArtFixture f;
  struct Expected
  {
    const char* name;
    int frames;
    int frameW;
    int frameH;
  };
  const Expected expected[] = {
    {"back.png", 1, 1366, 348}, {"knob.png", 65, 100, 100}, {"switch.png", 2, 60, 90},
    {"ranges.png", 5, 110, 140}, {"button.png", 2, 148, 48},
  };
  for (const Expected& e : expected)
  {
    const IBitmap bitmap = f.graphics->LoadBitmap(e.name, e.frames);
    ASSERT_TRUE(bitmap.IsValid()) << e.name;
    EXPECT_EQ(bitmap.FW(), e.frameW) << e.name;
    EXPECT_EQ(bitmap.FH(), e.frameH) << e.name;
    EXPECT_EQ(bitmap.H(), e.frameH * e.frames) << e.name << ": no spare rows";
    const IBitmap sharp = f.graphics->LoadBitmap(e.name, e.frames, false, 2);
    ASSERT_TRUE(sharp.IsValid()) << e.name << " at 2x";
    EXPECT_EQ(sharp.W(), bitmap.W()) << e.name;
  }
  EXPECT_TRUE(f.graphics->LoadFont("Roboto-Regular.ttf", "Roboto-Regular.ttf"));
}

TEST(Art, TheRangeFrameLightsItsOwnBand)
{
  ArtFixture f;
  const IBitmap ranges = f.graphics->LoadBitmap("ranges.png", 5);
  for (int frame = 1; frame <= 5; ++frame)
    f.graphics->AttachControl(std::make_unique<FrameControl>(static_cast<float>(frame - 1) * 120.f, 0.f, ranges, frame));
  f.editor.RenderAll();
  for (int frame = 1; frame <= 5; ++frame)
  {
    for (int band = 1; band <= 5; ++band)
    {
      // The lamp at the band's left.
      const IColor lamp = f.editor.LayoutPixel(static_cast<float>(frame - 1) * 120.f + 15.f, (band - 0.5f) * 28.f);
      EXPECT_EQ(Near(lamp, kAccent, 12), band == frame) << "frame " << frame << " band " << band;
    }
  }
}

TEST(Art, KnobFramesSweepFromEmptyToFull)
{
  ArtFixture f;
  const IBitmap knob = f.graphics->LoadBitmap("knob.png", 65);
  f.graphics->AttachControl(std::make_unique<FrameControl>(0, 0, knob, 1));
  f.graphics->AttachControl(std::make_unique<FrameControl>(200, 0, knob, 65));
  f.editor.RenderAll();
  // The track's top lies on the arc: dark at the minimum, lit at the maximum.
  EXPECT_FALSE(Near(f.editor.LayoutPixel(50, 6), kAccent, 40));
  EXPECT_TRUE(Near(f.editor.LayoutPixel(250, 6), kAccent, 40));
}

TEST(Art, ValueCaptionsAndButtonLabelsFitTheirPlaces)
{
  ArtFixture f;
  ASSERT_TRUE(f.graphics->LoadFont("Roboto-Regular.ttf", "Roboto-Regular.ttf"));
  const IText caption(26.f, kAccent, "Roboto-Regular.ttf", EAlign::Center, EVAlign::Bottom);
  // The widest texts the knobs show; the display window below a knob is
  // 114 units wide and neighbours are 132 apart.
  for (const char* text : {"25.00Hz", "-100.0%", "2000ms", "1/16T", "100%", "67:33"})
    EXPECT_LT(f.graphics->MeasureText(caption, text), 110.f) << text;
  for (const char* text : {"OFF", "ON"})
    EXPECT_LT(f.graphics->MeasureText(caption, text), 60.f) << text;
  const IBitmap button = f.graphics->LoadBitmap("button.png", 2);
  for (const char* text : {"LEARN", "UNLEARN", "save config", "FREEZE"})
    EXPECT_LT(f.graphics->MeasureText(caption, text), static_cast<float>(button.FW()) - 10.f) << text;
}

TEST(Art, TheBackgroundFillsTheWindowAtTheDefaultScale)
{
  ArtFixture f(0.5f);
  f.graphics->AttachBackground("back.png");
  f.editor.RenderAll();
  for (float x : {2.f, 683.f, 1363.f})
  {
    for (float y : {2.f, 174.f, 345.f})
    {
      const IColor c = f.editor.LayoutPixel(x, y);
      EXPECT_EQ(c.A, 255);
      EXPECT_LT(c.R, 120) << "a dark panel";
    }
  }
}
