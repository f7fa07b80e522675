#include "toolkit/BitmapScaler.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace
{
struct Tap
{
  int index;
  float weight;
};

// For each destination position, the source positions and their weights.
struct Taps
{
  std::vector<int> start;  // first tap of each destination position
  std::vector<Tap> taps;
};

Taps makeTaps(int sourceLength, int destLength)
{
  Taps result;
  result.start.reserve(static_cast<size_t>(destLength) + 1);
  const double ratio = static_cast<double>(sourceLength) / destLength;
  for (int d = 0; d < destLength; ++d)
  {
    result.start.push_back(static_cast<int>(result.taps.size()));
    const size_t first = result.taps.size();
    if (ratio > 1.0)
    {
      const double lo = d * ratio;
      const double hi = (d + 1) * ratio;
      for (int s = static_cast<int>(std::floor(lo)); s < static_cast<int>(std::ceil(hi)); ++s)
      {
        const double covered = std::min(hi, s + 1.0) - std::max(lo, static_cast<double>(s));
        if (covered > 1e-9)
          result.taps.push_back({std::clamp(s, 0, sourceLength - 1), static_cast<float>(covered)});
      }
    }
    else
    {
      const double centre = (d + 0.5) * ratio - 0.5;
      const int left = static_cast<int>(std::floor(centre));
      const float t = static_cast<float>(centre - left);
      result.taps.push_back({std::clamp(left, 0, sourceLength - 1), 1.f - t});
      if (t > 0.f)
        result.taps.push_back({std::clamp(left + 1, 0, sourceLength - 1), t});
    }
    float sum = 0.f;
    for (size_t i = first; i < result.taps.size(); ++i)
      sum += result.taps[i].weight;
    for (size_t i = first; i < result.taps.size(); ++i)
      result.taps[i].weight /= sum;
  }
  result.start.push_back(static_cast<int>(result.taps.size()));
  return result;
}
} // namespace

cairo_surface_t* ResampleImage(cairo_surface_t* source, int sx, int sy, int sw, int sh, int dw, int dh)
{
  if (!source || cairo_image_surface_get_format(source) != CAIRO_FORMAT_ARGB32 || sw <= 0 || sh <= 0 || dw <= 0 ||
      dh <= 0 || sx < 0 || sy < 0 || sx + sw > cairo_image_surface_get_width(source) ||
      sy + sh > cairo_image_surface_get_height(source))
    return nullptr;

  cairo_surface_flush(source);
  const unsigned char* sourcePixels = cairo_image_surface_get_data(source);
  const int sourceStride = cairo_image_surface_get_stride(source);

  cairo_surface_t* dest = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, dw, dh);
  if (cairo_surface_status(dest) != CAIRO_STATUS_SUCCESS)
  {
    cairo_surface_destroy(dest);
    return nullptr;
  }
  unsigned char* destPixels = cairo_image_surface_get_data(dest);
  const int destStride = cairo_image_surface_get_stride(dest);

  if (dw == sw && dh == sh)
  {
    for (int y = 0; y < dh; ++y)
      std::memcpy(destPixels + y * destStride, sourcePixels + (sy + y) * sourceStride + sx * 4, static_cast<size_t>(dw) * 4u);
    cairo_surface_mark_dirty(dest);
    return dest;
  }
  if (dw >= sw && dh >= sh)
  {
    // Enlarging: pixman's linear interpolation gives the same result as the
    // filter below and is much faster on large windows.
    cairo_surface_t* part = cairo_surface_create_for_rectangle(source, sx, sy, sw, sh);
    cairo_t* cr = cairo_create(dest);
    cairo_scale(cr, static_cast<double>(dw) / sw, static_cast<double>(dh) / sh);
    cairo_set_source_surface(cr, part, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(part);
    cairo_surface_flush(dest);
    return dest;
  }

  const Taps columns = makeTaps(sw, dw);
  const Taps rows = makeTaps(sh, dh);

  // Horizontal pass into a float buffer of dw x sh pixels, four channels.
  std::vector<float> wide(static_cast<size_t>(dw) * static_cast<size_t>(sh) * 4u);
  for (int y = 0; y < sh; ++y)
  {
    const uint32_t* row = reinterpret_cast<const uint32_t*>(sourcePixels + (sy + y) * sourceStride) + sx;
    float* out = &wide[static_cast<size_t>(y) * static_cast<size_t>(dw) * 4u];
    for (int x = 0; x < dw; ++x)
    {
      float a = 0.f, r = 0.f, g = 0.f, b = 0.f;
      for (int t = columns.start[static_cast<size_t>(x)]; t < columns.start[static_cast<size_t>(x) + 1]; ++t)
      {
        const Tap& tap = columns.taps[static_cast<size_t>(t)];
        const uint32_t p = row[tap.index];
        a += tap.weight * static_cast<float>(p >> 24);
        r += tap.weight * static_cast<float>((p >> 16) & 0xff);
        g += tap.weight * static_cast<float>((p >> 8) & 0xff);
        b += tap.weight * static_cast<float>(p & 0xff);
      }
      out[4 * x + 0] = a;
      out[4 * x + 1] = r;
      out[4 * x + 2] = g;
      out[4 * x + 3] = b;
    }
  }

  // Vertical pass into the destination.
  auto toByte = [](float v) { return static_cast<uint32_t>(std::clamp(std::lround(v), 0L, 255L)); };
  for (int y = 0; y < dh; ++y)
  {
    uint32_t* out = reinterpret_cast<uint32_t*>(destPixels + y * destStride);
    for (int x = 0; x < dw; ++x)
    {
      float a = 0.f, r = 0.f, g = 0.f, b = 0.f;
      for (int t = rows.start[static_cast<size_t>(y)]; t < rows.start[static_cast<size_t>(y) + 1]; ++t)
      {
        const Tap& tap = rows.taps[static_cast<size_t>(t)];
        const float* in = &wide[(static_cast<size_t>(tap.index) * static_cast<size_t>(dw) + static_cast<size_t>(x)) * 4u];
        a += tap.weight * in[0];
        r += tap.weight * in[1];
        g += tap.weight * in[2];
        b += tap.weight * in[3];
      }
      const uint32_t alpha = toByte(a);
      // Premultiplied colour never exceeds its alpha.
      out[x] = (alpha << 24) | (std::min(toByte(r), alpha) << 16) | (std::min(toByte(g), alpha) << 8) |
               std::min(toByte(b), alpha);
    }
  }
  cairo_surface_mark_dirty(dest);
  return dest;
}
