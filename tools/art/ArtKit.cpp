#include "ArtKit.h"

#include <cmath>

#include "toolkit/FontLoader.h"

namespace ArtKit
{
Canvas::Canvas(int w, int h, int resolution)
  : cr(nullptr), surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w * resolution, h * resolution))
{
  cr = cairo_create(surface);
  ApplyTextOptions(cr);
  cairo_scale(cr, resolution, resolution);
}

Canvas::~Canvas()
{
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
}

bool Canvas::WritePNG(const std::string& path) const
{
  cairo_surface_flush(surface);
  return cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
}

void SetColor(cairo_t* cr, const IColor& c, double alphaScale)
{
  cairo_set_source_rgba(cr, c.R / 255.0, c.G / 255.0, c.B / 255.0, c.A / 255.0 * alphaScale);
}

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r)
{
  r = std::min(r, 0.5 * std::min(w, h));
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
  cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
  cairo_arc(cr, x + r, y + r, r, M_PI, 1.5 * M_PI);
  cairo_close_path(cr);
}

double TextWidth(cairo_t* cr, cairo_font_face_t* font, double size, const std::string& text, double tracking)
{
  cairo_save(cr);
  cairo_set_font_face(cr, font);
  cairo_set_font_size(cr, size);
  cairo_text_extents_t te;
  cairo_text_extents(cr, text.c_str(), &te);
  cairo_restore(cr);
  return te.x_advance + tracking * (text.empty() ? 0.0 : static_cast<double>(text.size() - 1));
}

void Text(cairo_t* cr, cairo_font_face_t* font, double size, const std::string& text, double x, double baseline,
          EAlign align, const IColor& color, double tracking)
{
  const double width = TextWidth(cr, font, size, text, tracking);
  if (align == EAlign::Center)
    x -= 0.5 * width;
  else if (align == EAlign::Far)
    x -= width;
  cairo_save(cr);
  cairo_set_font_face(cr, font);
  cairo_set_font_size(cr, size);
  SetColor(cr, color);
  if (tracking == 0.0)
  {
    cairo_move_to(cr, x, baseline);
    cairo_show_text(cr, text.c_str());
  }
  else
  {
    // Letter by letter (the art's texts are ASCII).
    for (char c : text)
    {
      const char letter[2] = {c, '\0'};
      cairo_move_to(cr, x, baseline);
      cairo_show_text(cr, letter);
      cairo_text_extents_t te;
      cairo_text_extents(cr, letter, &te);
      x += te.x_advance + tracking;
    }
  }
  cairo_restore(cr);
}
} // namespace ArtKit
