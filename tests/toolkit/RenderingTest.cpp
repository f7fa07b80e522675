#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "ToolkitFixtures.h"
#include "toolkit/BitmapScaler.h"

#ifndef TOLMAR_FONT_FILE
#error "TOLMAR_FONT_FILE must name Roboto-Regular.ttf"
#endif

namespace
{
const IColor kRed{255, 220, 30, 30};
const IColor kGreen{255, 30, 200, 60};
const IColor kBlue{255, 40, 60, 230};
const IColor kGrey{255, 90, 90, 90};

// A folder of its own for the bitmaps a test writes.
struct TempFolder
{
  TempFolder()
  {
    char pattern[] = "/tmp/tolmar-toolkit-XXXXXX";
    path = ::mkdtemp(pattern);
  }
  ~TempFolder() { std::filesystem::remove_all(path); }
  std::string File(const char* name) const { return path + "/" + name; }
  std::string path;
};

// Draws one frame of a bitmap at its top-left corner.
class FrameControl : public IControl
{
public:
  FrameControl(float x, float y, IBitmap bmp, int frameNumber)
    : IControl(IRECT(x, y, x + static_cast<float>(bmp.FW()), y + static_cast<float>(bmp.FH()))), bitmap(bmp), frame(frameNumber)
  {
  }
  void Draw(IEditorGraphics& g) override
  {
    const IBlend blend = GetBlend();
    g.DrawBitmap(bitmap, GetRECT(), frame, &blend);
  }
  IBitmap bitmap;
  int frame;
};

class TextControl : public IControl
{
public:
  TextControl(const IRECT& bounds, IText style, std::string str) : IControl(bounds), text(std::move(style)), value(std::move(str)) {}
  void Draw(IEditorGraphics& g) override { g.DrawText(text, value.c_str(), GetRECT()); }
  IText text;
  std::string value;
};

// The extent of the pixels in a layout area that differ from a colour.
IRECT inkBounds(const OffscreenEditor& editor, const IRECT& area, const IColor& paper, float scale)
{
  IRECT ink;
  for (int py = static_cast<int>(area.T * scale); py < static_cast<int>(area.B * scale); ++py)
  {
    for (int px = static_cast<int>(area.L * scale); px < static_cast<int>(area.R * scale); ++px)
    {
      if (!Near(editor.PixelAt(px, py), paper, 40))
        ink = ink.Union(IRECT(px / scale, py / scale, (px + 1) / scale, (py + 1) / scale));
    }
  }
  return ink;
}
} // namespace

class RenderingAtScale : public ::testing::TestWithParam<float>
{
};

TEST_P(RenderingAtScale, BackgroundAndFramesLandWhereTheLayoutSays)
{
  const float scale = GetParam();
  TempFolder folder;
  WriteFramesPNG(folder.File("back.png"), 400, 200, {kGrey});
  WriteFramesPNG(folder.File("states.png"), 40, 20, {kRed, kGreen, kBlue});

  OffscreenFixture f(400, 200, scale);
  f.graphics->SetResourcePath(folder.path);
  f.graphics->AttachBackground("back.png");
  const IBitmap states = f.graphics->LoadBitmap("states.png", 3);
  ASSERT_TRUE(states.IsValid());
  EXPECT_EQ(states.FW(), 40);
  EXPECT_EQ(states.FH(), 20);
  f.graphics->AttachControl(std::make_unique<FrameControl>(100, 60, states, 1));
  f.graphics->AttachControl(std::make_unique<FrameControl>(200, 60, states, 2));
  f.graphics->AttachControl(std::make_unique<FrameControl>(300, 60, states, 7));  // clamped to 3
  f.editor.RenderAll();

  EXPECT_EQ(cairo_image_surface_get_width(f.graphics->GetBackingSurface()), static_cast<int>(400 * scale));
  EXPECT_TRUE(Near(f.editor.LayoutPixel(10, 10), kGrey));
  EXPECT_TRUE(Near(f.editor.LayoutPixel(120, 70), kRed));
  EXPECT_TRUE(Near(f.editor.LayoutPixel(220, 70), kGreen));
  EXPECT_TRUE(Near(f.editor.LayoutPixel(320, 70), kBlue));
  // Just outside the frames lies the background.
  EXPECT_TRUE(Near(f.editor.LayoutPixel(120, 84), kGrey));
  EXPECT_TRUE(Near(f.editor.LayoutPixel(96, 70), kGrey));
  // The frame's edges are sharp: the first and last pixel rows are the
  // frame's own colour.
  EXPECT_TRUE(Near(f.editor.PixelAt(static_cast<int>(120 * scale), static_cast<int>(60 * scale)), kRed));
  EXPECT_TRUE(Near(f.editor.PixelAt(static_cast<int>(120 * scale), static_cast<int>(80 * scale) - 1), kRed));
}

TEST_P(RenderingAtScale, DisabledControlsDrawAtAQuarter)
{
  const float scale = GetParam();
  TempFolder folder;
  WriteFramesPNG(folder.File("white.png"), 40, 40, {COLOR_WHITE});
  OffscreenFixture f(400, 200, scale);
  f.graphics->SetResourcePath(folder.path);
  auto* control = f.graphics->AttachControl(std::make_unique<FrameControl>(100, 100, f.graphics->LoadBitmap("white.png"), 1));
  control->SetDisabled(true);
  f.editor.RenderAll();
  // A quarter of white over the empty window's dark grey (24, 25, 28).
  const IColor mixed = f.editor.LayoutPixel(120, 120);
  EXPECT_NEAR(mixed.R, 24 + (255 - 24) / 4, 2);
  control->SetDisabled(false);
  f.editor.Render();
  EXPECT_TRUE(Near(f.editor.LayoutPixel(120, 120), COLOR_WHITE));
}

TEST_P(RenderingAtScale, TextFollowsItsAlignment)
{
  const float scale = GetParam();
  OffscreenFixture f(400, 200, scale);
  ASSERT_TRUE(f.graphics->LoadFont("Roboto-Regular.ttf", TOLMAR_FONT_FILE));
  const IColor paper(255, 24, 25, 28);
  const IRECT box(100, 50, 300, 150);
  IText bottomCentre(26.f, IColor(255, 255, 255, 192), "Roboto-Regular.ttf", EAlign::Center, EVAlign::Bottom);
  auto* text = f.graphics->AttachControl(std::make_unique<TextControl>(box, bottomCentre, "325ms"));
  f.editor.RenderAll();
  IRECT ink = inkBounds(f.editor, box, paper, scale);
  ASSERT_FALSE(ink.Empty());
  const float width = f.graphics->MeasureText(bottomCentre, "325ms");
  EXPECT_NEAR(ink.MW(), box.MW(), 3.f);
  EXPECT_NEAR(ink.W(), width, 6.f);
  EXPECT_GT(ink.B, box.B - 10.f) << "sits on the bottom edge";
  EXPECT_LT(ink.T, box.B - 14.f) << "digits are about 19 units high at size 26";
  EXPECT_GT(ink.T, box.B - 26.f);
  EXPECT_TRUE(Near(f.editor.PixelAt(static_cast<int>(ink.MW() * scale), static_cast<int>((box.T + 5) * scale)), paper));

  text->text.align = EAlign::Near;
  text->text.valign = EVAlign::Top;
  f.editor.RenderAll();
  ink = inkBounds(f.editor, box, paper, scale);
  EXPECT_LT(ink.L, box.L + 4.f);
  EXPECT_LT(ink.T, box.T + 10.f);

  text->text.align = EAlign::Far;
  text->text.valign = EVAlign::Middle;
  f.editor.RenderAll();
  ink = inkBounds(f.editor, box, paper, scale);
  EXPECT_GT(ink.R, box.R - 4.f);
  EXPECT_NEAR(ink.MH(), box.MH(), 4.f);
}

INSTANTIATE_TEST_SUITE_P(HalfAndFull, RenderingAtScale, ::testing::Values(0.5f, 1.0f));

TEST(Rendering, TextWidthScalesExactlyWithTheWindow)
{
  OffscreenFixture f;
  ASSERT_TRUE(f.graphics->LoadFont("Roboto-Regular.ttf", TOLMAR_FONT_FILE));
  const IText style(26.f, COLOR_WHITE, "Roboto-Regular.ttf");
  const float atHalf = f.graphics->MeasureText(style, "250-2000");
  f.graphics->Resize(1366, 348, 0.375f);
  EXPECT_FLOAT_EQ(f.graphics->MeasureText(style, "250-2000"), atHalf);
  EXPECT_GT(atHalf, 80.f);
  EXPECT_LT(atHalf, 110.f);
}

TEST(Rendering, FramesSideBySideAndHighResolutionCompanions)
{
  TempFolder folder;
  WriteFramesPNG(folder.File("row.png"), 30, 20, {kRed, kGreen}, true);
  WriteFramesPNG(folder.File("row@2x.png"), 60, 40, {kBlue, kGreen}, true);
  WriteFramesPNG(folder.File("odd@2x.png"), 10, 10, {kBlue}, true);
  WriteFramesPNG(folder.File("odd.png"), 30, 30, {kRed}, true);
  OffscreenFixture f(400, 200, 0.5f);
  f.graphics->SetResourcePath(folder.path);
  const IBitmap row = f.graphics->LoadBitmap("row.png", 2, true);
  ASSERT_TRUE(row.IsValid());
  EXPECT_EQ(row.W(), 60);
  EXPECT_EQ(row.FW(), 30);
  EXPECT_EQ(row.FH(), 20);
  f.graphics->AttachControl(std::make_unique<FrameControl>(10, 10, row, 1));
  f.graphics->AttachControl(std::make_unique<FrameControl>(100, 10, row, 2));
  f.editor.RenderAll();
  EXPECT_TRUE(Near(f.editor.LayoutPixel(20, 20), kRed)) << "scale 0.5 draws from the 1x image";
  EXPECT_TRUE(Near(f.editor.LayoutPixel(110, 20), kGreen));
  f.graphics->Resize(400, 200, 2.f);
  f.editor.RenderAll();
  EXPECT_TRUE(Near(f.editor.LayoutPixel(20, 20), kBlue)) << "scale 2 draws from the 2x image";

  // A companion of the wrong size is ignored.
  f.graphics->AttachControl(std::make_unique<FrameControl>(200, 100, f.graphics->LoadBitmap("odd.png"), 1));
  f.editor.RenderAll();
  EXPECT_TRUE(Near(f.editor.LayoutPixel(210, 110), kRed));
}

TEST(Rendering, EnlargedFramesTakeNoColourFromTheirNeighbours)
{
  TempFolder folder;
  WriteFramesPNG(folder.File("pair.png"), 20, 10, {kRed, kGreen});
  OffscreenFixture f(400, 200, 3.f);
  f.graphics->SetResourcePath(folder.path);
  const IBitmap pair = f.graphics->LoadBitmap("pair.png", 2);
  f.graphics->AttachControl(std::make_unique<FrameControl>(10, 10, pair, 1));
  f.graphics->AttachControl(std::make_unique<FrameControl>(50, 10, pair, 2));
  f.editor.RenderAll();
  EXPECT_TRUE(Near(f.editor.PixelAt(45, 30), kRed, 0)) << "first pixel row of frame 1";
  EXPECT_TRUE(Near(f.editor.PixelAt(45, 59), kRed, 0)) << "last pixel row of frame 1";
  EXPECT_TRUE(Near(f.editor.PixelAt(165, 30), kGreen, 0)) << "first pixel row of frame 2";
}

TEST(Rendering, MissingResourcesDrawNothingAndFail)
{
  OffscreenFixture f;
  f.graphics->SetResourcePath("/nonexistent-folder");
  EXPECT_FALSE(f.graphics->LoadBitmap("knob.png", 65).IsValid());
  EXPECT_FALSE(f.graphics->LoadFont("Roboto-Regular.ttf", "Roboto-Regular.ttf"));
  f.graphics->AttachBackground("back.png");
  f.graphics->AttachControl(std::make_unique<FrameControl>(0, 0, IBitmap(), 1));
  f.editor.RenderAll();
  EXPECT_TRUE(Near(f.editor.LayoutPixel(100, 100), IColor(255, 24, 25, 28)));
}

TEST(Rendering, ShrinkingAveragesEveryPixel)
{
  // Alternating black and white columns halve to an even grey, and a
  // one-pixel line keeps its share of ink at any fraction.
  cairo_surface_t* stripes = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 4);
  cairo_t* cr = cairo_create(stripes);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_paint(cr);
  cairo_set_source_rgb(cr, 1, 1, 1);
  for (int x = 0; x < 8; x += 2)
    cairo_rectangle(cr, x, 0, 1, 4);
  cairo_fill(cr);
  cairo_destroy(cr);

  cairo_surface_t* half = ResampleImage(stripes, 0, 0, 8, 4, 4, 2);
  ASSERT_NE(half, nullptr);
  const unsigned char* data = cairo_image_surface_get_data(half);
  for (int x = 0; x < 4; ++x)
  {
    const uint32_t p = reinterpret_cast<const uint32_t*>(data)[x];
    EXPECT_NEAR(static_cast<int>((p >> 16) & 0xff), 128, 1);
    EXPECT_EQ(p >> 24, 255u);
  }
  cairo_surface_t* same = ResampleImage(stripes, 2, 0, 4, 4, 4, 4);
  const uint32_t first = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(same))[0];
  const uint32_t second = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(same))[1];
  EXPECT_EQ(first, 0xffffffffu) << "a 1:1 copy is exact";
  EXPECT_EQ(second, 0xff000000u);
  EXPECT_EQ(ResampleImage(stripes, 6, 0, 4, 4, 2, 2), nullptr) << "outside the image";
  cairo_surface_destroy(same);
  cairo_surface_destroy(half);
  cairo_surface_destroy(stripes);
}

TEST(Rendering, WritesThePicture)
{
  TempFolder folder;
  OffscreenFixture f;
  f.graphics->AttachControl(std::make_unique<RecordingControl>(IRECT(0, 0, 100, 100), -1, kRed));
  f.editor.RenderAll();
  ASSERT_TRUE(f.editor.WritePNG(folder.File("shot.png")));
  cairo_surface_t* shot = cairo_image_surface_create_from_png(folder.File("shot.png").c_str());
  EXPECT_EQ(cairo_image_surface_get_width(shot), 683);
  EXPECT_EQ(cairo_image_surface_get_height(shot), 174);
  cairo_surface_destroy(shot);
}
