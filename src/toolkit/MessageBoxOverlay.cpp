#include "toolkit/MessageBoxOverlay.h"

#include <algorithm>

#include "toolkit/OverlayStyle.h"
#include "toolkit/TextLayout.h"

using namespace OverlayStyle;

namespace
{
constexpr float kPadding = 18.f;
constexpr float kMinWidth = 280.f;
constexpr float kMaxWidth = 460.f;
constexpr float kCaptionHeight = 20.f;
constexpr float kCaptionGap = 8.f;
constexpr float kLineHeight = 18.f;
constexpr float kButtonGap = 18.f;
constexpr float kButtonHeight = 28.f;
constexpr float kButtonSpacing = 10.f;
constexpr float kMinButtonWidth = 84.f;
// A longer text is cut: the box must never grow so tall that, shrunk to fit
// the window, its buttons could no longer be read or hit.
constexpr size_t kMaxLines = 12;

// The answers' numbers (EMsgBoxResult).
constexpr int kAnswerOK = 1, kAnswerCancel = 2, kAnswerAbort = 3, kAnswerRetry = 4, kAnswerIgnore = 5,
              kAnswerYes = 6, kAnswerNo = 7;

struct Choice
{
  const char* label;
  int answer;
};

// Buttons from left to right; the affirmative one last (the default).
std::vector<Choice> choicesFor(int type, int& defaultIndex, int& escapeAnswer)
{
  switch (type)
  {
  case 1:
    defaultIndex = 1;
    escapeAnswer = kAnswerCancel;
    return {{"Cancel", kAnswerCancel}, {"OK", kAnswerOK}};
  case 2:
    defaultIndex = 1;
    escapeAnswer = kAnswerAbort;
    return {{"Abort", kAnswerAbort}, {"Retry", kAnswerRetry}, {"Ignore", kAnswerIgnore}};
  case 3:
    defaultIndex = 2;
    escapeAnswer = kAnswerCancel;
    return {{"Cancel", kAnswerCancel}, {"No", kAnswerNo}, {"Yes", kAnswerYes}};
  case 4:
    defaultIndex = 1;
    escapeAnswer = kAnswerNo;
    return {{"No", kAnswerNo}, {"Yes", kAnswerYes}};
  case 5:
    defaultIndex = 1;
    escapeAnswer = kAnswerCancel;
    return {{"Cancel", kAnswerCancel}, {"Retry", kAnswerRetry}};
  default:
    defaultIndex = 0;
    escapeAnswer = kAnswerOK;
    return {{"OK", kAnswerOK}};
  }
}
} // namespace

MessageBoxOverlay::MessageBoxOverlay(std::string message, std::string title, int type, cairo_font_face_t* fontFace,
                                     std::function<void(int)> answerHandler)
  : text(TextLayout::Displayable(message)), caption(TextLayout::Displayable(title)), font(fontFace),
    onAnswer(std::move(answerHandler))
{
  int defaultIndex = 0;
  for (const Choice& choice : choicesFor(type, defaultIndex, escapeAnswer))
    buttons.push_back({choice.label, choice.answer, {}});
  focused = defaultIndex;
}

void MessageBoxOverlay::Layout(float windowWidth, float windowHeight, float drawScale)
{
  const float scale = ScaleFor(drawScale);
  const float margin = kMargin * scale;
  windowW = windowWidth;
  windowH = windowHeight;
  TextMeasure measure(font, kFontSize);
  float buttonsWidth = 0.f;
  std::vector<float> buttonWidths;
  for (const Button& button : buttons)
  {
    buttonWidths.push_back(std::max(kMinButtonWidth, static_cast<float>(TextLayout::Width(measure.cr, button.label)) + 28.f));
    buttonsWidth += buttonWidths.back();
  }
  buttonsWidth += kButtonSpacing * static_cast<float>(buttons.size() - 1);

  lines = TextLayout::Wrap(measure.cr, text, kMaxWidth - 2 * kPadding, kMaxLines);
  float widest = buttonsWidth;
  for (const std::string& line : lines)
    widest = std::max(widest, static_cast<float>(TextLayout::Width(measure.cr, line)));
  cairo_set_font_size(measure.cr, kCaptionSize);
  widest = std::max(widest, static_cast<float>(TextLayout::Width(measure.cr, caption)));
  boxWidth = std::clamp(widest + 2 * kPadding, kMinWidth, kMaxWidth);
  shownCaption = TextLayout::Elide(measure.cr, caption, boxWidth - 2 * kPadding);

  const float captionBlock = caption.empty() ? 0.f : kCaptionHeight + kCaptionGap;
  boxHeight = kPadding + captionBlock + kLineHeight * static_cast<float>(lines.size()) + kButtonGap + kButtonHeight +
              kPadding;

  float x = boxWidth - kPadding;
  for (size_t i = buttons.size(); i-- > 0;)
  {
    buttons[i].area = IRECT(x - buttonWidths[i], boxHeight - kPadding - kButtonHeight, x, boxHeight - kPadding);
    x -= buttonWidths[i] + kButtonSpacing;
  }

  // At the editor's scale; shrunk as a whole when the window is smaller
  // than the box.
  k = std::min({scale, std::max(1.f, windowWidth - 2 * margin) / boxWidth,
                std::max(1.f, windowHeight - 2 * margin) / boxHeight});
  k = std::max(0.01f, k);
  originX = 0.5f * (windowWidth - boxWidth * k);
  originY = 0.5f * (windowHeight - boxHeight * k);
  RequestRedraw();
}

IRECT MessageBoxOverlay::ButtonBounds(int index) const
{
  if (index < 0 || index >= NButtons())
    return {};
  const IRECT& r = buttons[static_cast<size_t>(index)].area;
  return {originX + r.L * k, originY + r.T * k, originX + r.R * k, originY + r.B * k};
}

int MessageBoxOverlay::ButtonAt(float x, float y) const
{
  for (int i = 0; i < NButtons(); ++i)
  {
    if (ButtonBounds(i).Contains(x, y))
      return i;
  }
  return -1;
}

void MessageBoxOverlay::Answer(int answer)
{
  if (IsFinished())
    return;
  auto handler = onAnswer;
  Finish([handler, answer] {
    if (handler)
      handler(answer);
  });
}

void MessageBoxOverlay::OnMouseDown(float x, float y, const IMouseMod&)
{
  pressed = ButtonAt(x, y);
  if (pressed >= 0)
    focused = pressed;
  RequestRedraw();
}

void MessageBoxOverlay::OnMouseUp(float x, float y, const IMouseMod&)
{
  const int index = ButtonAt(x, y);
  const bool clicked = index >= 0 && index == pressed;
  pressed = -1;
  RequestRedraw();
  if (clicked)
    Answer(buttons[static_cast<size_t>(index)].answer);
}

void MessageBoxOverlay::OnMouseMove(float x, float y, const IMouseMod&)
{
  const int index = ButtonAt(x, y);
  if (index != hovered)
  {
    hovered = index;
    RequestRedraw();
  }
}

bool MessageBoxOverlay::OnKeyDown(const IKeyPress& key)
{
  switch (key.VK)
  {
  case kVK_RETURN:
  case kVK_SPACE:
    Answer(buttons[static_cast<size_t>(focused)].answer);
    return true;
  case kVK_ESCAPE:
    Answer(escapeAnswer);
    return true;
  case kVK_TAB:
  case kVK_LEFT:
  case kVK_RIGHT:
  {
    const int step = key.VK == kVK_LEFT || (key.VK == kVK_TAB && key.S) ? -1 : 1;
    focused = (focused + step + NButtons()) % NButtons();
    RequestRedraw();
    return true;
  }
  default:
    // Modal: keys do not reach the editor behind the box.
    return true;
  }
}

void MessageBoxOverlay::Draw(cairo_t* cr) const
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
  float y = kPadding;
  if (!caption.empty())
  {
    cairo_set_font_size(cr, kCaptionSize);
    cairo_font_extents(cr, &fe);
    SetColor(cr, kAccent);
    cairo_move_to(cr, kPadding, y + 0.5 * kCaptionHeight + 0.5 * (fe.ascent - fe.descent));
    cairo_show_text(cr, shownCaption.c_str());
    y += kCaptionHeight + kCaptionGap;
  }

  cairo_set_font_size(cr, kFontSize);
  cairo_font_extents(cr, &fe);
  SetColor(cr, kText);
  for (const std::string& line : lines)
  {
    cairo_move_to(cr, kPadding, y + 0.5 * kLineHeight + 0.5 * (fe.ascent - fe.descent));
    cairo_show_text(cr, line.c_str());
    y += kLineHeight;
  }

  for (int i = 0; i < NButtons(); ++i)
  {
    const Button& button = buttons[static_cast<size_t>(i)];
    OverlayStyle::Button(cr, button.area, button.label, i == focused, i == hovered, i == pressed);
  }
  cairo_restore(cr);
}
