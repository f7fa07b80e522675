#include "toolkit/TextLayout.h"

namespace
{
bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

size_t nextCharacter(const std::string& text, size_t i)
{
  ++i;
  while (i < text.size() && isContinuationByte(text[i]))
    ++i;
  return i;
}

void trimTrailingSpaces(std::string& line)
{
  while (!line.empty() && line.back() == ' ')
    line.pop_back();
}

void wrapParagraph(cairo_t* cr, const std::string& paragraph, double maxWidth, std::vector<std::string>& lines)
{
  size_t lineStart = 0;
  while (lineStart < paragraph.size())
  {
    while (lineStart < paragraph.size() && paragraph[lineStart] == ' ')
      ++lineStart;
    if (lineStart >= paragraph.size())
      break;
    size_t end = lineStart;
    size_t lastBreak = std::string::npos;  // position after a space or slash
    while (end < paragraph.size())
    {
      const size_t next = nextCharacter(paragraph, end);
      if (TextLayout::Width(cr, paragraph.substr(lineStart, next - lineStart)) > maxWidth && end > lineStart)
        break;
      if (paragraph[end] == ' ' || paragraph[end] == '/')
        lastBreak = next;
      end = next;
    }
    size_t cut = end;
    if (end < paragraph.size() && lastBreak != std::string::npos && lastBreak > lineStart)
      cut = lastBreak;
    std::string line = paragraph.substr(lineStart, cut - lineStart);
    trimTrailingSpaces(line);
    lines.push_back(line);
    lineStart = cut;
  }
}
} // namespace

namespace TextLayout
{
double Width(cairo_t* cr, const std::string& text)
{
  if (text.empty())
    return 0.0;
  cairo_text_extents_t extents;
  cairo_text_extents(cr, text.c_str(), &extents);
  return extents.x_advance;
}

std::vector<std::string> Wrap(cairo_t* cr, const std::string& text, double maxWidth)
{
  std::vector<std::string> lines;
  size_t start = 0;
  while (true)
  {
    const size_t feed = text.find('\n', start);
    const std::string paragraph = text.substr(start, feed == std::string::npos ? std::string::npos : feed - start);
    const size_t before = lines.size();
    wrapParagraph(cr, paragraph, maxWidth, lines);
    if (lines.size() == before)
      lines.emplace_back();  // an empty line keeps its place
    if (feed == std::string::npos)
      break;
    start = feed + 1;
  }
  return lines;
}

std::string Elide(cairo_t* cr, const std::string& text, double maxWidth)
{
  if (Width(cr, text) <= maxWidth)
    return text;
  std::string kept;
  for (size_t i = 0; i < text.size();)
  {
    const size_t next = nextCharacter(text, i);
    const std::string candidate = text.substr(0, next) + "...";
    if (Width(cr, candidate) > maxWidth)
      break;
    kept = text.substr(0, next);
    i = next;
  }
  return kept + "...";
}
} // namespace TextLayout
