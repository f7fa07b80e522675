#include "toolkit/PopupMenuOverlay.h"

#include <algorithm>
#include <cmath>

#include "toolkit/IPopupMenu.h"
#include "toolkit/OverlayStyle.h"
#include "toolkit/TextLayout.h"

using namespace OverlayStyle;

namespace
{
constexpr float kPadding = 5.f;
constexpr float kItemHeight = 22.f;
constexpr float kSeparatorHeight = 9.f;
constexpr float kTextLeft = 26.f;  // room for the check mark
constexpr float kTextRight = 18.f;
constexpr float kMinColumnWidth = 150.f;
// Wider texts (a user preset's long name) are cut with an ellipsis. As wide
// as the editor's own longest item needs ("Checking Online for Update...",
// 212), about 30 characters of the menu's face: enough to tell names apart,
// and the preset menu keeps the three columns and the text size it has at
// the editor's 100% size (660 of its 683 points) whatever the names. Twice
// that let one long name widen every column until the menu, shrunk to fit,
// covered the whole editor.
constexpr float kMaxColumnWidth = 220.f;
constexpr int kMaxColumns = 4;
constexpr float kDragThreshold = 4.f;

} // namespace

PopupMenuOverlay::PopupMenuOverlay(const IPopupMenu& menu, const IRECT& anchorRect, cairo_font_face_t* fontFace,
                                   std::function<void(int)> closeHandler)
  : title(TextLayout::Displayable(menu.GetTitle())), anchor(anchorRect), font(fontFace), onClose(std::move(closeHandler))
{
  for (int i = 0; i < menu.NItems(); ++i)
  {
    const IPopupMenu::Item* item = menu.GetItem(i);
    entries.push_back({TextLayout::Displayable(item->GetText()), item->IsChoosable(), item->IsChecked(), item->IsSeparator(),
                       !item->IsEnabled() || item->IsTitle()});
  }
}

void PopupMenuOverlay::Layout(float windowWidth, float windowHeight, float drawScale)
{
  const float scale = ScaleFor(drawScale);
  const float margin = kMargin * scale;
  TextMeasure measure(font, kFontSize);
  float widest = 0.f;
  std::vector<float> widths;
  for (const Entry& entry : entries)
  {
    widths.push_back(static_cast<float>(TextLayout::Width(measure.cr, entry.text)));
    widest = std::max(widest, widths.back());
  }
  const float titleHeight = title.empty() ? 0.f : kItemHeight;
  if (!title.empty())
    widest = std::max(widest, static_cast<float>(TextLayout::Width(measure.cr, title)) - kTextLeft + 12.f);
  const float columnWidth = std::clamp(kTextLeft + widest + kTextRight, kMinColumnWidth, kMaxColumnWidth);
  // Text measured here can come out a fraction wider when drawn at another
  // scale (glyph advances are rounded to device pixels): an item the column
  // was made for is drawn whole, its right margin takes up the difference.
  for (size_t i = 0; i < entries.size(); ++i)
    entries[i].fits = kTextLeft + widths[i] + kTextRight <= columnWidth;

  const float availableWidth = std::max(1.f, windowWidth - 2 * margin);
  const float availableHeight = std::max(1.f, windowHeight - 2 * margin);
  const int n = static_cast<int>(entries.size());

  // Try one to four columns; keep the one that needs the least shrinking
  // below the editor's scale (fewer columns when equal).
  int bestColumns = 1;
  float bestFactor = -1.f;
  for (int columns = 1; columns <= std::max(1, std::min(kMaxColumns, n)); ++columns)
  {
    const int rows = (n + columns - 1) / columns;
    float tallest = 0.f;
    for (int c = 0; c < columns; ++c)
    {
      float h = 0.f;
      for (int i = c * rows; i < std::min(n, (c + 1) * rows); ++i)
        h += entries[static_cast<size_t>(i)].separator ? kSeparatorHeight : kItemHeight;
      tallest = std::max(tallest, h);
    }
    const float w = columns * columnWidth;
    const float h = 2 * kPadding + titleHeight + tallest;
    const float factor = std::min({scale, availableWidth / w, availableHeight / h});
    if (factor > bestFactor + 1e-3f * scale)
    {
      bestFactor = factor;
      bestColumns = columns;
    }
  }

  const int rows = (n + bestColumns - 1) / bestColumns;
  local.assign(entries.size(), IRECT());
  float tallest = 0.f;
  for (int c = 0; c < bestColumns; ++c)
  {
    float y = kPadding + titleHeight;
    for (int i = c * rows; i < std::min(n, (c + 1) * rows); ++i)
    {
      const float h = entries[static_cast<size_t>(i)].separator ? kSeparatorHeight : kItemHeight;
      local[static_cast<size_t>(i)] = IRECT(c * columnWidth, y, (c + 1) * columnWidth, y + h);
      y += h;
    }
    tallest = std::max(tallest, y - kPadding - titleHeight);
  }
  titleArea = IRECT(0.f, kPadding, bestColumns * columnWidth, kPadding + titleHeight);
  panelWidth = bestColumns * columnWidth;
  panelHeight = 2 * kPadding + titleHeight + tallest;
  k = std::max(0.01f, bestFactor);

  // Below the anchor, moved left or above when it would leave the window.
  const float w = panelWidth * k;
  const float h = panelHeight * k;
  originX = anchor.L;
  if (originX + w > windowWidth - margin)
    originX = windowWidth - margin - w;
  originX = std::max(margin, originX);
  originY = anchor.B;
  if (originY + h > windowHeight - margin)
    originY = anchor.T - h >= margin ? anchor.T - h : windowHeight - margin - h;
  originY = std::max(margin, originY);
  RequestRedraw();
}

IRECT PopupMenuOverlay::Bounds() const
{
  // Includes the shadow.
  return IRECT(originX, originY, originX + panelWidth * k, originY + panelHeight * k).GetPadded(6.f * k);
}

std::string PopupMenuOverlay::shownText(const Entry& entry, cairo_t* cr, double room) const
{
  return entry.fits ? entry.text : TextLayout::Elide(cr, entry.text, room);
}

std::string PopupMenuOverlay::ShownText(int index) const
{
  if (index < 0 || index >= static_cast<int>(entries.size()) || index >= static_cast<int>(local.size()))
    return {};
  TextMeasure measure(font, kFontSize);
  cairo_scale(measure.cr, k, k);
  const IRECT& r = local[static_cast<size_t>(index)];
  return shownText(entries[static_cast<size_t>(index)], measure.cr, r.W() - kTextLeft - kTextRight);
}

IRECT PopupMenuOverlay::ItemBounds(int index) const
{
  if (index < 0 || index >= static_cast<int>(local.size()))
    return {};
  const IRECT& r = local[static_cast<size_t>(index)];
  return {originX + r.L * k, originY + r.T * k, originX + r.R * k, originY + r.B * k};
}

int PopupMenuOverlay::ItemAt(float x, float y) const
{
  for (int i = 0; i < static_cast<int>(local.size()); ++i)
  {
    if (ItemBounds(i).Contains(x, y))
      return i;
  }
  return -1;
}

void PopupMenuOverlay::Close(int index)
{
  if (IsFinished())
    return;
  auto handler = onClose;
  Finish([handler, index] {
    if (handler)
      handler(index);
  });
}

void PopupMenuOverlay::SetOpenedByPress(float x, float y)
{
  openedByPress = true;
  pressX = x;
  pressY = y;
}

void PopupMenuOverlay::OnMouseDown(float x, float y, const IMouseMod&)
{
  openedByPress = false;
  const IRECT panel(originX, originY, originX + panelWidth * k, originY + panelHeight * k);
  if (!panel.Contains(x, y))
    Dismiss();
}

void PopupMenuOverlay::OnMouseMove(float x, float y, const IMouseMod&)
{
  int index = ItemAt(x, y);
  if (index >= 0 && !entries[static_cast<size_t>(index)].choosable)
    index = -1;
  if (index != highlighted)
  {
    highlighted = index;
    RequestRedraw();
  }
}

void PopupMenuOverlay::OnMouseUp(float x, float y, const IMouseMod& mod)
{
  const int index = ItemAt(x, y);
  const bool choosable = index >= 0 && entries[static_cast<size_t>(index)].choosable;
  if (openedByPress)
  {
    openedByPress = false;
    const bool moved = std::hypot(x - pressX, y - pressY) > kDragThreshold;
    if (!moved || !choosable)
    {
      OnMouseMove(x, y, mod);
      return;
    }
  }
  if (choosable)
    Close(index);
}

void PopupMenuOverlay::MoveHighlight(int direction)
{
  const int n = static_cast<int>(entries.size());
  int index = highlighted;
  for (int step = 0; step < n; ++step)
  {
    index = index < 0 ? (direction > 0 ? 0 : n - 1) : (index + direction + n) % n;
    if (entries[static_cast<size_t>(index)].choosable)
    {
      highlighted = index;
      RequestRedraw();
      return;
    }
  }
}

bool PopupMenuOverlay::OnKeyDown(const IKeyPress& key)
{
  switch (key.VK)
  {
  case kVK_ESCAPE:
    Dismiss();
    return true;
  case kVK_UP:
    MoveHighlight(-1);
    return true;
  case kVK_DOWN:
    MoveHighlight(1);
    return true;
  case kVK_RETURN:
  case kVK_SPACE:
    if (highlighted >= 0)
      Close(highlighted);
    return true;
  default:
    return false;
  }
}

void PopupMenuOverlay::Draw(cairo_t* cr) const
{
  cairo_save(cr);
  cairo_translate(cr, originX, originY);
  cairo_scale(cr, k, k);

  Shadow(cr, 0, 0, panelWidth, panelHeight, kRadius);
  RoundedRect(cr, 0, 0, panelWidth, panelHeight, kRadius);
  SetColor(cr, kPanel);
  cairo_fill_preserve(cr);
  cairo_set_line_width(cr, 1.0);
  SetColor(cr, kBorder);
  cairo_stroke(cr);

  if (font)
    cairo_set_font_face(cr, font);
  cairo_set_font_size(cr, kFontSize);
  cairo_font_extents_t fe;
  cairo_font_extents(cr, &fe);

  auto baselineIn = [&fe](const IRECT& r) { return r.MH() + 0.5 * (fe.ascent - fe.descent); };

  if (!title.empty())
  {
    SetColor(cr, kDisabledText);
    cairo_move_to(cr, 12.0, baselineIn(titleArea));
    cairo_show_text(cr, TextLayout::Elide(cr, title, titleArea.W() - 24.0).c_str());
  }

  for (size_t i = 0; i < entries.size(); ++i)
  {
    const Entry& entry = entries[i];
    const IRECT& r = local[i];
    if (entry.separator)
    {
      cairo_rectangle(cr, r.L + 8.0, std::floor(r.MH()), r.W() - 16.0, 1.0);
      SetColor(cr, kSeparator);
      cairo_fill(cr);
      continue;
    }
    const bool lit = static_cast<int>(i) == highlighted;
    if (lit)
    {
      RoundedRect(cr, r.L + 4.0, r.T + 1.0, r.W() - 8.0, r.H() - 2.0, 4.0);
      SetColor(cr, kAccent);
      cairo_fill(cr);
    }
    const IColor& textColor = lit ? kOnAccent : (entry.disabled ? kDisabledText : kText);
    if (entry.checked)
    {
      const double mid = r.MH();
      cairo_move_to(cr, r.L + 9.0, mid);
      cairo_line_to(cr, r.L + 13.0, mid + 4.0);
      cairo_line_to(cr, r.L + 19.5, mid - 5.0);
      cairo_set_line_width(cr, 1.8);
      cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
      cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
      SetColor(cr, lit ? kOnAccent : kAccent);
      cairo_stroke(cr);
    }
    SetColor(cr, textColor);
    cairo_move_to(cr, r.L + kTextLeft, baselineIn(r));
    cairo_show_text(cr, shownText(entry, cr, r.W() - kTextLeft - kTextRight).c_str());
  }
  cairo_restore(cr);
}
