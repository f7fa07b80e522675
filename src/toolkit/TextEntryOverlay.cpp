#include "toolkit/TextEntryOverlay.h"

#include <algorithm>
#include <cmath>

#include "toolkit/OverlayStyle.h"

namespace
{
// About a third of a second at the editor's 60 frames per second: long
// enough to be seen, short enough not to hold up typing again.
constexpr int kFlashFrames = 20;
constexpr IColor kFlash{255, 255, 120, 110};
constexpr IColor kSelection{255, 150, 190, 255};
// The field is never narrower than this many points, so a short caption
// still leaves room to type.
constexpr float kMinWidthPoints = 40.f;

void setColor(cairo_t* cr, const IColor& c)
{
  cairo_set_source_rgba(cr, c.R / 255.0, c.G / 255.0, c.B / 255.0, c.A / 255.0);
}
} // namespace

TextEntryOverlay::TextEntryOverlay(const IRECT& bounds, const IText& textStyle, cairo_font_face_t* fontFace,
                                   const std::string& text, std::size_t maxCharacters,
                                   std::function<bool(const std::string&)> onAccept, std::function<void()> onCancel,
                                   std::function<void()> onPaste)
  : layoutBounds(bounds), style(textStyle), font(fontFace), editing(text, maxCharacters), accept(std::move(onAccept)),
    cancelled(std::move(onCancel)), paste(std::move(onPaste))
{
  editing.SelectAll();
}

void TextEntryOverlay::Layout(float windowWidth, float windowHeight, float drawScale)
{
  fontSize = std::max(6.f, style.size * drawScale);
  padding = std::max(2.f, 0.2f * fontSize);
  IRECT r = layoutBounds.GetScaled(drawScale);
  const float height = std::max(r.H(), fontSize * 1.4f);
  const float width = std::max(r.W(), kMinWidthPoints);
  const float cx = r.MW();
  const float cy = r.MH();
  r = IRECT(cx - width / 2.f, cy - height / 2.f, cx + width / 2.f, cy + height / 2.f);
  // Kept inside the window.
  const float dx = r.L < 0.f ? -r.L : r.R > windowWidth ? windowWidth - r.R : 0.f;
  const float dy = r.T < 0.f ? -r.T : r.B > windowHeight ? windowHeight - r.B : 0.f;
  field = IRECT(r.L + dx, r.T + dy, r.R + dx, r.B + dy);
  Changed();
}

IRECT TextEntryOverlay::Bounds() const { return field.GetPadded(2.f); }

double TextEntryOverlay::TextX(const std::string& prefix) const
{
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
  cairo_t* cr = cairo_create(surface);
  if (font)
    cairo_set_font_face(cr, font);
  cairo_set_font_size(cr, fontSize);
  cairo_text_extents_t extents;
  cairo_text_extents(cr, prefix.c_str(), &extents);
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  return extents.x_advance;
}

void TextEntryOverlay::Changed()
{
  // The cursor stays inside the field: the text moves left under it.
  const double inner = field.W() - 2.0 * padding;
  const double caret = TextX(editing.Text().substr(0, editing.Cursor()));
  if (caret - scroll > inner)
    scroll = caret - inner;
  if (caret - scroll < 0.0)
    scroll = caret;
  const double total = TextX(editing.Text());
  if (total - scroll < inner)
    scroll = std::max(0.0, total - inner);
  RequestRedraw();
}

void TextEntryOverlay::Draw(cairo_t* cr) const
{
  cairo_save(cr);
  setColor(cr, flashFrames > 0 ? kFlash : style.entryBackground);
  cairo_rectangle(cr, field.L, field.T, field.W(), field.H());
  cairo_fill_preserve(cr);
  OverlayStyle::SetColor(cr, OverlayStyle::kBorder);
  cairo_set_line_width(cr, 1.0);
  cairo_stroke(cr);

  cairo_rectangle(cr, field.L + 1.0, field.T + 1.0, field.W() - 2.0, field.H() - 2.0);
  cairo_clip(cr);
  if (font)
    cairo_set_font_face(cr, font);
  cairo_set_font_size(cr, fontSize);
  cairo_font_extents_t metrics;
  cairo_font_extents(cr, &metrics);
  const double x0 = field.L + padding - scroll;
  const double baseline = field.MH() + (metrics.ascent - metrics.descent) / 2.0;
  const std::string& text = editing.Text();

  if (editing.HasSelection())
  {
    const double a = TextX(text.substr(0, editing.SelectionStart()));
    const double b = TextX(text.substr(0, editing.SelectionEnd()));
    setColor(cr, kSelection);
    cairo_rectangle(cr, x0 + a, baseline - metrics.ascent, b - a, metrics.ascent + metrics.descent);
    cairo_fill(cr);
  }
  if (text.empty() && !placeholder.empty())
  {
    IColor dim = style.entryText;
    dim.A = static_cast<int>(dim.A * 0.4);
    setColor(cr, dim);
    cairo_move_to(cr, x0, baseline);
    cairo_show_text(cr, placeholder.c_str());
  }
  setColor(cr, style.entryText);
  cairo_move_to(cr, x0, baseline);
  cairo_show_text(cr, text.c_str());

  const double caret = std::round(x0 + TextX(text.substr(0, editing.Cursor()))) + 0.5;
  cairo_set_line_width(cr, std::max(1.0, fontSize / 14.0));
  cairo_move_to(cr, caret, baseline - metrics.ascent);
  cairo_line_to(cr, caret, baseline + metrics.descent);
  cairo_stroke(cr);
  cairo_restore(cr);
}

std::size_t TextEntryOverlay::PositionAt(float x) const
{
  const std::string& text = editing.Text();
  const double target = x - (field.L + padding - scroll);
  std::size_t best = 0;
  double bestDistance = std::abs(target);
  for (std::size_t i = 1; i <= text.size(); ++i)
  {
    if (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
      continue;
    const double d = std::abs(TextX(text.substr(0, i)) - target);
    if (d < bestDistance)
    {
      best = i;
      bestDistance = d;
    }
  }
  return best;
}

void TextEntryOverlay::OnMouseDown(float x, float y, const IMouseMod& mod)
{
  if (!field.Contains(x, y))
  {
    Cancel();
    return;
  }
  editing.SetCursor(PositionAt(x), mod.S);
  Changed();
}

void TextEntryOverlay::Cancel()
{
  if (IsFinished())
    return;
  Finish(std::move(cancelled));
}

void TextEntryOverlay::Paste(const std::string& text)
{
  if (IsFinished())
    return;
  editing.Insert(text);
  Changed();
}

bool TextEntryOverlay::OnKeyDown(const IKeyPress& key)
{
  if (IsFinished())
    return true;
  const char letter = key.VK >= 'A' && key.VK <= 'Z' ? static_cast<char>(key.VK) : '\0';
  switch (key.VK)
  {
  case kVK_RETURN:
    if (accept && accept(editing.Text()))
    {
      Finish(nullptr);
    }
    else
    {
      flashFrames = kFlashFrames;
      RequestRedraw();
    }
    return true;
  case kVK_ESCAPE:
    Cancel();
    return true;
  case kVK_BACK:
    editing.Backspace();
    break;
  case kVK_DELETE:
    editing.Delete();
    break;
  case kVK_LEFT:
    editing.MoveLeft(key.S);
    break;
  case kVK_RIGHT:
    editing.MoveRight(key.S);
    break;
  case kVK_HOME:
  case kVK_UP:
    editing.MoveHome(key.S);
    break;
  case kVK_END:
  case kVK_DOWN:
    editing.MoveEnd(key.S);
    break;
  default:
    if (key.C && letter == 'A')
      editing.SelectAll();
    else if (key.C && letter == 'V')
    {
      if (paste)
        paste();
    }
    else if (!key.C && key.utf8[0])
      editing.Insert(key.utf8);
    break;
  }
  Changed();
  // Every key belongs to the field while it is open: the host's shortcuts
  // (a space bar that starts playback) must not fire while the user types.
  return true;
}

void TextEntryOverlay::OnFrame()
{
  if (flashFrames > 0)
  {
    --flashFrames;
    if (flashFrames == 0)
      RequestRedraw();
  }
}
