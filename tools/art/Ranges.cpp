// One frame of the range selector: the five delay ranges in bands from top
// to bottom, the band of the frame's number lit.
#include <cmath>

#include "ArtKit.h"
#include "params/ProductFacts/EditorLayout.h"

using namespace ArtKit;

void DrawRangeFrame(cairo_t* cr, const Fonts& fonts, int litBand)
{
  static const char* const kRanges[] = {"1-8", "4-31", "16-125", "62-500", "250-2000"};
  const double w = EditorLayout::kRangeWidth;
  const double h = EditorLayout::kRangeHeight;
  const double band = h / EditorLayout::kRangeFrames;

  RoundedRect(cr, 0.5, 0.5, w - 1, h - 1, 9);
  SetColor(cr, kDisplay);
  cairo_fill_preserve(cr);
  cairo_set_line_width(cr, 1.0);
  SetColor(cr, kEdgeDark);
  cairo_stroke(cr);

  for (int i = 0; i < EditorLayout::kRangeFrames; ++i)
  {
    const double top = i * band;
    const double mid = top + 0.5 * band;
    const bool lit = i == litBand;
    if (i > 0)
    {
      cairo_rectangle(cr, 10, top, w - 20, 1);
      SetColor(cr, IColor(255, 36, 38, 43));
      cairo_fill(cr);
    }
    if (lit)
    {
      RoundedRect(cr, 4, top + 3, w - 8, band - 6, 6);
      SetColor(cr, kAccent, 0.10);
      cairo_fill(cr);
      cairo_arc(cr, 15, mid, 7.0, 0, 2 * M_PI);
      SetColor(cr, kAccent, 0.18);
      cairo_fill(cr);
    }
    cairo_arc(cr, 15, mid, 3.8, 0, 2 * M_PI);
    SetColor(cr, lit ? kAccent : IColor(255, 48, 51, 57));
    cairo_fill(cr);
    Text(cr, fonts.medium, 16.5, kRanges[i], w - 11, mid + 6, EAlign::Far, lit ? kAccent : kDimText);
  }
}
