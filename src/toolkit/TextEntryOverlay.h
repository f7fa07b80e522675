#pragma once
#include <functional>
#include <string>

#include "toolkit/IText.h"
#include "toolkit/Overlay.h"
#include "toolkit/TextEditing.h"

// A one-line text field drawn over the editor, at the editor's scale, in
// the text style's entry colours. It takes the keyboard while it is shown:
// characters, Backspace and Delete, the cursor keys (with Shift to select),
// Home and End, Control+A to select everything, Control+V to paste, Return
// to accept and Escape to cancel. A click inside places the cursor, a click
// anywhere else cancels.
class TextEntryOverlay : public Overlay
{
public:
  // accept gets the text on Return and answers whether it was taken; a text
  // it refuses makes the field flash and stay. cancelled runs when the field
  // closes without an accepted text. paste asks the platform for the
  // clipboard's text, which comes back through Paste.
  TextEntryOverlay(const IRECT& layoutBounds, const IText& style, cairo_font_face_t* font, const std::string& text,
                   std::size_t maxCharacters, std::function<bool(const std::string&)> accept,
                   std::function<void()> cancelled, std::function<void()> paste);

  bool IsTextEntry() const override { return true; }
  void Layout(float windowWidth, float windowHeight, float drawScale) override;
  IRECT Bounds() const override;
  void Draw(cairo_t* cr) const override;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float, float, const IMouseMod&) override {}
  void OnMouseMove(float, float, const IMouseMod&) override {}
  bool OnKeyDown(const IKeyPress& key) override;
  void OnFrame() override;

  void Paste(const std::string& text);
  // Shown, dimmed, while the field is empty: what to type there.
  void SetPlaceholder(std::string text) { placeholder = std::move(text); }
  void Cancel();
  const TextEditing& Editing() const { return editing; }
  bool IsFlashing() const { return flashFrames > 0; }
  // The field's area in window points.
  IRECT FieldBounds() const { return field; }

private:
  void Changed();
  double TextX(const std::string& prefix) const;
  std::size_t PositionAt(float x) const;

  IRECT layoutBounds;
  IText style;
  cairo_font_face_t* font;
  TextEditing editing;
  std::function<bool(const std::string&)> accept;
  std::function<void()> cancelled;
  std::function<void()> paste;

  std::string placeholder;
  IRECT field;
  float fontSize = 12.f;
  float padding = 3.f;
  double scroll = 0.0; // how far the text is moved left to keep the cursor shown
  int flashFrames = 0;
};
