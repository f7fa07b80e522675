#pragma once
#include <functional>
#include <string>

#include "toolkit/Overlay.h"
#include "toolkit/TextEditing.h"

// A box asking for one line of text, drawn inside the editor over a dimmed
// window in the look of its message boxes: a caption saying what is asked,
// the field, and two buttons, the one that accepts (the default) and
// Cancel. It takes the keyboard while it is shown: characters, Backspace
// and Delete, the cursor keys (with Shift to select), Home and End,
// Control+A to select everything, Control+V to paste, Return to accept and
// Escape to cancel. A click in the field places the cursor, a click on a
// button answers as its key does, a click outside the box cancels.
class TextEntryOverlay : public Overlay
{
public:
  // accept gets the text on Return or the accepting button and answers
  // whether it was taken; a text it refuses makes the field flash and stay.
  // cancelled runs when the box closes without an accepted text. paste
  // asks the platform for the clipboard's text, which comes back through
  // Paste.
  TextEntryOverlay(std::string caption, std::string acceptLabel, cairo_font_face_t* font, const std::string& text,
                   std::size_t maxCharacters, std::function<bool(const std::string&)> accept,
                   std::function<void()> cancelled, std::function<void()> paste);

  bool IsTextEntry() const override { return true; }
  void Layout(float windowWidth, float windowHeight, float drawScale) override;
  IRECT Bounds() const override { return {0.f, 0.f, windowW, windowH}; }
  void Draw(cairo_t* cr) const override;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  void OnMouseMove(float x, float y, const IMouseMod& mod) override;
  bool OnKeyDown(const IKeyPress& key) override;
  void OnFrame() override;

  void Paste(const std::string& text);
  // Shown, dimmed, while the field is empty: what to type there.
  void SetPlaceholder(std::string text) { placeholder = std::move(text); }
  void Cancel();
  const TextEditing& Editing() const { return editing; }
  const std::string& Caption() const { return caption; }
  bool IsFlashing() const { return flashFrames > 0; }
  // The field's and the buttons' areas in window points.
  IRECT FieldBounds() const { return toWindow(field); }
  IRECT ButtonBounds(bool accepting) const { return toWindow(accepting ? acceptButton : cancelButton); }

private:
  enum class Part
  {
    kNone,
    kField,
    kAccept,
    kCancel,
  };

  void Changed();
  void Submit();
  double TextX(const std::string& prefix) const;
  std::size_t PositionAt(float x) const;
  Part PartAt(float x, float y) const;
  IRECT toWindow(const IRECT& local) const;

  std::string caption;
  std::string acceptLabel;
  cairo_font_face_t* font;
  TextEditing editing;
  std::function<bool(const std::string&)> accept;
  std::function<void()> cancelled;
  std::function<void()> paste;
  std::string placeholder;

  // Laid out in the box's own points, then scaled by k and placed at the
  // origin (window points).
  std::string shownCaption;
  float boxWidth = 0.f;
  float boxHeight = 0.f;
  IRECT field;
  IRECT acceptButton;
  IRECT cancelButton;
  float originX = 0.f;
  float originY = 0.f;
  float k = 1.f;
  float windowW = 0.f;
  float windowH = 0.f;

  double scroll = 0.0; // how far the text is moved left to keep the cursor shown
  int flashFrames = 0;
  Part pressed = Part::kNone;
  Part hovered = Part::kNone;
};
