#include "vst3/KeyTranslation.h"

#include <cstring>
#include <string>

#include "vst3/TextConversion.h"

namespace KeyTranslation
{
namespace
{
// VST 3 key codes 1 to 56 and their virtual keys (index = code - 1).
constexpr int kVirtualKeys[] = {
    8,   9,   12,  13,  19,  27,  32,  34,  35,  36,  37,  38,  39,  40,  33,  34,  41,  42,  13,
    44,  45,  46,  47,  96,  97,  98,  99,  100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110,
    111, 112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 122, 123, 144, 145, 16,  17,  18,
};
constexpr int16_t kLastTableCode = 56;
constexpr int16_t kVST3KeyEquals = 57;
static_assert(sizeof(kVirtualKeys) / sizeof(kVirtualKeys[0]) == kLastTableCode);

IKeyPress withModifiers(const char* text, int virtualKey, int16_t modifiers)
{
  return IKeyPress(text, virtualKey, (modifiers & kShiftBit) != 0, (modifiers & kCommandBit) != 0,
                   (modifiers & kAltBit) != 0);
}
} // namespace

char16_t CharacterFor(char16_t key, int16_t keyCode)
{
  if (key)
    return key;
  const int lowByte = keyCode & 0xFF;
  if (lowByte >= kVST3FirstAscii)
    return static_cast<char16_t>(lowByte - 80);
  if (keyCode == kVST3KeySpace)
    return u' ';
  return 0;
}

int VirtualKeyFor(int16_t keyCode, const char* text)
{
  if (keyCode >= 1 && keyCode <= kLastTableCode)
    return kVirtualKeys[keyCode - 1];
  if (keyCode == 0 || keyCode == kVST3KeyEquals)
  {
    const char c = text ? text[0] : '\0';
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z'))
      return c;
    if (c >= 'a' && c <= 'z')
      return c - 'a' + 'A';
    return 0;
  }
  return keyCode < kVST3FirstAscii ? 0 : keyCode - 80;
}

IKeyPress Translate(char16_t key, int16_t keyCode, int16_t modifiers)
{
  const char16_t character = CharacterFor(key, keyCode);
  std::string text;
  if (character)
  {
    const char16_t units[2] = {character, 0};
    text = TextConversion::ToUTF8(units, 1);
  }
  // One UTF-16 unit is at most three bytes of UTF-8, within the key's four.
  return withModifiers(text.c_str(), VirtualKeyFor(keyCode, text.c_str()), modifiers);
}

IKeyPress SpaceKey(int16_t modifiers)
{
  return withModifiers(" ", kVK_SPACE, modifiers);
}
} // namespace KeyTranslation
