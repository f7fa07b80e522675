#pragma once

// Four-point Catmull-Rom value between h1 and h2 at fraction t. Used on both
// sides of the delay clock. Written for scalars and for the engine's
// two-channel vectors alike; the operation order is part of the sound (the
// output is bit-for-bit reproducible), so keep it as it is.
template <typename T>
inline T cubicInterpolate(T h0, T h1, T h2, T h3, double t)
{
  return h1 + 0.5 * t * (h2 - h0) + t * t * (h0 - 2.5 * h1 + 2.0 * h2 - 0.5 * h3) +
         t * t * t * (1.5 * (h1 - h2) + 0.5 * (h3 - h0));
}
