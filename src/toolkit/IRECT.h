#pragma once
#include <algorithm>
#include <cmath>

// An axis-aligned rectangle in layout units: left, top, right, bottom.
// The right and bottom edges are outside the rectangle.
struct IRECT
{
  float L = 0.f;
  float T = 0.f;
  float R = 0.f;
  float B = 0.f;

  constexpr IRECT() = default;
  constexpr IRECT(float l, float t, float r, float b) : L(l), T(t), R(r), B(b) {}

  static IRECT MakeXYWH(float x, float y, float w, float h) { return {x, y, x + w, y + h}; }

  float W() const { return R - L; }
  float H() const { return B - T; }
  float MW() const { return 0.5f * (L + R); }
  float MH() const { return 0.5f * (T + B); }
  bool Empty() const { return !(R > L && B > T); }

  bool Contains(float x, float y) const { return x >= L && x < R && y >= T && y < B; }
  bool Contains(const IRECT& other) const
  {
    return !other.Empty() && other.L >= L && other.R <= R && other.T >= T && other.B <= B;
  }
  bool Intersects(const IRECT& other) const
  {
    return !Empty() && !other.Empty() && other.L < R && other.R > L && other.T < B && other.B > T;
  }

  // The common part, or an empty rectangle when there is none.
  IRECT Intersect(const IRECT& other) const
  {
    if (!Intersects(other))
      return {};
    return {std::max(L, other.L), std::max(T, other.T), std::min(R, other.R), std::min(B, other.B)};
  }

  // The smallest rectangle holding both; an empty side is ignored.
  IRECT Union(const IRECT& other) const
  {
    if (Empty())
      return other;
    if (other.Empty())
      return *this;
    return {std::min(L, other.L), std::min(T, other.T), std::max(R, other.R), std::max(B, other.B)};
  }

  IRECT GetPadded(float padding) const { return {L - padding, T - padding, R + padding, B + padding}; }
  IRECT GetTranslated(float dx, float dy) const { return {L + dx, T + dy, R + dx, B + dy}; }
  IRECT GetScaled(float scale) const { return {L * scale, T * scale, R * scale, B * scale}; }

  // A rectangle of the given size sharing this one's centre.
  IRECT GetCentredInside(float w, float h) const
  {
    const float x = MW() - 0.5f * w;
    const float y = MH() - 0.5f * h;
    return {x, y, x + w, y + h};
  }

  // Grown outwards to whole numbers, so that every pixel the rectangle
  // touches is inside.
  IRECT GetRoundedOut() const { return {std::floor(L), std::floor(T), std::ceil(R), std::ceil(B)}; }

  bool operator==(const IRECT& other) const = default;
};
