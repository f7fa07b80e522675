// The editor's panel: header with product name and menu areas, four
// sections with headings, a label above every control and a display window
// below every knob and switch for its value caption.
#include <cmath>

#include "ArtKit.h"
#include "params/ProductFacts/EditorLayout.h"

using namespace ArtKit;
using namespace EditorLayout;

namespace
{
constexpr double kHeaderBottom = 100.0;
constexpr double kHeadingBaseline = 138.0;
constexpr double kLabelBaseline = 180.0;
constexpr double kLabelSize = 17.0;
constexpr double kLabelTracking = 1.2;

struct Section
{
  const char* heading;
  double left;
  double right;
};
constexpr Section kSections[] = {
  {"DELAY", 30, 486},
  {"MODULATION", 530, 858},
  {"OUTPUT", 902, 1166},
  {"MIDI", 1196, 1358},
};

void panel(cairo_t* cr)
{
  cairo_pattern_t* body = cairo_pattern_create_linear(0, 0, 0, kHeight);
  cairo_pattern_add_color_stop_rgb(body, 0.0, kPanelTop.R / 255.0, kPanelTop.G / 255.0, kPanelTop.B / 255.0);
  cairo_pattern_add_color_stop_rgb(body, 1.0, kPanelBottom.R / 255.0, kPanelBottom.G / 255.0, kPanelBottom.B / 255.0);
  cairo_set_source(cr, body);
  cairo_paint(cr);
  cairo_pattern_destroy(body);

  // The header is a shade darker, set off by a groove.
  cairo_rectangle(cr, 0, 0, kWidth, kHeaderBottom);
  SetColor(cr, IColor(90, 0, 0, 0));
  cairo_fill(cr);
  cairo_rectangle(cr, 0, kHeaderBottom - 1, kWidth, 1);
  SetColor(cr, kEdgeDark);
  cairo_fill(cr);
  cairo_rectangle(cr, 0, kHeaderBottom, kWidth, 1);
  SetColor(cr, kEdgeLight, 0.6);
  cairo_fill(cr);

  // A thin light edge around the whole face.
  cairo_rectangle(cr, 0.5, 0.5, kWidth - 1, kHeight - 1);
  cairo_set_line_width(cr, 1.0);
  SetColor(cr, kEdgeLight, 0.35);
  cairo_stroke(cr);
}

void title(cairo_t* cr, const Fonts& fonts)
{
  const double baseline = 64.0;
  const double x = 104.0;
  const double size = 34.0;
  Text(cr, fonts.medium, size, "Tolmar", x, baseline, EAlign::Near, kAccent);
  const double gap = TextWidth(cr, fonts.medium, size, "Tolmar ");
  Text(cr, fonts.light, size, "Charge Chain Delay", x + gap, baseline, EAlign::Near, IColor(255, 226, 228, 222));
}

void presetArea(cairo_t* cr, const Fonts& fonts)
{
  const Area& a = kPresetMenu;
  RoundedRect(cr, a.l + 0.5, a.t + 0.5, a.r - a.l - 1, a.b - a.t - 1, 9);
  SetColor(cr, IColor(255, 44, 47, 54));
  cairo_fill_preserve(cr);
  cairo_set_line_width(cr, 1.0);
  SetColor(cr, kEdgeLight);
  cairo_stroke(cr);

  // A list: three lines with bullets.
  const double cx = 0.5 * (a.l + a.r);
  for (int i = 0; i < 3; ++i)
  {
    const double y = a.t + 15 + i * 8;
    cairo_arc(cr, cx - 13, y, 1.8, 0, 2 * M_PI);
    SetColor(cr, kAccent);
    cairo_fill(cr);
    cairo_move_to(cr, cx - 7, y);
    cairo_line_to(cr, cx + 14, y);
    cairo_set_line_width(cr, 2.2);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_stroke(cr);
  }
  Text(cr, fonts.medium, 11, "PRESETS", cx, a.b - 7, EAlign::Center, kLabel, 0.4);
}

void onlineArea(cairo_t* cr, const Fonts& fonts)
{
  const Area& a = kOnlineMenu;
  const double h = a.b - a.t;
  RoundedRect(cr, a.l + 0.5, a.t + 0.5, a.r - a.l - 1, h - 1, 11);
  SetColor(cr, IColor(255, 44, 47, 54));
  cairo_fill_preserve(cr);
  cairo_set_line_width(cr, 1.0);
  SetColor(cr, kEdgeLight);
  cairo_stroke(cr);

  // A globe.
  const double gx = a.l + 30;
  const double gy = a.t + 0.5 * h;
  const double r = 11.0;
  SetColor(cr, kAccent);
  cairo_set_line_width(cr, 1.6);
  cairo_arc(cr, gx, gy, r, 0, 2 * M_PI);
  cairo_stroke(cr);
  cairo_save(cr);
  cairo_translate(cr, gx, gy);
  cairo_scale(cr, 0.45, 1.0);
  cairo_arc(cr, 0, 0, r, 0, 2 * M_PI);
  cairo_restore(cr);
  cairo_stroke(cr);
  cairo_move_to(cr, gx - r, gy);
  cairo_line_to(cr, gx + r, gy);
  cairo_stroke(cr);
  cairo_move_to(cr, gx - r * 0.87, gy - r * 0.5);
  cairo_line_to(cr, gx + r * 0.87, gy - r * 0.5);
  cairo_move_to(cr, gx - r * 0.87, gy + r * 0.5);
  cairo_line_to(cr, gx + r * 0.87, gy + r * 0.5);
  cairo_set_line_width(cr, 1.1);
  cairo_stroke(cr);

  Text(cr, fonts.regular, 19, "Update Check & Website", a.l + 54, gy + 7, EAlign::Near, IColor(255, 226, 228, 222));

  // A chevron: the area opens a menu.
  const double cx = a.r - 24;
  cairo_move_to(cr, cx - 6, gy - 3);
  cairo_line_to(cr, cx, gy + 3);
  cairo_line_to(cr, cx + 6, gy - 3);
  cairo_set_line_width(cr, 2.0);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  SetColor(cr, kAccent);
  cairo_stroke(cr);
}

void sections(cairo_t* cr, const Fonts& fonts)
{
  for (const Section& s : kSections)
  {
    Text(cr, fonts.medium, 16, s.heading, s.left, kHeadingBaseline, EAlign::Near, kAccent, 2.2);
    const double end = s.left + TextWidth(cr, fonts.medium, 16, s.heading, 2.2) + 12;
    cairo_rectangle(cr, end, kHeadingBaseline - 5, s.right - end, 1);
    SetColor(cr, kAccent, 0.28);
    cairo_fill(cr);
  }
  // Grooves between the sections.
  for (double x : {508.0, 880.0, 1181.0})
  {
    cairo_rectangle(cr, x, 118, 1, 216);
    SetColor(cr, kEdgeDark, 0.9);
    cairo_fill(cr);
    cairo_rectangle(cr, x + 1, 118, 1, 216);
    SetColor(cr, kEdgeLight, 0.35);
    cairo_fill(cr);
  }
}

void label(cairo_t* cr, const Fonts& fonts, const char* text, double centreX)
{
  Text(cr, fonts.medium, kLabelSize, text, centreX, kLabelBaseline, EAlign::Center, kLabel, kLabelTracking);
}

// A recessed window behind a value caption.
void display(cairo_t* cr, double centreX, double top, double bottom, double width)
{
  const double x = centreX - 0.5 * width;
  RoundedRect(cr, x, top, width, bottom - top, 7);
  SetColor(cr, kDisplay);
  cairo_fill_preserve(cr);
  cairo_set_line_width(cr, 1.0);
  SetColor(cr, kEdgeDark);
  cairo_stroke(cr);
  // Light catches the lower lip.
  cairo_move_to(cr, x + 7, bottom + 0.5);
  cairo_line_to(cr, x + width - 7, bottom + 0.5);
  SetColor(cr, kEdgeLight, 0.5);
  cairo_stroke(cr);
}

// A soft shadow under a knob.
void knobWell(cairo_t* cr, const Point& p)
{
  const double cx = p.x + 0.5 * kKnobSize;
  const double cy = p.y + 0.5 * kKnobSize + 2;
  cairo_pattern_t* shade = cairo_pattern_create_radial(cx, cy, 30, cx, cy, 50);
  cairo_pattern_add_color_stop_rgba(shade, 0.0, 0, 0, 0, 0.45);
  cairo_pattern_add_color_stop_rgba(shade, 1.0, 0, 0, 0, 0.0);
  cairo_set_source(cr, shade);
  cairo_arc(cr, cx, cy, 50, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_pattern_destroy(shade);
}

void controls(cairo_t* cr, const Fonts& fonts)
{
  label(cr, fonts, "RANGE (ms)", kRange.x + 0.5 * kRangeWidth);
  label(cr, fonts, "SYNC", kDelaySync.x + 0.5 * kSwitchWidth);
  label(cr, fonts, "SYNC", kLFOSync.x + 0.5 * kSwitchWidth);

  struct Knob
  {
    const char* label;
    Point at;
  };
  const Knob knobs[] = {{"TIME", kTime},   {"FEEDBACK", kFeedback}, {"SPEED", kLFOSpeed},
                        {"DEPTH", kLFODepth}, {"MIX", kMix},         {"QUALITY", kQuality}};
  for (const Knob& knob : knobs)
  {
    const double cx = knob.at.x + 0.5 * kKnobSize;
    label(cr, fonts, knob.label, cx);
    knobWell(cr, knob.at);
    const double captionBottom = knob.at.y + kKnobSize + kKnobCaptionDrop;
    display(cr, cx, captionBottom - 32, captionBottom, 114);
  }
  for (const Point& s : {kDelaySync, kLFOSync})
  {
    const double captionBottom = s.y + kSwitchCaptionBottom;
    display(cr, s.x + 0.5 * kSwitchWidth, captionBottom - 32, captionBottom, 62);
  }
}
} // namespace

void DrawBackground(cairo_t* cr, const Fonts& fonts)
{
  panel(cr);
  title(cr, fonts);
  presetArea(cr, fonts);
  onlineArea(cr, fonts);
  sections(cr, fonts);
  controls(cr, fonts);
}
