#include "toolkit/BitmapData.h"

#include <algorithm>
#include <sys/stat.h>

namespace
{
bool isRegularFile(const std::string& path)
{
  struct stat info{};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// "dir/knob.png" -> "dir/knob@2x.png"
std::string variantPath(const std::string& path, int resolution)
{
  if (resolution == 1)
    return path;
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  std::string suffix("@");
  suffix.append(std::to_string(resolution)).append("x");
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  std::string result(path, 0, hasExtension ? dot : path.size());
  result.append(suffix);
  if (hasExtension)
    result.append(path, dot, std::string::npos);
  return result;
}

cairo_surface_t* decodePNG(const std::string& path)
{
  // Checked first: cairo reports a missing file only as a generic error.
  if (!isRegularFile(path))
    return nullptr;
  cairo_surface_t* surface = cairo_image_surface_create_from_png(path.c_str());
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS || cairo_image_surface_get_width(surface) <= 0 ||
      cairo_image_surface_get_height(surface) <= 0)
  {
    cairo_surface_destroy(surface);
    return nullptr;
  }
  // The scaler reads premultiplied 32-bit pixels; convert anything else.
  if (cairo_image_surface_get_format(surface) != CAIRO_FORMAT_ARGB32)
  {
    cairo_surface_t* converted = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, cairo_image_surface_get_width(surface),
                                                            cairo_image_surface_get_height(surface));
    cairo_t* cr = cairo_create(converted);
    cairo_set_source_surface(cr, surface, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    surface = converted;
  }
  return surface;
}
} // namespace

std::shared_ptr<const BitmapData> BitmapData::Load(const std::string& path, const std::string& name, int nFrames,
                                                   bool framesAreHorizontal, int targetScale)
{
  std::shared_ptr<BitmapData> data(new BitmapData());
  data->name = name;
  data->frames = std::max(1, nFrames);
  data->horizontal = framesAreHorizontal;

  const int resolutions[] = {1, 2};
  for (int resolution : resolutions)
  {
    if (targetScale > 0 && resolution != targetScale)
      continue;
    if (cairo_surface_t* surface = decodePNG(variantPath(path, resolution)))
    {
      if (!data->AddVariant(surface, resolution))
        cairo_surface_destroy(surface);
    }
  }
  if (data->variants.empty())
    return nullptr;
  return data;
}

std::shared_ptr<const BitmapData> BitmapData::FromSurface(cairo_surface_t* surface, int resolution,
                                                          const std::string& name, int nFrames,
                                                          bool framesAreHorizontal)
{
  if (!surface || cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE ||
      cairo_image_surface_get_format(surface) != CAIRO_FORMAT_ARGB32 || resolution < 1)
    return nullptr;
  std::shared_ptr<BitmapData> data(new BitmapData());
  data->name = name;
  data->frames = std::max(1, nFrames);
  data->horizontal = framesAreHorizontal;
  if (!data->AddVariant(cairo_surface_reference(surface), resolution))
  {
    cairo_surface_destroy(surface);
    return nullptr;
  }
  return data;
}

bool BitmapData::AddVariant(cairo_surface_t* surface, int resolution)
{
  const int w = cairo_image_surface_get_width(surface);
  const int h = cairo_image_surface_get_height(surface);
  if (variants.empty())
  {
    width = w / resolution;
    height = h / resolution;
    if (width <= 0 || height <= 0)
      return false;
  }
  else if (w != width * resolution || h != height * resolution)
  {
    // A companion that does not match the first image would draw the
    // frames at the wrong places: ignore it.
    return false;
  }
  variants.push_back({surface, resolution});
  return true;
}

BitmapData::~BitmapData()
{
  for (Variant& variant : variants)
    cairo_surface_destroy(variant.surface);
}

const BitmapData::Variant& BitmapData::VariantFor(float backingScale) const
{
  const Variant* best = &variants.front();
  for (const Variant& variant : variants)
  {
    const bool enough = static_cast<float>(variant.resolution) >= backingScale - 1e-3f;
    const bool bestEnough = static_cast<float>(best->resolution) >= backingScale - 1e-3f;
    if (enough && (!bestEnough || variant.resolution < best->resolution))
      best = &variant;
    else if (!enough && !bestEnough && variant.resolution > best->resolution)
      best = &variant;
  }
  return *best;
}

void BitmapData::FramePixels(const Variant& variant, int index, int& x, int& y, int& w, int& h) const
{
  const int pw = cairo_image_surface_get_width(variant.surface);
  const int ph = cairo_image_surface_get_height(variant.surface);
  index = std::clamp(index, 0, frames - 1);
  if (horizontal)
  {
    w = pw / frames;
    h = ph;
    x = index * w;
    y = 0;
  }
  else
  {
    w = pw;
    h = ph / frames;
    x = 0;
    y = index * h;
  }
}
