// One frame of the knob: a graphite cap with a pointer, inside a track
// whose lit arc shows the value (270 degrees from lower left to lower right).
#include <cmath>

#include "ArtKit.h"
#include "params/ProductFacts/EditorLayout.h"

using namespace ArtKit;

void DrawKnobFrame(cairo_t* cr, double value)
{
  const double c = 0.5 * EditorLayout::kKnobSize;
  const double start = 0.75 * M_PI;
  const double sweep = 1.5 * M_PI;
  const double angle = start + sweep * value;
  const double trackRadius = 44.0;

  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_width(cr, 5.0);
  cairo_arc(cr, c, c, trackRadius, start, start + sweep);
  SetColor(cr, IColor(255, 12, 13, 15));
  cairo_stroke(cr);
  if (value > 0.0)
  {
    // A faint glow under the lit arc.
    cairo_set_line_width(cr, 9.0);
    cairo_arc(cr, c, c, trackRadius, start, angle);
    SetColor(cr, kAccent, 0.12);
    cairo_stroke(cr);
    cairo_set_line_width(cr, 4.0);
    cairo_arc(cr, c, c, trackRadius, start, angle);
    SetColor(cr, kAccent);
    cairo_stroke(cr);
  }

  // Shadow, body, rim.
  const double body = 33.0;
  cairo_arc(cr, c, c + 2.5, body + 1.5, 0, 2 * M_PI);
  SetColor(cr, IColor(150, 0, 0, 0));
  cairo_fill(cr);

  cairo_pattern_t* shade = cairo_pattern_create_radial(c - 10, c - 14, 4, c, c, body);
  cairo_pattern_add_color_stop_rgb(shade, 0.0, 0.30, 0.32, 0.35);
  cairo_pattern_add_color_stop_rgb(shade, 1.0, 0.11, 0.12, 0.13);
  cairo_set_source(cr, shade);
  cairo_arc(cr, c, c, body, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_pattern_destroy(shade);

  cairo_set_line_width(cr, 1.2);
  cairo_pattern_t* rim = cairo_pattern_create_linear(0, c - body, 0, c + body);
  cairo_pattern_add_color_stop_rgba(rim, 0.0, 0.55, 0.57, 0.60, 0.9);
  cairo_pattern_add_color_stop_rgba(rim, 1.0, 0.05, 0.05, 0.06, 0.9);
  cairo_set_source(cr, rim);
  cairo_arc(cr, c, c, body - 0.6, 0, 2 * M_PI);
  cairo_stroke(cr);
  cairo_pattern_destroy(rim);

  // A slightly dished top face.
  const double face = 26.0;
  cairo_pattern_t* dish = cairo_pattern_create_linear(0, c - face, 0, c + face);
  cairo_pattern_add_color_stop_rgb(dish, 0.0, 0.13, 0.14, 0.15);
  cairo_pattern_add_color_stop_rgb(dish, 1.0, 0.22, 0.23, 0.25);
  cairo_set_source(cr, dish);
  cairo_arc(cr, c, c, face, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_pattern_destroy(dish);

  // The pointer.
  const double dx = std::cos(angle);
  const double dy = std::sin(angle);
  cairo_move_to(cr, c + dx * 13.0, c + dy * 13.0);
  cairo_line_to(cr, c + dx * 29.0, c + dy * 29.0);
  cairo_set_line_width(cr, 3.6);
  SetColor(cr, kAccent);
  cairo_stroke(cr);
}
