#include "toolkit/TextLayout.h"

namespace
{
constexpr const char* kReplacementCharacter = "\xEF\xBF\xBD"; // U+FFFD
constexpr const char* kEllipsis = "...";
// Zero-width characters never fill a line; measuring a line costs its length
// squared, so no line grows beyond this.
constexpr size_t kMaxLineCharacters = 256;

bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

size_t nextCharacter(const std::string& text, size_t i)
{
  ++i;
  while (i < text.size() && isContinuationByte(text[i]))
    ++i;
  return i;
}

// The length of the well-formed UTF-8 sequence at text[i] (whole = true), or
// of its longest well-formed beginning when it is broken (at least 1).
size_t utf8Sequence(const std::string& text, size_t i, char32_t& codePoint, bool& whole)
{
  const unsigned char lead = static_cast<unsigned char>(text[i]);
  whole = false;
  if (lead < 0x80)
  {
    codePoint = lead;
    whole = true;
    return 1;
  }
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF; // the second byte's range
  if (lead >= 0xC2 && lead <= 0xDF)
    length = 2;
  else if (lead >= 0xE0 && lead <= 0xEF)
  {
    length = 3;
    low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
    high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
  }
  else if (lead >= 0xF0 && lead <= 0xF4)
  {
    length = 4;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
  }
  else
    return 1;
  char32_t value = lead & (0x7F >> length);
  for (size_t k = 1; k < length; ++k)
  {
    if (i + k >= text.size())
      return k;
    const unsigned char next = static_cast<unsigned char>(text[i + k]);
    if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF))
      return k;
    value = (value << 6) | (next & 0x3F);
  }
  codePoint = value;
  whole = true;
  return length;
}

void trimTrailingSpaces(std::string& line)
{
  while (!line.empty() && line.back() == ' ')
    line.pop_back();
}

// Adds the paragraph's lines until there are `limit` lines; returns false
// when it had to stop before its end.
bool wrapParagraph(cairo_t* cr, const std::string& paragraph, double maxWidth, size_t limit,
                   std::vector<std::string>& lines)
{
  size_t lineStart = 0;
  while (lineStart < paragraph.size())
  {
    while (lineStart < paragraph.size() && paragraph[lineStart] == ' ')
      ++lineStart;
    if (lineStart >= paragraph.size())
      break;
    if (lines.size() >= limit)
      return false;
    size_t end = lineStart;
    size_t lastBreak = std::string::npos;  // position after a space or slash
    size_t characters = 0;
    while (end < paragraph.size() && characters < kMaxLineCharacters)
    {
      const size_t next = nextCharacter(paragraph, end);
      if (TextLayout::Width(cr, paragraph.substr(lineStart, next - lineStart)) > maxWidth && end > lineStart)
        break;
      if (paragraph[end] == ' ' || paragraph[end] == '/')
        lastBreak = next;
      end = next;
      ++characters;
    }
    size_t cut = end;
    if (end < paragraph.size() && lastBreak != std::string::npos && lastBreak > lineStart)
      cut = lastBreak;
    std::string line = paragraph.substr(lineStart, cut - lineStart);
    trimTrailingSpaces(line);
    lines.push_back(line);
    lineStart = cut;
  }
  return true;
}

// The line with an ellipsis after it, shortened so that both fit.
std::string withEllipsis(cairo_t* cr, std::string line, double maxWidth)
{
  while (!line.empty() && TextLayout::Width(cr, line + kEllipsis) > maxWidth)
  {
    size_t last = line.size() - 1;
    while (last > 0 && isContinuationByte(line[last]))
      --last;
    line.erase(last);
  }
  return line + kEllipsis;
}
} // namespace

namespace TextLayout
{
std::string Displayable(const std::string& text)
{
  std::string shown;
  shown.reserve(text.size());
  for (size_t i = 0; i < text.size();)
  {
    char32_t c = 0;
    bool whole = false;
    const size_t length = utf8Sequence(text, i, c, whole);
    if (whole && c == '\r')
    {
      shown += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n')
        ++i;
    }
    else if (whole && (c == '\n' || c == '\t' || !(c < 0x20 || (c >= 0x7F && c <= 0x9F))))
      shown.append(text, i, length);
    else
      shown += kReplacementCharacter;
    i += length;
  }
  return shown;
}

double Width(cairo_t* cr, const std::string& text)
{
  if (text.empty())
    return 0.0;
  cairo_text_extents_t extents;
  cairo_text_extents(cr, text.c_str(), &extents);
  return extents.x_advance;
}

std::vector<std::string> Wrap(cairo_t* cr, const std::string& text, double maxWidth, size_t maxLines)
{
  std::vector<std::string> lines;
  if (maxLines == 0)
    return lines;
  size_t start = 0;
  bool complete = true;
  while (true)
  {
    const size_t feed = text.find('\n', start);
    const std::string paragraph = text.substr(start, feed == std::string::npos ? std::string::npos : feed - start);
    const size_t before = lines.size();
    complete = wrapParagraph(cr, paragraph, maxWidth, maxLines, lines);
    if (complete && lines.size() == before)
    {
      if (lines.size() >= maxLines)
        complete = false;
      else
        lines.emplace_back();  // an empty line keeps its place
    }
    if (!complete || feed == std::string::npos)
      break;
    start = feed + 1;
    if (lines.size() >= maxLines)
    {
      complete = false;
      break;
    }
  }
  if (!complete)
    lines.back() = withEllipsis(cr, lines.back(), maxWidth);
  return lines;
}

std::string Elide(cairo_t* cr, const std::string& text, double maxWidth)
{
  if (Width(cr, text) <= maxWidth)
    return text;
  std::string kept;
  size_t characters = 0;
  for (size_t i = 0; i < text.size() && characters < kMaxLineCharacters; ++characters)
  {
    const size_t next = nextCharacter(text, i);
    const std::string candidate = text.substr(0, next) + kEllipsis;
    if (Width(cr, candidate) > maxWidth)
      break;
    kept = text.substr(0, next);
    i = next;
  }
  return kept + kEllipsis;
}
} // namespace TextLayout
