#pragma once
#include <cairo.h>

#include <string>

#include "toolkit/IColor.h"
#include "toolkit/IRECT.h"
#include "toolkit/TextLayout.h"

// The look of menus and message boxes: the editor's dark panel with its
// pale yellow accent, so that they read as part of the product.
namespace OverlayStyle
{
inline constexpr IColor kPanel{250, 38, 40, 45};
inline constexpr IColor kBorder{110, 255, 255, 192};
inline constexpr IColor kText{255, 232, 232, 220};
inline constexpr IColor kDisabledText{255, 120, 120, 118};
inline constexpr IColor kAccent{255, 255, 255, 192};
inline constexpr IColor kOnAccent{255, 29, 31, 34};
inline constexpr IColor kSeparator{40, 255, 255, 255};
inline constexpr IColor kShadow{60, 0, 0, 0};
inline constexpr IColor kDim{115, 0, 0, 0};
inline constexpr IColor kButton{255, 56, 59, 66};
inline constexpr IColor kButtonHover{255, 70, 74, 82};

// The sizes here are points at the editor's natural size, drawn at half
// its layout (its "100%"), where the menu text matches the value captions;
// at other draw scales they are scaled alike.
inline constexpr float kNaturalDrawScale = 0.5f;
inline float ScaleFor(float drawScale) { return drawScale / kNaturalDrawScale; }

// A scratch cairo context for measuring text outside drawing, in `font`
// (the toolkit's default where null) at `size` points.
struct TextMeasure
{
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
  cairo_t* cr = cairo_create(surface);
  TextMeasure(cairo_font_face_t* font, float size)
  {
    if (font)
      cairo_set_font_face(cr, font);
    cairo_set_font_size(cr, size);
  }
  ~TextMeasure()
  {
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
  TextMeasure(const TextMeasure&) = delete;
  TextMeasure& operator=(const TextMeasure&) = delete;
};

inline constexpr float kMargin = 4.f;      // kept free at the window's edges
inline constexpr float kRadius = 6.f;
inline constexpr float kFontSize = 13.f;
inline constexpr float kCaptionSize = 15.f;

inline void SetColor(cairo_t* cr, const IColor& c, float weight = 1.f)
{
  cairo_set_source_rgba(cr, c.R / 255.0, c.G / 255.0, c.B / 255.0, c.A / 255.0 * weight);
}

inline void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r)
{
  const double k = r < 0.5 * w && r < 0.5 * h ? r : 0.5 * (w < h ? w : h);
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - k, y + k, k, -1.5707963267948966, 0);
  cairo_arc(cr, x + w - k, y + h - k, k, 0, 1.5707963267948966);
  cairo_arc(cr, x + k, y + h - k, k, 1.5707963267948966, 3.141592653589793);
  cairo_arc(cr, x + k, y + k, k, 3.141592653589793, 4.71238898038469);
  cairo_close_path(cr);
}

// A soft shadow under a rounded panel.
inline void Shadow(cairo_t* cr, double x, double y, double w, double h, double r)
{
  for (int i = 1; i <= 4; ++i)
  {
    RoundedRect(cr, x - i + 1, y - i + 3, w + 2 * i - 2, h + 2 * i - 2, r + i);
    SetColor(cr, kShadow, 0.3f);
    cairo_fill(cr);
  }
}
// A push button of a box: the focused one (the default) in the accent
// colour, the others dark, lit under the pointer. The label is drawn with
// the font and size set on cr.
inline void Button(cairo_t* cr, const IRECT& r, const std::string& label, bool focused, bool hovered, bool pressed)
{
  RoundedRect(cr, r.L, r.T, r.W(), r.H(), 5.0);
  if (focused)
    SetColor(cr, kAccent, pressed ? 0.8f : 1.f);
  else
    SetColor(cr, hovered || pressed ? kButtonHover : kButton);
  cairo_fill_preserve(cr);
  SetColor(cr, kBorder);
  cairo_set_line_width(cr, 1.0);
  cairo_stroke(cr);
  cairo_font_extents_t fe;
  cairo_font_extents(cr, &fe);
  SetColor(cr, focused ? kOnAccent : kText);
  const double w = TextLayout::Width(cr, label);
  cairo_move_to(cr, r.MW() - 0.5 * w, r.MH() + 0.5 * (fe.ascent - fe.descent));
  cairo_show_text(cr, label.c_str());
}
} // namespace OverlayStyle
