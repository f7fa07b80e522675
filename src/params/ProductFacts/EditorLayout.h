#pragma once

// Where the editor puts its controls (layout units, 1366 x 348) and the
// frame sizes of the bitmaps drawn for them. The editor places its controls
// here and the art tool draws the background to fit: labels above the
// controls, value displays below them.
namespace EditorLayout
{
inline constexpr int kWidth = 1366;
inline constexpr int kHeight = 348;

inline constexpr int kKnobSize = 100;
inline constexpr int kKnobFrames = 65;
inline constexpr int kSwitchWidth = 60;
inline constexpr int kSwitchHeight = 90;
inline constexpr int kRangeWidth = 110;
inline constexpr int kRangeHeight = 140;
inline constexpr int kRangeFrames = 5;
inline constexpr int kButtonWidth = 148;
inline constexpr int kButtonHeight = 48;
inline constexpr int kSwitchFrames = 2;
inline constexpr int kButtonFrames = 2;

// Top-left corners of the bitmap areas.
struct Point
{
  float x;
  float y;
};
inline constexpr Point kRange{40, 192};
inline constexpr Point kDelaySync{166, 188};
inline constexpr Point kTime{240, 200};
inline constexpr Point kFeedback{372, 200};
inline constexpr Point kLFOSpeed{548, 200};
inline constexpr Point kLFOSync{666, 188};
inline constexpr Point kLFODepth{744, 200};
inline constexpr Point kMix{920, 200};
inline constexpr Point kQuality{1052, 200};
inline constexpr Point kLearn{1210, 160};
inline constexpr Point kSave{1210, 216};
inline constexpr Point kFreeze{1210, 272};

// The menus' click areas: left, top, right, bottom.
struct Area
{
  float l, t, r, b;
};
inline constexpr Area kPresetMenu{20, 24, 80, 84};
inline constexpr Area kOnlineMenu{1032, 24, 1336, 80};

// The value captions: a knob's ends 44 units below the knob, a switch's
// 136 units below the switch's top.
inline constexpr float kKnobCaptionDrop = 44.f;
inline constexpr float kSwitchCaptionBottom = 136.f;
} // namespace EditorLayout
