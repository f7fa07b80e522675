#pragma once
#include <functional>
#include <string>
#include <vector>

#include "toolkit/Overlay.h"

class IPopupMenu;

// A pop-up menu drawn inside the editor: items with check marks,
// separators and disabled entries, one or more columns (more when the
// window is too low for one), chosen by a click or by pressing, dragging and
// releasing on an item; dismissed by a click outside or Escape; arrow keys
// and Return choose from the keyboard.
class PopupMenuOverlay : public Overlay
{
public:
  // onClose receives the chosen index, or -1 when dismissed.
  PopupMenuOverlay(const IPopupMenu& menu, const IRECT& anchor, cairo_font_face_t* font,
                   std::function<void(int)> onClose);

  bool IsPopupMenu() const override { return true; }
  void Layout(float windowWidth, float windowHeight, float drawScale) override;
  IRECT Bounds() const override;
  void Draw(cairo_t* cr) const override;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  void OnMouseMove(float x, float y, const IMouseMod& mod) override;
  bool OnKeyDown(const IKeyPress& key) override;

  // The button that opened the menu is still down at (x, y): releasing it
  // there does not choose, releasing it elsewhere on an item does.
  void SetOpenedByPress(float x, float y);
  void Dismiss() { Close(-1); }
  // The item's area in window points (tests, drawing).
  IRECT ItemBounds(int index) const;
  // The item's text as drawn: whole, unless it is wider than any column.
  std::string ShownText(int index) const;
  int GetHighlighted() const { return highlighted; }

private:
  struct Entry
  {
    std::string text;
    bool choosable;
    bool checked;
    bool separator;
    bool disabled;
    bool fits = true;  // the column was made wide enough for the whole text
  };

  std::string shownText(const Entry& entry, cairo_t* cr, double room) const;

  int ItemAt(float x, float y) const;
  void Close(int index);
  void MoveHighlight(int direction);

  std::vector<Entry> entries;
  std::string title;
  IRECT anchor;
  cairo_font_face_t* font;
  std::function<void(int)> onClose;

  std::vector<IRECT> local;  // item areas before scaling and placing
  IRECT titleArea;
  float panelWidth = 0.f;
  float panelHeight = 0.f;
  float originX = 0.f;
  float originY = 0.f;
  float k = 1.f;  // shrink factor when the window is too small

  int highlighted = -1;
  bool openedByPress = false;
  float pressX = 0.f;
  float pressY = 0.f;
};
