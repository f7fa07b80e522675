// The drawing half of IEditorGraphics: the backing image, resources, the
// frame cache and the drawing calls the controls use.
#include <algorithm>
#include <cmath>

#include "toolkit/BitmapData.h"
#include "toolkit/BitmapScaler.h"
#include "toolkit/FontLoader.h"
#include "toolkit/IEditorGraphics.h"
#include "toolkit/Overlay.h"

namespace
{
constexpr IColor kEmptyWindow{255, 24, 25, 28};  // shows where no background is drawn

// Stays put while a control draws, whatever the control does to the context.
class SavedState
{
public:
  explicit SavedState(cairo_t* context) : cr(context) { cairo_save(cr); }
  ~SavedState() { cairo_restore(cr); }
  SavedState(const SavedState&) = delete;
  SavedState& operator=(const SavedState&) = delete;

private:
  cairo_t* cr;
};

void pixelClip(cairo_t* cr, const IRECT& pixels)
{
  cairo_rectangle(cr, pixels.L, pixels.T, pixels.W(), pixels.H());
  cairo_clip(cr);
}
} // namespace

void IEditorGraphics::RecreateBacking()
{
  if (backing)
    cairo_surface_destroy(backing);
  const int w = std::max(1, static_cast<int>(std::lround(WindowWidth() * screenScale)));
  const int h = std::max(1, static_cast<int>(std::lround(WindowHeight() * screenScale)));
  backing = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  cairo_t* context = cairo_create(backing);
  cairo_set_source_rgba(context, kEmptyWindow.R / 255.0, kEmptyWindow.G / 255.0, kEmptyWindow.B / 255.0, 1.0);
  cairo_paint(context);
  cairo_destroy(context);
  extraDirty = GetBounds();
}

IRECT IEditorGraphics::LayoutToPixels(const IRECT& layout) const
{
  if (!backing)
    return {};
  const IRECT surface(0.f, 0.f, static_cast<float>(cairo_image_surface_get_width(backing)),
                      static_cast<float>(cairo_image_surface_get_height(backing)));
  return layout.GetScaled(BackingScale()).GetRoundedOut().Intersect(surface);
}

void IEditorGraphics::Draw(const IRECT& region)
{
  const IRECT pixels = LayoutToPixels(region);
  if (!backing || pixels.Empty())
    return;
  cr = cairo_create(backing);
  ApplyTextOptions(cr);
  pixelClip(cr, pixels);
  cairo_set_source_rgba(cr, kEmptyWindow.R / 255.0, kEmptyWindow.G / 255.0, kEmptyWindow.B / 255.0, 1.0);
  cairo_paint(cr);
  const float scale = BackingScale();
  cairo_scale(cr, scale, scale);

  if (background.IsValid())
    DrawBitmap(background, GetBounds());

  for (const auto& control : controls)
  {
    const IRECT& bounds = control->GetRECT();
    if (!bounds.Intersects(region))
    {
      if (bounds.Empty())
        control->SetClean();
      continue;
    }
    if (!control->IsHidden())
    {
      SavedState state(cr);
      // A control draws inside its own rectangle only.
      cairo_identity_matrix(cr);
      pixelClip(cr, LayoutToPixels(bounds));
      cairo_scale(cr, scale, scale);
      control->Draw(*this);
    }
    control->SetClean();
  }

  if (overlay)
  {
    SavedState state(cr);
    cairo_identity_matrix(cr);
    cairo_scale(cr, screenScale, screenScale);
    overlay->Draw(cr);
    overlay->ClearRedraw();
  }
  cairo_destroy(cr);
  cr = nullptr;
  cairo_surface_flush(backing);
  const IRECT pending = extraDirty.Intersect(GetBounds());
  if (pending.Empty() || region.Contains(pending))
    extraDirty = IRECT();
}

// --- Resources ------------------------------------------------------------------------

std::string IEditorGraphics::ResolveResource(const char* name) const
{
  const std::string file = name ? name : "";
  if (file.empty() || file.front() == '/' || resourcePath.empty())
    return file;
  return resourcePath + "/" + file;
}

IBitmap IEditorGraphics::LoadBitmap(const char* name, int nStates, bool framesAreHorizontal, int targetScale)
{
  const std::string key = std::string(name ? name : "") + "|" + std::to_string(nStates) + "|" +
                          (framesAreHorizontal ? "h" : "v") + "|" + std::to_string(targetScale);
  if (auto found = bitmaps.find(key); found != bitmaps.end())
    return found->second;
  IBitmap bitmap(BitmapData::Load(ResolveResource(name), name ? name : "", nStates, framesAreHorizontal, targetScale));
  if (bitmap.IsValid())
    bitmaps.emplace(key, bitmap);
  return bitmap;
}

bool IEditorGraphics::LoadFont(const char* fontID, const char* fileName)
{
  cairo_font_face_t* face = fontLoader->Load(ResolveResource(fileName));
  if (!face)
    return false;
  const std::string id = fontID ? fontID : "";
  for (auto& font : fonts)
  {
    if (font.first == id)
    {
      cairo_font_face_destroy(font.second);
      font.second = face;
      return true;
    }
  }
  fonts.emplace_back(id, face);
  return true;
}

cairo_font_face_t* IEditorGraphics::FontFor(const std::string& fontID) const
{
  for (const auto& font : fonts)
  {
    if (font.first == fontID)
      return font.second;
  }
  return fonts.empty() ? nullptr : fonts.front().second;
}

void IEditorGraphics::ClearScaledFrames()
{
  for (auto& entry : scaledFrames)
    cairo_surface_destroy(entry.second.surface);
  scaledFrames.clear();
}

cairo_surface_t* IEditorGraphics::ScaledFrame(const IBitmap& bitmap, int frame)
{
  const BitmapData* data = bitmap.Data().get();
  const ScaledFrameKey key{data, frame};
  if (auto found = scaledFrames.find(key); found != scaledFrames.end())
    return found->second.surface;

  // Each frame is resampled once per scale to exactly the pixels it covers,
  // so drawing it is a plain copy that keeps its edges sharp.
  const float scale = BackingScale();
  const BitmapData::Variant& variant = data->VariantFor(scale);
  int x = 0, y = 0, w = 0, h = 0;
  data->FramePixels(variant, frame - 1, x, y, w, h);
  const int dw = std::max(1, static_cast<int>(std::lround(data->FW() * scale)));
  const int dh = std::max(1, static_cast<int>(std::lround(data->FH() * scale)));
  cairo_surface_t* surface = ResampleImage(variant.surface, x, y, w, h, dw, dh);
  if (!surface)
    return nullptr;
  scaledFrames.emplace(key, CachedFrame{std::shared_ptr<const void>(bitmap.Data()), surface});
  return surface;
}

// --- Drawing calls ------------------------------------------------------------------------

void IEditorGraphics::SetSourceColor(const IColor& color, const IBlend* blend)
{
  cairo_set_source_rgba(cr, color.R / 255.0, color.G / 255.0, color.B / 255.0, color.A / 255.0 * BlendWeight(blend));
  cairo_set_operator(cr, blend && blend->method == EBlend::Add ? CAIRO_OPERATOR_ADD : CAIRO_OPERATOR_OVER);
}

void IEditorGraphics::DrawBitmap(const IBitmap& bitmap, const IRECT& bounds, int frame, const IBlend* blend)
{
  if (!cr || !bitmap.IsValid() || bounds.Empty())
    return;
  frame = std::clamp(frame, 1, bitmap.N());
  cairo_surface_t* surface = ScaledFrame(bitmap, frame);
  if (!surface)
    return;
  const float scale = BackingScale();
  SavedState state(cr);
  cairo_identity_matrix(cr);
  pixelClip(cr, bounds.GetScaled(scale).GetRoundedOut());
  cairo_set_source_surface(cr, surface, std::round(bounds.L * scale), std::round(bounds.T * scale));
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
  cairo_set_operator(cr, blend && blend->method == EBlend::Add ? CAIRO_OPERATOR_ADD : CAIRO_OPERATOR_OVER);
  cairo_paint_with_alpha(cr, BlendWeight(blend));
}

void IEditorGraphics::DrawText(const IText& text, const char* str, const IRECT& bounds, const IBlend* blend)
{
  if (!cr || !str || !*str)
    return;
  SavedState state(cr);
  if (cairo_font_face_t* face = FontFor(text.font))
    cairo_set_font_face(cr, face);
  cairo_set_font_size(cr, text.size);
  cairo_text_extents_t te;
  cairo_text_extents(cr, str, &te);
  cairo_font_extents_t fe;
  cairo_font_extents(cr, &fe);

  double x = bounds.L;
  if (text.align == EAlign::Center)
    x = bounds.MW() - 0.5 * te.x_advance;
  else if (text.align == EAlign::Far)
    x = bounds.R - te.x_advance;
  double y = bounds.MH() + 0.5 * (fe.ascent - fe.descent);
  if (text.valign == EVAlign::Top)
    y = bounds.T + fe.ascent;
  else if (text.valign == EVAlign::Bottom)
    y = bounds.B - fe.descent;
  if (text.angle != 0.f)
  {
    cairo_translate(cr, bounds.MW(), bounds.MH());
    cairo_rotate(cr, text.angle * M_PI / 180.0);
    cairo_translate(cr, -bounds.MW(), -bounds.MH());
  }
  else
  {
    // A baseline on a pixel row keeps small text crisp.
    const double scale = BackingScale();
    y = std::round(y * scale) / scale;
  }
  SetSourceColor(text.color, blend);
  cairo_move_to(cr, x, y);
  cairo_show_text(cr, str);
}

float IEditorGraphics::MeasureText(const IText& text, const char* str)
{
  if (!str || !*str)
    return 0.f;
  cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
  cairo_t* context = cairo_create(scratch);
  ApplyTextOptions(context);
  if (cairo_font_face_t* face = FontFor(text.font))
    cairo_set_font_face(context, face);
  cairo_set_font_size(context, text.size);
  cairo_text_extents_t te;
  cairo_text_extents(context, str, &te);
  cairo_destroy(context);
  cairo_surface_destroy(scratch);
  return static_cast<float>(te.x_advance);
}

void IEditorGraphics::FillTriangle(const IColor& color, float x1, float y1, float x2, float y2, float x3, float y3,
                                   const IBlend* blend)
{
  if (!cr)
    return;
  SavedState state(cr);
  cairo_move_to(cr, x1, y1);
  cairo_line_to(cr, x2, y2);
  cairo_line_to(cr, x3, y3);
  cairo_close_path(cr);
  SetSourceColor(color, blend);
  cairo_fill(cr);
}

void IEditorGraphics::FillRect(const IColor& color, const IRECT& bounds, const IBlend* blend)
{
  if (!cr)
    return;
  SavedState state(cr);
  cairo_rectangle(cr, bounds.L, bounds.T, bounds.W(), bounds.H());
  SetSourceColor(color, blend);
  cairo_fill(cr);
}

void IEditorGraphics::FillRoundRect(const IColor& color, const IRECT& bounds, float radius, const IBlend* blend)
{
  if (!cr)
    return;
  SavedState state(cr);
  const double r = std::clamp(static_cast<double>(radius), 0.0, 0.5 * std::min(bounds.W(), bounds.H()));
  cairo_new_sub_path(cr);
  cairo_arc(cr, bounds.R - r, bounds.T + r, r, -M_PI / 2, 0);
  cairo_arc(cr, bounds.R - r, bounds.B - r, r, 0, M_PI / 2);
  cairo_arc(cr, bounds.L + r, bounds.B - r, r, M_PI / 2, M_PI);
  cairo_arc(cr, bounds.L + r, bounds.T + r, r, M_PI, 1.5 * M_PI);
  cairo_close_path(cr);
  SetSourceColor(color, blend);
  cairo_fill(cr);
}

void IEditorGraphics::DrawRect(const IColor& color, const IRECT& bounds, const IBlend* blend, float thickness)
{
  if (!cr)
    return;
  SavedState state(cr);
  const double inset = 0.5 * thickness;
  cairo_rectangle(cr, bounds.L + inset, bounds.T + inset, bounds.W() - thickness, bounds.H() - thickness);
  cairo_set_line_width(cr, thickness);
  SetSourceColor(color, blend);
  cairo_stroke(cr);
}

void IEditorGraphics::DrawLine(const IColor& color, float x1, float y1, float x2, float y2, const IBlend* blend,
                               float thickness)
{
  if (!cr)
    return;
  SavedState state(cr);
  cairo_move_to(cr, x1, y1);
  cairo_line_to(cr, x2, y2);
  cairo_set_line_width(cr, thickness);
  SetSourceColor(color, blend);
  cairo_stroke(cr);
}
