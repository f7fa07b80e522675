#pragma once
#include "params/ProductFacts/EditorLayout.h"
#include "toolkit/IRECT.h"
#include "toolkit/IText.h"

// Sizes, styles and window scales of the editor. Positions are layout units
// of the 1366 x 348 layout.
namespace GUI
{
inline constexpr int kLayoutWidth = EditorLayout::kWidth;
inline constexpr int kLayoutHeight = EditorLayout::kHeight;
inline constexpr float kMinScale = 0.25f;
inline constexpr float kMaxScale = 4.0f;
inline constexpr float kCornerSize = 26.f;
inline constexpr const char* kFont = "Roboto-Regular.ttf";

// The entries of the window-size menu.
enum GUISize
{
  kSize50 = 0,
  kSize75 = 1,
  kSize100 = 2,
  kSize200 = 3,
  kSize400 = 4,
  kSize800 = 5,
};

// Scale of a window-size entry; 0 for a value outside the menu.
// "200%" is 1/sqrt(2) in single precision: the entries are named after the
// window's area, not its width.
inline float scaleForSize(int size)
{
  constexpr float scales[] = {0.25f, 0.375f, 0.5f, 0.70710677f, 1.0f, 2.0f};
  return size >= 0 && size <= kSize800 ? scales[size] : 0.f;
}

inline constexpr IColor kPaleYellow{255, 255, 255, 192};
inline constexpr IColor kOrangeRed{255, 255, 64, 0};

// Value captions of knobs and switches, bottom-aligned.
inline IText valueStyle() { return IText(26.f, kPaleYellow, kFont, EAlign::Center, EVAlign::Bottom); }
// The time caption while the synced note is longer than the line.
inline IText alertStyle() { return IText(26.f, kOrangeRed, kFont, EAlign::Center, EVAlign::Bottom); }
// Labels of the push buttons.
inline IText buttonStyle() { return IText(26.f, kPaleYellow, kFont, EAlign::Center, EVAlign::Middle); }
} // namespace GUI

// A click area of the layout as the toolkit's rectangle.
inline IRECT areaOf(const EditorLayout::Area& a) { return IRECT(a.l, a.t, a.r, a.b); }
