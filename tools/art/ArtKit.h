#pragma once
#include <cairo.h>

#include <string>

#include "toolkit/IColor.h"
#include "toolkit/IText.h"

// Drawing helpers shared by the bitmaps of the editor's art.
namespace ArtKit
{
// The palette: a dark panel with a pale yellow accent (the colour of the
// editor's value texts).
inline constexpr IColor kAccent{255, 255, 255, 192};
inline constexpr IColor kLabel{255, 178, 180, 176};
inline constexpr IColor kDimText{255, 120, 124, 128};
inline constexpr IColor kPanelTop{255, 40, 43, 49};
inline constexpr IColor kPanelBottom{255, 25, 27, 31};
inline constexpr IColor kDisplay{255, 16, 17, 20};
inline constexpr IColor kEdgeDark{255, 10, 11, 13};
inline constexpr IColor kEdgeLight{255, 62, 66, 74};

struct Fonts
{
  cairo_font_face_t* regular = nullptr;
  cairo_font_face_t* medium = nullptr;
  cairo_font_face_t* light = nullptr;
};

// An image of w x h layout units at resolution pixels per unit; cr draws in
// layout units.
class Canvas
{
public:
  Canvas(int w, int h, int resolution);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  bool WritePNG(const std::string& path) const;

  cairo_t* cr;

private:
  cairo_surface_t* surface;
};

void SetColor(cairo_t* cr, const IColor& color, double alphaScale = 1.0);
void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r);
// Text on a baseline; tracking adds space between the characters.
void Text(cairo_t* cr, cairo_font_face_t* font, double size, const std::string& text, double x, double baseline,
          EAlign align, const IColor& color, double tracking = 0.0);
double TextWidth(cairo_t* cr, cairo_font_face_t* font, double size, const std::string& text, double tracking = 0.0);
} // namespace ArtKit

// The bitmaps, each drawn into a canvas of its full size.
void DrawBackground(cairo_t* cr, const ArtKit::Fonts& fonts);
void DrawKnobFrame(cairo_t* cr, double value);
void DrawSwitchFrame(cairo_t* cr, bool on);
void DrawRangeFrame(cairo_t* cr, const ArtKit::Fonts& fonts, int litBand);
void DrawButtonFrame(cairo_t* cr, bool on);
