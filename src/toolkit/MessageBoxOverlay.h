#pragma once
#include <functional>
#include <string>
#include <vector>

#include "toolkit/Overlay.h"

// A message box drawn inside the editor over a dimmed window: caption,
// wrapped text (cut after a dozen lines; any bytes are shown, those that are
// not text as U+FFFD) and a row of buttons. The affirmative button is the default
// (Return), Escape gives the cautious answer (Cancel, else No, else OK);
// Tab and the arrow keys move the focus.
class MessageBoxOverlay : public Overlay
{
public:
  // type and the answers use the numbers of EMsgBoxType / EMsgBoxResult.
  MessageBoxOverlay(std::string text, std::string caption, int type, cairo_font_face_t* font,
                    std::function<void(int)> onAnswer);

  void Layout(float windowWidth, float windowHeight) override;
  IRECT Bounds() const override { return {0.f, 0.f, windowW, windowH}; }
  void Draw(cairo_t* cr) const override;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  void OnMouseMove(float x, float y, const IMouseMod& mod) override;
  bool OnKeyDown(const IKeyPress& key) override;

  int NButtons() const { return static_cast<int>(buttons.size()); }
  int ButtonAnswer(int index) const { return buttons[static_cast<size_t>(index)].answer; }
  // The button's area in window points.
  IRECT ButtonBounds(int index) const;
  int GetFocused() const { return focused; }
  const std::vector<std::string>& Lines() const { return lines; }
  const std::string& Text() const { return text; }
  const std::string& Caption() const { return caption; }

private:
  struct Button
  {
    std::string label;
    int answer;
    IRECT area;  // before scaling and placing
  };

  int ButtonAt(float x, float y) const;
  void Answer(int answer);

  std::string text;
  std::string caption;
  cairo_font_face_t* font;
  std::function<void(int)> onAnswer;
  std::vector<Button> buttons;
  int focused = 0;
  int escapeAnswer = 0;

  std::vector<std::string> lines;
  std::string shownCaption;
  float boxWidth = 0.f;
  float boxHeight = 0.f;
  float originX = 0.f;
  float originY = 0.f;
  float k = 1.f;
  float windowW = 0.f;
  float windowH = 0.f;
  int pressed = -1;
  int hovered = -1;
};
