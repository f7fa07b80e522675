#pragma once
#include <cstdint>
#include <vector>

#include "toolkit/IMouseMod.h"

// Key strokes from the X server: the keyboard's mapping from key codes to
// key symbols, and what a key symbol means to the editor.
namespace X11Keys
{
// The key symbols of every key code, as the server's GetKeyboardMapping
// answers them.
struct Keymap
{
  uint8_t firstKeycode = 0;
  int symbolsPerKeycode = 0;
  std::vector<uint32_t> symbols;

  bool Empty() const { return symbols.empty() || symbolsPerKeycode <= 0; }
  // The symbol a key gives with the modifier state of its event (Shift,
  // Caps Lock, Num Lock for the keypad, AltGr for a third level); 0 when
  // the key has none.
  uint32_t Symbol(uint8_t keycode, uint16_t state) const;
};

// What the editor gets for a key symbol: its text (empty for keys that
// type nothing) and its virtual key, with the modifiers of the event.
IKeyPress Translate(uint32_t keysym, uint16_t state);
} // namespace X11Keys
