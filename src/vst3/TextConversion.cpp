#include "vst3/TextConversion.h"

#include <cstdint>

namespace TextConversion
{
namespace
{
// Decodes one UTF-8 sequence at text; returns its length in bytes, or 0 when
// the bytes there do not form a valid, shortest-form sequence.
size_t decodeUTF8(const unsigned char* text, char32_t& codePoint)
{
  const unsigned char lead = text[0];
  size_t length = 0;
  char32_t value = 0;
  if (lead < 0x80)
  {
    codePoint = lead;
    return 1;
  }
  if ((lead & 0xE0) == 0xC0) { length = 2; value = lead & 0x1F; }
  else if ((lead & 0xF0) == 0xE0) { length = 3; value = lead & 0x0F; }
  else if ((lead & 0xF8) == 0xF0) { length = 4; value = lead & 0x07; }
  else return 0;

  for (size_t i = 1; i < length; ++i)
  {
    if ((text[i] & 0xC0) != 0x80) // also stops at the terminator
      return 0;
    value = (value << 6) | (text[i] & 0x3F);
  }
  static constexpr char32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kSmallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
    return 0;
  codePoint = value;
  return length;
}
} // namespace

void ToUTF16(const char* text, char16_t* dest, size_t destChars)
{
  if (!dest || destChars == 0)
    return;
  size_t out = 0;
  const auto* in = reinterpret_cast<const unsigned char*>(text ? text : "");
  while (*in != 0)
  {
    char32_t codePoint = 0;
    size_t used = decodeUTF8(in, codePoint);
    if (used == 0)
    {
      codePoint = *in;
      used = 1;
    }
    if (codePoint >= 0x10000)
    {
      if (out + 2 >= destChars)
        break;
      codePoint -= 0x10000;
      dest[out++] = static_cast<char16_t>(0xD800 + (codePoint >> 10));
      dest[out++] = static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
    }
    else
    {
      if (out + 1 >= destChars)
        break;
      dest[out++] = static_cast<char16_t>(codePoint);
    }
    in += used;
  }
  dest[out] = 0;
}

std::string ToUTF8(const char16_t* text, size_t maxChars)
{
  std::string result;
  if (!text)
    return result;
  for (size_t i = 0; i < maxChars && text[i] != 0; ++i)
  {
    char32_t codePoint = text[i];
    if (codePoint >= 0xD800 && codePoint <= 0xDBFF && i + 1 < maxChars && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF)
    {
      codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    else if (codePoint >= 0xD800 && codePoint <= 0xDFFF)
    {
      codePoint = 0xFFFD;
    }

    if (codePoint < 0x80)
    {
      result += static_cast<char>(codePoint);
    }
    else if (codePoint < 0x800)
    {
      result += static_cast<char>(0xC0 | (codePoint >> 6));
      result += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
    else if (codePoint < 0x10000)
    {
      result += static_cast<char>(0xE0 | (codePoint >> 12));
      result += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
      result += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
    else
    {
      result += static_cast<char>(0xF0 | (codePoint >> 18));
      result += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
      result += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
      result += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
  }
  return result;
}
} // namespace TextConversion
