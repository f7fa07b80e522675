// Draws the editor's bitmaps at one and two pixels per layout unit:
//   tolmar_make_art <output folder> <Roboto-Regular.ttf>
// Medium and Light weights beside the regular font are used for headings
// and the title when present.
#include <cstdio>
#include <string>

#include "ArtKit.h"
#include "params/ProductFacts/EditorLayout.h"
#include "toolkit/FontLoader.h"

using namespace ArtKit;
using namespace EditorLayout;

namespace
{
std::string sibling(const std::string& file, const char* name)
{
  const size_t slash = file.find_last_of('/');
  std::string result(file, 0, slash == std::string::npos ? 0 : slash + 1);
  result.append(name);
  return result;
}

std::string outputName(const std::string& folder, const char* stem, int resolution)
{
  std::string path(folder);
  path.append("/").append(stem);
  if (resolution > 1)
    path.append("@").append(std::to_string(resolution)).append("x");
  path.append(".png");
  return path;
}

bool writeAll(const std::string& folder, const Fonts& fonts, int resolution)
{
  bool ok = true;
  {
    Canvas canvas(kWidth, kHeight, resolution);
    DrawBackground(canvas.cr, fonts);
    ok = canvas.WritePNG(outputName(folder, "back", resolution)) && ok;
  }
  {
    Canvas canvas(kKnobSize, kKnobSize * kKnobFrames, resolution);
    for (int i = 0; i < kKnobFrames; ++i)
    {
      cairo_save(canvas.cr);
      cairo_translate(canvas.cr, 0, i * kKnobSize);
      DrawKnobFrame(canvas.cr, static_cast<double>(i) / (kKnobFrames - 1));
      cairo_restore(canvas.cr);
    }
    ok = canvas.WritePNG(outputName(folder, "knob", resolution)) && ok;
  }
  {
    Canvas canvas(kSwitchWidth, kSwitchHeight * 2, resolution);
    for (int i = 0; i < 2; ++i)
    {
      cairo_save(canvas.cr);
      cairo_translate(canvas.cr, 0, i * kSwitchHeight);
      DrawSwitchFrame(canvas.cr, i == 1);
      cairo_restore(canvas.cr);
    }
    ok = canvas.WritePNG(outputName(folder, "switch", resolution)) && ok;
  }
  {
    Canvas canvas(kRangeWidth, kRangeHeight * kRangeFrames, resolution);
    for (int i = 0; i < kRangeFrames; ++i)
    {
      cairo_save(canvas.cr);
      cairo_translate(canvas.cr, 0, i * kRangeHeight);
      DrawRangeFrame(canvas.cr, fonts, i);
      cairo_restore(canvas.cr);
    }
    ok = canvas.WritePNG(outputName(folder, "ranges", resolution)) && ok;
  }
  {
    Canvas canvas(kButtonWidth, kButtonHeight * 2, resolution);
    for (int i = 0; i < 2; ++i)
    {
      cairo_save(canvas.cr);
      cairo_translate(canvas.cr, 0, i * kButtonHeight);
      DrawButtonFrame(canvas.cr, i == 1);
      cairo_restore(canvas.cr);
    }
    ok = canvas.WritePNG(outputName(folder, "button", resolution)) && ok;
  }
  return ok;
}
} // namespace

int main(int argc, char** argv)
{
  if (argc != 3)
  {
    std::fprintf(stderr, "usage: %s <output folder> <Roboto-Regular.ttf>\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  const std::string regularFile = argv[2];

  FontLoader loader;
  Fonts fonts;
  fonts.regular = loader.Load(regularFile);
  if (!fonts.regular)
  {
    std::fprintf(stderr, "cannot read the font %s\n", regularFile.c_str());
    return 1;
  }
  fonts.medium = loader.Load(sibling(regularFile, "Roboto-Medium.ttf"));
  fonts.light = loader.Load(sibling(regularFile, "Roboto-Light.ttf"));
  if (!fonts.medium)
    fonts.medium = cairo_font_face_reference(fonts.regular);
  if (!fonts.light)
    fonts.light = cairo_font_face_reference(fonts.regular);

  bool ok = true;
  for (int resolution : {1, 2})
    ok = writeAll(folder, fonts, resolution) && ok;

  cairo_font_face_destroy(fonts.regular);
  cairo_font_face_destroy(fonts.medium);
  cairo_font_face_destroy(fonts.light);
  if (!ok)
  {
    std::fprintf(stderr, "cannot write the bitmaps into %s\n", folder.c_str());
    return 1;
  }
  return 0;
}
