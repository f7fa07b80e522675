#pragma once
#include <algorithm>

// A colour as alpha, red, green and blue, each 0 to 255.
struct IColor
{
  int A = 255;
  int R = 0;
  int G = 0;
  int B = 0;

  constexpr IColor() = default;
  constexpr IColor(int a, int r, int g, int b) : A(a), R(r), G(g), B(b) {}

  IColor WithAlpha(int alpha) const { return {alpha, R, G, B}; }
  bool operator==(const IColor& other) const = default;
};

inline constexpr IColor COLOR_TRANSPARENT{0, 0, 0, 0};
inline constexpr IColor COLOR_BLACK{255, 0, 0, 0};
inline constexpr IColor COLOR_WHITE{255, 255, 255, 255};

// How a drawing is composed onto what is already there; the weight scales
// its opacity (a disabled control draws at a quarter).
enum class EBlend
{
  Default,
  Add,
};

struct IBlend
{
  EBlend method = EBlend::Default;
  float weight = 1.f;

  constexpr IBlend() = default;
  constexpr IBlend(EBlend m, float w) : method(m), weight(w) {}
  explicit constexpr IBlend(float w) : weight(w) {}

  float Weight() const { return std::clamp(weight, 0.f, 1.f); }
};

// The weight of an optional blend; no blend means fully opaque.
inline float BlendWeight(const IBlend* blend) { return blend ? blend->Weight() : 1.f; }
