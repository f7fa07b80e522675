#include "toolkit/OffscreenEditor.h"

#include <cmath>
#include <cstdint>

OffscreenEditor::OffscreenEditor(IEditorGraphics& g) : graphics(g)
{
  auto offscreen = std::make_unique<OffscreenWindow>();
  window = offscreen.get();
  window->width = graphics.WindowWidth();
  window->height = graphics.WindowHeight();
  graphics.OpenWindow(std::move(offscreen));
}

void OffscreenEditor::RenderAll()
{
  graphics.SetAllControlsDirty();
  graphics.OnFrame();
}

bool OffscreenEditor::WritePNG(const std::string& path) const
{
  cairo_surface_t* surface = graphics.GetBackingSurface();
  return surface && cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
}

IColor OffscreenEditor::PixelAt(int px, int py) const
{
  cairo_surface_t* surface = graphics.GetBackingSurface();
  if (!surface || px < 0 || py < 0 || px >= cairo_image_surface_get_width(surface) ||
      py >= cairo_image_surface_get_height(surface))
    return COLOR_TRANSPARENT;
  cairo_surface_flush(surface);
  const unsigned char* row = cairo_image_surface_get_data(surface) + py * cairo_image_surface_get_stride(surface);
  const uint32_t p = reinterpret_cast<const uint32_t*>(row)[px];
  const int a = static_cast<int>(p >> 24);
  if (a == 0)
    return COLOR_TRANSPARENT;
  auto unpremultiply = [a](uint32_t c) { return static_cast<int>((c * 255 + static_cast<uint32_t>(a) / 2) / static_cast<uint32_t>(a)); };
  return {a, unpremultiply((p >> 16) & 0xff), unpremultiply((p >> 8) & 0xff), unpremultiply(p & 0xff)};
}

IColor OffscreenEditor::LayoutPixel(float x, float y) const
{
  const float scale = graphics.GetDrawScale() * graphics.GetScreenScale();
  return PixelAt(static_cast<int>(std::floor(x * scale)), static_cast<int>(std::floor(y * scale)));
}

void OffscreenEditor::Click(float x, float y, const IMouseMod& mod)
{
  graphics.OnMouseOver(x, y, IMouseMod());
  graphics.OnMouseDown(x, y, mod);
  graphics.OnMouseUp(x, y, mod);
}

void OffscreenEditor::DoubleClick(float x, float y, const IMouseMod& mod)
{
  Click(x, y, mod);
  graphics.OnMouseDblClick(x, y, mod);
  graphics.OnMouseUp(x, y, mod);
}

void OffscreenEditor::Drag(float x0, float y0, float x1, float y1, int steps, const IMouseMod& mod)
{
  graphics.OnMouseOver(x0, y0, IMouseMod());
  graphics.OnMouseDown(x0, y0, mod);
  float x = x0;
  float y = y0;
  for (int i = 1; i <= steps; ++i)
  {
    const float nx = x0 + (x1 - x0) * static_cast<float>(i) / static_cast<float>(steps);
    const float ny = y0 + (y1 - y0) * static_cast<float>(i) / static_cast<float>(steps);
    graphics.OnMouseDrag(nx, ny, nx - x, ny - y, mod);
    x = nx;
    y = ny;
  }
  graphics.OnMouseUp(x1, y1, mod);
}

void OffscreenEditor::MoveTo(float x, float y, const IMouseMod& mod) { graphics.OnMouseMove(x, y, mod); }

void OffscreenEditor::Wheel(float x, float y, float d, const IMouseMod& mod) { graphics.OnMouseWheel(x, y, mod, d); }

bool OffscreenEditor::Key(int virtualKey, const char* text, float x, float y)
{
  return graphics.OnKeyDown(x, y, IKeyPress(text, virtualKey));
}

void OffscreenEditor::Type(const char* text)
{
  for (const char* p = text; p && *p;)
  {
    // One UTF-8 character per stroke.
    int length = 1;
    while (length < 4 && (static_cast<unsigned char>(p[length]) & 0xC0) == 0x80)
      ++length;
    char one[5] = {};
    for (int i = 0; i < length; ++i)
      one[i] = p[i];
    const unsigned char c = static_cast<unsigned char>(one[0]);
    const int vk = c >= 'a' && c <= 'z' ? c - 32 : (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ? c : 0;
    Key(vk, one);
    p += length;
  }
}
