#pragma once
#include <cairo.h>

#include <memory>
#include <string>
#include <vector>

// The decoded pixels of a bitmap resource, possibly at several resolutions
// ("name.png" at one pixel per layout unit, "name@2x.png" at two), so that
// large window scales still draw from enough detail.
class BitmapData
{
public:
  struct Variant
  {
    cairo_surface_t* surface = nullptr;
    int resolution = 1;
  };

  // Loads path and, unless targetScale asks for one resolution only, the
  // "@2x" companion beside it. Null when nothing could be decoded.
  static std::shared_ptr<const BitmapData> Load(const std::string& path, const std::string& name, int nFrames,
                                                bool framesAreHorizontal, int targetScale);
  // Wraps an image surface of the given resolution (takes a reference).
  static std::shared_ptr<const BitmapData> FromSurface(cairo_surface_t* surface, int resolution, const std::string& name,
                                                       int nFrames, bool framesAreHorizontal);

  BitmapData(const BitmapData&) = delete;
  BitmapData& operator=(const BitmapData&) = delete;
  ~BitmapData();

  int W() const { return width; }
  int H() const { return height; }
  int N() const { return frames; }
  bool Horizontal() const { return horizontal; }
  int FW() const { return horizontal ? width / frames : width; }
  int FH() const { return horizontal ? height : height / frames; }
  const std::string& Name() const { return name; }

  // The variant to draw from at a given backing scale (device pixels per
  // layout unit): the least detailed one that still has enough pixels,
  // else the most detailed one.
  const Variant& VariantFor(float backingScale) const;
  // The pixel rectangle of frame index (0-based) inside a variant.
  void FramePixels(const Variant& variant, int index, int& x, int& y, int& w, int& h) const;

private:
  BitmapData() = default;
  bool AddVariant(cairo_surface_t* surface, int resolution);

  std::vector<Variant> variants;
  std::string name;
  int width = 0;
  int height = 0;
  int frames = 1;
  bool horizontal = false;
};
