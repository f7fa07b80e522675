#pragma once
#include <cairo.h>

#include <cstddef>
#include <string>
#include <vector>

// Text measuring and line breaking with the font and size set on cr.
//
// cairo refuses text that is not UTF-8 and then draws nothing more on that
// context, so text from outside goes through Displayable first.
namespace TextLayout
{
// A text safe to measure and draw: bytes that are not UTF-8 and control
// characters other than line feed and tab become U+FFFD; a carriage return,
// alone or before a line feed, becomes a line feed.
std::string Displayable(const std::string& text);

// The advance width of a text.
double Width(cairo_t* cr, const std::string& text);

// Breaks a text into lines no wider than maxWidth: at line feeds, else after
// the last space or slash that fits, else between two characters (never
// inside a UTF-8 sequence). Spaces at a break are dropped. A line holds at
// most a few hundred characters, however narrow they are. When the text
// needs more than maxLines lines, the last one shown ends with "...".
std::vector<std::string> Wrap(cairo_t* cr, const std::string& text, double maxWidth,
                              size_t maxLines = static_cast<size_t>(-1));

// Shortens a text to fit maxWidth, ending it with "..." when cut.
std::string Elide(cairo_t* cr, const std::string& text, double maxWidth);
} // namespace TextLayout
