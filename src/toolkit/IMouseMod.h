#pragma once

// Buttons and modifier keys held during a mouse event: left, right, shift,
// control (the command key) and alt.
struct IMouseMod
{
  bool L = false;
  bool R = false;
  bool S = false;
  bool C = false;
  bool A = false;

  constexpr IMouseMod() = default;
  constexpr IMouseMod(bool left, bool right = false, bool shift = false, bool control = false, bool alt = false)
    : L(left), R(right), S(shift), C(control), A(alt)
  {
  }

  // Shift or control asks a gesture for finer steps.
  bool Fine() const { return S || C; }
};

// Virtual key codes in the numbering hosts use for key strokes.
enum EVirtualKey : int
{
  kVK_NONE = 0,
  kVK_BACK = 8,
  kVK_TAB = 9,
  kVK_RETURN = 13,
  kVK_ESCAPE = 27,
  kVK_SPACE = 32,
  kVK_END = 35,
  kVK_HOME = 36,
  kVK_LEFT = 37,
  kVK_UP = 38,
  kVK_RIGHT = 39,
  kVK_DOWN = 40,
  kVK_DELETE = 46,
};

// One key stroke: its text as UTF-8, its virtual key and the modifiers.
struct IKeyPress
{
  char utf8[5] = {};
  int VK = kVK_NONE;
  bool S = false;
  bool C = false;
  bool A = false;

  IKeyPress() = default;
  IKeyPress(const char* text, int virtualKey, bool shift = false, bool control = false, bool alt = false)
    : VK(virtualKey), S(shift), C(control), A(alt)
  {
    for (int i = 0; text && i < 4 && text[i]; ++i)
      utf8[i] = text[i];
  }
};
