// One frame of the two-way toggle: a lever in a slot, up and lit when on.
#include <cmath>

#include "ArtKit.h"
#include "params/ProductFacts/EditorLayout.h"

using namespace ArtKit;

void DrawSwitchFrame(cairo_t* cr, bool on)
{
  const double w = EditorLayout::kSwitchWidth;
  const double h = EditorLayout::kSwitchHeight;

  // Plate.
  RoundedRect(cr, 8.5, 4.5, w - 17, h - 9, 11);
  cairo_pattern_t* plate = cairo_pattern_create_linear(0, 4, 0, h - 4);
  cairo_pattern_add_color_stop_rgb(plate, 0.0, 0.20, 0.21, 0.24);
  cairo_pattern_add_color_stop_rgb(plate, 1.0, 0.12, 0.13, 0.15);
  cairo_set_source(cr, plate);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(plate);
  cairo_set_line_width(cr, 1.0);
  SetColor(cr, kEdgeLight);
  cairo_stroke(cr);

  // Slot.
  RoundedRect(cr, 0.5 * w - 7, 16, 14, h - 32, 7);
  SetColor(cr, IColor(255, 8, 9, 10));
  cairo_fill(cr);

  // Lever.
  const double leverH = 28.0;
  const double top = on ? 12.0 : h - 12.0 - leverH;
  RoundedRect(cr, 0.5 * w - 15, top + 2, 30, leverH, 7);
  SetColor(cr, IColor(140, 0, 0, 0));
  cairo_fill(cr);
  RoundedRect(cr, 0.5 * w - 15, top, 30, leverH, 7);
  cairo_pattern_t* lever = cairo_pattern_create_linear(0, top, 0, top + leverH);
  cairo_pattern_add_color_stop_rgb(lever, 0.0, 0.36, 0.38, 0.41);
  cairo_pattern_add_color_stop_rgb(lever, 1.0, 0.18, 0.19, 0.21);
  cairo_set_source(cr, lever);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(lever);
  SetColor(cr, IColor(255, 90, 94, 100));
  cairo_stroke(cr);

  // The lamp strip on the lever: lit when on.
  RoundedRect(cr, 0.5 * w - 9, top + 0.5 * leverH - 2.5, 18, 5, 2.5);
  if (on)
  {
    SetColor(cr, kAccent);
    cairo_fill(cr);
    RoundedRect(cr, 0.5 * w - 12, top + 0.5 * leverH - 5.5, 24, 11, 5.5);
    SetColor(cr, kAccent, 0.18);
    cairo_fill(cr);
  }
  else
  {
    SetColor(cr, IColor(255, 20, 21, 23));
    cairo_fill(cr);
  }
}
