#pragma once
#include <cairo.h>

#include <string>
#include <vector>

// Text measuring and line breaking with the font and size set on cr.
namespace TextLayout
{
// The advance width of a text.
double Width(cairo_t* cr, const std::string& text);

// Breaks a text into lines no wider than maxWidth: at line feeds, else after
// the last space or slash that fits, else between two characters (never
// inside a UTF-8 sequence). Spaces at a break are dropped.
std::vector<std::string> Wrap(cairo_t* cr, const std::string& text, double maxWidth);

// Shortens a text to fit maxWidth, ending it with "..." when cut.
std::string Elide(cairo_t* cr, const std::string& text, double maxWidth);
} // namespace TextLayout
