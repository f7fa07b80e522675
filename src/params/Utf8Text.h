#pragma once
#include <cstddef>
#include <string>

// Reading UTF-8 that comes from outside (a web answer, a file) so that only
// well-formed text reaches the screen. Header-only: the update check and the
// toolkit's text layout both rely on it and share no library.
namespace Utf8Text
{
inline constexpr const char* kReplacementCharacter = "\xEF\xBF\xBD"; // U+FFFD

// The length of the well-formed sequence at text[i] (whole = true, codePoint
// set), or of its longest well-formed beginning when it is broken (whole =
// false; at least 1).
inline size_t Sequence(const std::string& text, size_t i, char32_t& codePoint, bool& whole)
{
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
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
    const unsigned char next = byte(i + k);
    if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF))
      return k;
    value = (value << 6) | (next & 0x3F);
  }
  codePoint = value;
  whole = true;
  return length;
}

inline bool IsControl(char32_t c)
{
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

// Valid UTF-8: each broken sequence and each control character becomes
// U+FFFD. With keepLineBreaks, line feeds and tabs stay and a carriage
// return (alone or before a line feed) becomes one line feed.
inline std::string Displayable(const std::string& text, bool keepLineBreaks)
{
  std::string shown;
  shown.reserve(text.size());
  for (size_t i = 0; i < text.size();)
  {
    char32_t c = 0;
    bool whole = false;
    const size_t length = Sequence(text, i, c, whole);
    if (keepLineBreaks && whole && c == '\r')
    {
      shown += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n')
        ++i;
    }
    else if (whole && (!IsControl(c) || (keepLineBreaks && (c == '\n' || c == '\t'))))
      shown.append(text, i, length);
    else
      shown += kReplacementCharacter;
    i += length;
  }
  return shown;
}
} // namespace Utf8Text
