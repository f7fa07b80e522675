// One frame of the push button; the editor writes the label over it. Lit
// (frame 2) it glows in the accent colour and stays dark enough for the
// pale label.
#include <cmath>

#include "ArtKit.h"
#include "params/ProductFacts/EditorLayout.h"

using namespace ArtKit;

void DrawButtonFrame(cairo_t* cr, bool on)
{
  const double w = EditorLayout::kButtonWidth;
  const double h = EditorLayout::kButtonHeight;

  RoundedRect(cr, 2, 4, w - 4, h - 5, 9);
  SetColor(cr, IColor(150, 0, 0, 0));
  cairo_fill(cr);

  RoundedRect(cr, 2.5, 2.5, w - 5, h - 6, 9);
  cairo_pattern_t* face = cairo_pattern_create_linear(0, 2, 0, h - 4);
  if (on)
  {
    cairo_pattern_add_color_stop_rgb(face, 0.0, 0.33, 0.32, 0.22);
    cairo_pattern_add_color_stop_rgb(face, 1.0, 0.21, 0.20, 0.13);
  }
  else
  {
    cairo_pattern_add_color_stop_rgb(face, 0.0, 0.23, 0.24, 0.27);
    cairo_pattern_add_color_stop_rgb(face, 1.0, 0.15, 0.16, 0.18);
  }
  cairo_set_source(cr, face);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(face);
  cairo_set_line_width(cr, 1.0);
  SetColor(cr, on ? kAccent : kEdgeLight, on ? 0.9 : 1.0);
  cairo_stroke(cr);

  if (on)
  {
    RoundedRect(cr, 4.5, 4.5, w - 9, h - 10, 7);
    cairo_set_line_width(cr, 2.0);
    SetColor(cr, kAccent, 0.22);
    cairo_stroke(cr);
  }
  // Light on the upper lip.
  cairo_move_to(cr, 11, 3.5);
  cairo_line_to(cr, w - 11, 3.5);
  cairo_set_line_width(cr, 1.0);
  SetColor(cr, IColor(255, 255, 255, 255), on ? 0.16 : 0.10);
  cairo_stroke(cr);
}
