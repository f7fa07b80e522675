#pragma once
#include <cairo.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "params/IParam.h"
#include "toolkit/IControl.h"
#include "toolkit/IEditorGraphics.h"
#include "toolkit/IGraphicsDelegate.h"
#include "toolkit/IPopupMenu.h"
#include "toolkit/OffscreenEditor.h"

// A plug-in as the toolkit sees it: three parameters (a continuous one, a
// stepped 0..4 one and a switch), the editor size limits of the product,
// and a log of everything sent towards the host.
class FakeDelegate : public IGraphicsDelegate
{
public:
  enum { kContinuous = 0, kStepped = 1, kSwitch = 2, kNumParams = 3 };

  FakeDelegate()
  {
    for (auto& p : params)
      p = std::make_unique<IParam>();
    params[kContinuous]->InitDouble("Amount", 0.25, 0.0, 1.0, 0.001, "", 0, "", ShapeLinear(), IParam::kUnitCustom,
                                    nullptr);
    params[kStepped]->InitInt("Range", 3, 0, 4, "", 0, "");
    params[kSwitch]->InitBool("Sync", false, "", 0, "", "OFF", "ON");
  }

  const IParam* GetParam(int paramIdx) const override
  {
    return paramIdx >= 0 && paramIdx < kNumParams ? params[static_cast<size_t>(paramIdx)].get() : nullptr;
  }
  IParam& Param(int paramIdx) { return *params[static_cast<size_t>(paramIdx)]; }

  void BeginInformHostOfParamChangeFromUI(int paramIdx) override { log.push_back("begin " + std::to_string(paramIdx)); }
  void SendParameterValueFromUI(int paramIdx, double normalizedValue) override
  {
    log.push_back("send " + std::to_string(paramIdx));
    sent.push_back({paramIdx, normalizedValue});
    params[static_cast<size_t>(paramIdx)]->SetNormalized(normalizedValue);
  }
  void EndInformHostOfParamChangeFromUI(int paramIdx) override { log.push_back("end " + std::to_string(paramIdx)); }

  bool PromptHostContextMenu(int paramIdx, float, float) override
  {
    if (!hostHasContextMenu)
      return false;
    log.push_back("context " + std::to_string(paramIdx));
    return true;
  }

  bool ConstrainEditorResize(int& width, int& height) const override
  {
    const int w = std::clamp(width, 227, 2049);
    const int h = std::clamp(height, 58, 522);
    const bool inside = w == width && h == height;
    width = w;
    height = h;
    return inside;
  }

  bool EditorResizeFromUI(int width, int height) override
  {
    hostSizes.push_back({width, height});
    return true;
  }

  void LayoutUI(IEditorGraphics& g) override
  {
    ++layouts;
    if (layout)
      layout(g);
  }

  // How often a gesture entry appears in the log.
  int Count(const std::string& entry) const { return static_cast<int>(std::count(log.begin(), log.end(), entry)); }
  double LastSent() const { return sent.empty() ? -1.0 : sent.back().second; }

  std::unique_ptr<IParam> params[kNumParams];
  std::vector<std::string> log;
  std::vector<std::pair<int, double>> sent;
  std::vector<std::pair<int, int>> hostSizes;
  std::function<void(IEditorGraphics&)> layout;
  bool hostHasContextMenu = false;
  int layouts = 0;
};

// A control that records what reaches it and fills its rectangle.
class RecordingControl : public IControl
{
public:
  explicit RecordingControl(const IRECT& bounds, int paramIdx = kNoParameter, IColor fill = COLOR_TRANSPARENT)
    : IControl(bounds, paramIdx), color(fill)
  {
  }

  void Draw(IEditorGraphics& g) override
  {
    ++draws;
    if (color.A > 0)
    {
      const IBlend blend = GetBlend();
      g.FillRect(color, GetRECT(), &blend);
    }
  }
  void OnMouseDown(float x, float y, const IMouseMod&) override { record("down", x, y); }
  void OnMouseUp(float x, float y, const IMouseMod&) override { record("up", x, y); }
  void OnMouseDrag(float x, float y, float, float, const IMouseMod&) override { record("drag", x, y); }
  void OnMouseWheel(float x, float y, const IMouseMod&, float) override { record("wheel", x, y); }
  void OnMouseOver(float x, float y, const IMouseMod& mod) override
  {
    if (!GetMouseIsOver())
      record("enter", x, y);
    IControl::OnMouseOver(x, y, mod);
  }
  void OnMouseOut() override
  {
    record("leave", 0, 0);
    IControl::OnMouseOut();
  }
  void OnPopupMenuSelection(IPopupMenu* menu, int) override
  {
    selections.push_back(menu ? menu->GetChosenItemIdx() : -100);
  }

  int Count(const std::string& what) const { return static_cast<int>(std::count(events.begin(), events.end(), what)); }

  std::vector<std::string> events;
  std::vector<int> selections;  // chosen index, -100 for a dismissed menu
  int draws = 0;
  IColor color;
  float lastX = 0.f, lastY = 0.f;

private:
  void record(const char* what, float x, float y)
  {
    events.emplace_back(what);
    lastX = x;
    lastY = y;
  }
};

// A control that opens its menu when pressed, as the editor's menus do.
class MenuControl : public RecordingControl
{
public:
  using RecordingControl::RecordingControl;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override
  {
    RecordingControl::OnMouseDown(x, y, mod);
    GetUI()->CreatePopupMenu(*this, menu, IRECT(x, y, x, y));
  }
  IPopupMenu menu;
};

// A graphics context opened on an offscreen window; 1366 x 348 layout
// units at scale 0.5 unless told otherwise, with the editor's font.
struct OffscreenFixture
{
  explicit OffscreenFixture(int width = 1366, int height = 348, float scale = 0.5f)
    : graphics(MakeGraphics(plugin, width, height, 60, scale)), editor(*graphics)
  {
    graphics->SetScaleConstraints(0.25f, 4.f);
    graphics->LoadFont("Roboto-Regular.ttf", TOLMAR_FONT_FILE);
  }

  FakeDelegate plugin;
  std::unique_ptr<IEditorGraphics> graphics;
  OffscreenEditor editor;
};

// Writes a PNG of solid frames (one colour per frame, stacked vertically or
// side by side) and returns its path.
inline std::string WriteFramesPNG(const std::string& path, int frameW, int frameH, const std::vector<IColor>& colors,
                                  bool horizontal = false)
{
  const int n = static_cast<int>(colors.size());
  cairo_surface_t* surface =
    cairo_image_surface_create(CAIRO_FORMAT_ARGB32, horizontal ? frameW * n : frameW, horizontal ? frameH : frameH * n);
  cairo_t* cr = cairo_create(surface);
  for (int i = 0; i < n; ++i)
  {
    const IColor& c = colors[static_cast<size_t>(i)];
    cairo_set_source_rgba(cr, c.R / 255.0, c.G / 255.0, c.B / 255.0, c.A / 255.0);
    cairo_rectangle(cr, horizontal ? i * frameW : 0, horizontal ? 0 : i * frameH, frameW, frameH);
    cairo_fill(cr);
  }
  cairo_destroy(cr);
  cairo_surface_write_to_png(surface, path.c_str());
  cairo_surface_destroy(surface);
  return path;
}

inline bool Near(const IColor& a, const IColor& b, int tolerance = 3)
{
  return std::abs(a.A - b.A) <= tolerance && std::abs(a.R - b.R) <= tolerance && std::abs(a.G - b.G) <= tolerance &&
         std::abs(a.B - b.B) <= tolerance;
}
