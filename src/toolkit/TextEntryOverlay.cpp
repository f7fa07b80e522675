#include "toolkit/TextEntryOverlay.h"

#include <algorithm>
#include <cmath>

#include "toolkit/OverlayStyle.h"
#include "toolkit/TextLayout.h"

using namespace OverlayStyle;

namespace
{
// About a third of a second at the editor's 60 frames per second: long
// enough to be seen, short enough not to hold up typing again.
constexpr int kFlashFrames = 20;
constexpr IColor kFlash{255, 120, 44, 40};
constexpr IColor kFieldBackground{255, 24, 25, 29};

// Sizes as the message boxes have them, in points at the editor's natural
// size. The box is as wide as a long preset name needs to read well, and
// no wider, so that it fits the editor at its 100% size unshrunk.
constexpr float kPadding = 18.f;
constexpr float kBoxWidth = 340.f;
constexpr float kCaptionHeight = 20.f;
constexpr float kCaptionGap = 8.f;
constexpr float kFieldHeight = 26.f;
constexpr float kFieldFontSize = 14.f;
constexpr float kFieldPadding = 6.f;
constexpr float kButtonGap = 18.f;
constexpr float kButtonHeight = 28.f;
constexpr float kButtonSpacing = 10.f;
constexpr float kMinButtonWidth = 84.f;
} // namespace

TextEntryOverlay::TextEntryOverlay(std::string title, std::string acceptText, cairo_font_face_t* fontFace,
                                   const std::string& text, std::size_t maxCharacters,
                                   std::function<bool(const std::string&)> onAccept, std::function<void()> onCancel,
                                   std::function<void()> onPaste)
  : caption(TextLayout::Displayable(title)), acceptLabel(TextLayout::Displayable(acceptText)), font(fontFace),
    editing(text, maxCharacters), accept(std::move(onAccept)), cancelled(std::move(onCancel)), paste(std::move(onPaste))
{
  editing.SelectAll();
}

void TextEntryOverlay::Layout(float windowWidth, float windowHeight, float drawScale)
{
  const float scale = ScaleFor(drawScale);
  const float margin = kMargin * scale;
  windowW = windowWidth;
  windowH = windowHeight;

  TextMeasure measure(font, kFontSize);
  const float acceptWidth =
      std::max(kMinButtonWidth, static_cast<float>(TextLayout::Width(measure.cr, acceptLabel)) + 28.f);
  const float cancelWidth = std::max(kMinButtonWidth, static_cast<float>(TextLayout::Width(measure.cr, "Cancel")) + 28.f);
  cairo_set_font_size(measure.cr, kCaptionSize);
  boxWidth = kBoxWidth;
  shownCaption = TextLayout::Elide(measure.cr, caption, boxWidth - 2 * kPadding);

  const float captionBlock = caption.empty() ? 0.f : kCaptionHeight + kCaptionGap;
  const float fieldTop = kPadding + captionBlock;
  field = IRECT(kPadding, fieldTop, boxWidth - kPadding, fieldTop + kFieldHeight);
  const float buttonsTop = field.B + kButtonGap;
  boxHeight = buttonsTop + kButtonHeight + kPadding;
  // The accepting button last, as the message boxes place their default.
  acceptButton = IRECT(boxWidth - kPadding - acceptWidth, buttonsTop, boxWidth - kPadding, buttonsTop + kButtonHeight);
  cancelButton = IRECT(acceptButton.L - kButtonSpacing - cancelWidth, buttonsTop, acceptButton.L - kButtonSpacing,
                       buttonsTop + kButtonHeight);

  // At the editor's scale; shrunk as a whole when the window is smaller.
  k = std::min({scale, std::max(1.f, windowWidth - 2 * margin) / boxWidth,
                std::max(1.f, windowHeight - 2 * margin) / boxHeight});
  k = std::max(0.01f, k);
  originX = 0.5f * (windowWidth - boxWidth * k);
  originY = 0.5f * (windowHeight - boxHeight * k);
  Changed();
}

IRECT TextEntryOverlay::toWindow(const IRECT& r) const
{
  return {originX + r.L * k, originY + r.T * k, originX + r.R * k, originY + r.B * k};
}

double TextEntryOverlay::TextX(const std::string& prefix) const
{
  TextMeasure measure(font, kFieldFontSize);
  cairo_text_extents_t extents;
  cairo_text_extents(measure.cr, prefix.c_str(), &extents);
  return extents.x_advance;
}

void TextEntryOverlay::Changed()
{
  // The cursor stays inside the field: the text moves left under it.
  const double inner = field.W() - 2.0 * kFieldPadding;
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
  cairo_rectangle(cr, 0, 0, windowW, windowH);
  SetColor(cr, kDim);
  cairo_fill(cr);

  cairo_save(cr);
  cairo_translate(cr, originX, originY);
  cairo_scale(cr, k, k);
  Shadow(cr, 0, 0, boxWidth, boxHeight, kRadius + 2);
  RoundedRect(cr, 0, 0, boxWidth, boxHeight, kRadius + 2);
  SetColor(cr, kPanel);
  cairo_fill_preserve(cr);
  cairo_set_line_width(cr, 1.0);
  SetColor(cr, kBorder);
  cairo_stroke(cr);

  if (font)
    cairo_set_font_face(cr, font);
  cairo_font_extents_t fe;
  if (!caption.empty())
  {
    cairo_set_font_size(cr, kCaptionSize);
    cairo_font_extents(cr, &fe);
    SetColor(cr, kAccent);
    cairo_move_to(cr, kPadding, kPadding + 0.5 * kCaptionHeight + 0.5 * (fe.ascent - fe.descent));
    cairo_show_text(cr, shownCaption.c_str());
  }

  cairo_set_font_size(cr, kFontSize);
  OverlayStyle::Button(cr, cancelButton, "Cancel", false, hovered == Part::kCancel, pressed == Part::kCancel);
  OverlayStyle::Button(cr, acceptButton, acceptLabel, true, hovered == Part::kAccept, pressed == Part::kAccept);

  // The field: a dark inset that flashes red when a text is refused.
  RoundedRect(cr, field.L, field.T, field.W(), field.H(), 4.0);
  SetColor(cr, flashFrames > 0 ? kFlash : kFieldBackground);
  cairo_fill_preserve(cr);
  SetColor(cr, kBorder);
  cairo_set_line_width(cr, 1.0);
  cairo_stroke(cr);

  cairo_rectangle(cr, field.L + 1.0, field.T + 1.0, field.W() - 2.0, field.H() - 2.0);
  cairo_clip(cr);
  cairo_set_font_size(cr, kFieldFontSize);
  cairo_font_extents(cr, &fe);
  const double x0 = field.L + kFieldPadding - scroll;
  const double baseline = field.MH() + (fe.ascent - fe.descent) / 2.0;
  const std::string& text = editing.Text();
  if (editing.HasSelection())
  {
    const double a = TextX(text.substr(0, editing.SelectionStart()));
    const double b = TextX(text.substr(0, editing.SelectionEnd()));
    SetColor(cr, kAccent, 0.35f);
    cairo_rectangle(cr, x0 + a, baseline - fe.ascent, b - a, fe.ascent + fe.descent);
    cairo_fill(cr);
  }
  if (text.empty() && !placeholder.empty())
  {
    SetColor(cr, kDisabledText);
    cairo_move_to(cr, x0, baseline);
    cairo_show_text(cr, placeholder.c_str());
  }
  SetColor(cr, kText);
  cairo_move_to(cr, x0, baseline);
  cairo_show_text(cr, text.c_str());

  const double caret = x0 + TextX(text.substr(0, editing.Cursor()));
  SetColor(cr, kAccent);
  cairo_set_line_width(cr, 1.2);
  cairo_move_to(cr, caret, baseline - fe.ascent);
  cairo_line_to(cr, caret, baseline + fe.descent);
  cairo_stroke(cr);
  cairo_restore(cr);
}

std::size_t TextEntryOverlay::PositionAt(float x) const
{
  const std::string& text = editing.Text();
  const double target = (x - originX) / k - (field.L + kFieldPadding - scroll);
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

TextEntryOverlay::Part TextEntryOverlay::PartAt(float x, float y) const
{
  if (FieldBounds().Contains(x, y))
    return Part::kField;
  if (ButtonBounds(true).Contains(x, y))
    return Part::kAccept;
  if (ButtonBounds(false).Contains(x, y))
    return Part::kCancel;
  return Part::kNone;
}

void TextEntryOverlay::OnMouseDown(float x, float y, const IMouseMod& mod)
{
  if (IsFinished())
    return;
  if (!toWindow(IRECT(0.f, 0.f, boxWidth, boxHeight)).Contains(x, y))
  {
    Cancel();
    return;
  }
  pressed = PartAt(x, y);
  if (pressed == Part::kField)
  {
    editing.SetCursor(PositionAt(x), mod.S);
    pressed = Part::kNone;
    Changed();
    return;
  }
  RequestRedraw();
}

void TextEntryOverlay::OnMouseUp(float x, float y, const IMouseMod&)
{
  const Part released = PartAt(x, y);
  const bool clicked = released == pressed && (released == Part::kAccept || released == Part::kCancel);
  pressed = Part::kNone;
  RequestRedraw();
  if (!clicked)
    return;
  if (released == Part::kAccept)
    Submit();
  else
    Cancel();
}

void TextEntryOverlay::OnMouseMove(float x, float y, const IMouseMod&)
{
  const Part part = PartAt(x, y);
  if (part != hovered)
  {
    hovered = part;
    RequestRedraw();
  }
}

void TextEntryOverlay::Cancel()
{
  if (IsFinished())
    return;
  Finish(std::move(cancelled));
}

void TextEntryOverlay::Submit()
{
  if (IsFinished())
    return;
  if (accept && accept(editing.Text()))
  {
    Finish(nullptr);
    return;
  }
  flashFrames = kFlashFrames;
  RequestRedraw();
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
    Submit();
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
