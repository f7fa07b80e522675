#include "toolkit/X11Keys.h"

#include <xcb/xcb.h>

namespace X11Keys
{
namespace
{
constexpr uint32_t kKeypadFirst = 0xFF80;
constexpr uint32_t kKeypadLast = 0xFFBD;

bool isKeypad(uint32_t keysym) { return keysym >= kKeypadFirst && keysym <= kKeypadLast; }

uint32_t lowerToUpper(uint32_t keysym)
{
  if (keysym >= 'a' && keysym <= 'z')
    return keysym - 32;
  // Latin-1 letters, except the division sign and y with diaeresis.
  if (keysym >= 0xE0 && keysym <= 0xFE && keysym != 0xF7)
    return keysym - 32;
  return keysym;
}

void putUtf8(uint32_t code, char* out)
{
  if (code < 0x80)
  {
    out[0] = static_cast<char>(code);
  }
  else if (code < 0x800)
  {
    out[0] = static_cast<char>(0xC0 | (code >> 6));
    out[1] = static_cast<char>(0x80 | (code & 0x3F));
  }
  else if (code < 0x10000)
  {
    out[0] = static_cast<char>(0xE0 | (code >> 12));
    out[1] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (code & 0x3F));
  }
  else
  {
    out[0] = static_cast<char>(0xF0 | (code >> 18));
    out[1] = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (code & 0x3F));
  }
}

// The character a key symbol types, or 0.
uint32_t characterOf(uint32_t keysym)
{
  if ((keysym >= 0x20 && keysym <= 0x7E) || (keysym >= 0xA0 && keysym <= 0xFF))
    return keysym;
  if (keysym >= 0x01000100 && keysym <= 0x0110FFFF)
  {
    const uint32_t code = keysym & 0x00FFFFFF;
    return code >= 0xD800 && code <= 0xDFFF ? 0 : code;
  }
  if (keysym >= 0xFFB0 && keysym <= 0xFFB9)
    return '0' + (keysym - 0xFFB0);
  switch (keysym)
  {
  case 0xFF80: return ' ';  // KP_Space
  case 0xFFAA: return '*';
  case 0xFFAB: return '+';
  case 0xFFAC: return ',';
  case 0xFFAD: return '-';
  case 0xFFAE: return '.';
  case 0xFFAF: return '/';
  case 0xFFBD: return '=';
  default: return 0;
  }
}

int virtualKeyOf(uint32_t keysym)
{
  switch (keysym)
  {
  case 0xFF08: return kVK_BACK;
  case 0xFF09: case 0xFE20: return kVK_TAB;
  case 0xFF0D: case 0xFF8D: return kVK_RETURN;
  case 0xFF1B: return kVK_ESCAPE;
  case 0xFFFF: case 0xFF9F: return kVK_DELETE;
  case 0xFF50: case 0xFF95: return kVK_HOME;
  case 0xFF57: case 0xFF9C: return kVK_END;
  case 0xFF51: case 0xFF96: return kVK_LEFT;
  case 0xFF52: case 0xFF97: return kVK_UP;
  case 0xFF53: case 0xFF98: return kVK_RIGHT;
  case 0xFF54: case 0xFF99: return kVK_DOWN;
  case 0x20: return kVK_SPACE;
  default: break;
  }
  if (keysym >= 0xFFB0 && keysym <= 0xFFB9)
    return 96 + static_cast<int>(keysym - 0xFFB0);
  if (keysym >= 0xFFBE && keysym <= 0xFFC9) // F1 to F12
    return 112 + static_cast<int>(keysym - 0xFFBE);
  const uint32_t upper = lowerToUpper(keysym);
  if ((upper >= 'A' && upper <= 'Z') || (upper >= '0' && upper <= '9'))
    return static_cast<int>(upper);
  return kVK_NONE;
}
} // namespace

uint32_t Keymap::Symbol(uint8_t keycode, uint16_t state) const
{
  if (Empty() || keycode < firstKeycode)
    return 0;
  const size_t row = static_cast<size_t>(keycode - firstKeycode) * static_cast<size_t>(symbolsPerKeycode);
  if (row + static_cast<size_t>(symbolsPerKeycode) > symbols.size())
    return 0;
  auto at = [&](int column) -> uint32_t {
    return column < symbolsPerKeycode ? symbols[row + static_cast<size_t>(column)] : 0;
  };
  // AltGr (Mod5 on the common layouts) picks the third and fourth level.
  const int base = (state & XCB_MOD_MASK_5) && symbolsPerKeycode >= 5 && at(4) ? 4 : 0;
  const uint32_t first = at(base);
  uint32_t second = at(base + 1);
  if (!second)
    second = first;
  const bool shift = (state & XCB_MOD_MASK_SHIFT) != 0;
  if (isKeypad(second) && (state & XCB_MOD_MASK_2))
    return shift ? first : second;
  const bool caps = (state & XCB_MOD_MASK_LOCK) != 0;
  if (second == lowerToUpper(first) && second != first)
    return shift != caps ? second : first;
  return shift ? second : first;
}

IKeyPress Translate(uint32_t keysym, uint16_t state)
{
  char text[5] = {};
  const uint32_t character = characterOf(keysym);
  const bool control = (state & XCB_MOD_MASK_CONTROL) != 0;
  if (character)
    putUtf8(character, text);
  return IKeyPress(text, virtualKeyOf(keysym), (state & XCB_MOD_MASK_SHIFT) != 0, control,
                   (state & XCB_MOD_MASK_1) != 0);
}
} // namespace X11Keys
