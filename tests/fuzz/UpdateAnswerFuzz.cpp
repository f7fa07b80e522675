// Any body the version query can bring back: its messages are displayable
// text, and each lays out in a message box that shows its text and buttons
// inside the editor's window.
#include <cairo.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "control/UpdateCheck.h"
#include "toolkit/FontLoader.h"
#include "toolkit/MessageBoxOverlay.h"
#include "toolkit/TextLayout.h"

namespace
{
// What the query keeps of a body; a longer one counts as "too large" before
// it is interpreted.
constexpr size_t kMaxBodyBytes = 64 * 1024;
// A box never holds more lines than this.
constexpr size_t kMaxLines = 12;

// The editor's own font, loaded once for the whole run (faces are expensive).
cairo_font_face_t* editorFont()
{
#ifdef TOLMAR_FONT_FILE
  static FontLoader loader;
  static cairo_font_face_t* face = loader.Load(TOLMAR_FONT_FILE);
  return face;
#else
  return nullptr; // cairo's default face
#endif
}

void require(bool condition)
{
  if (!condition)
    __builtin_trap();
}

bool inside(const IRECT& r, float width, float height)
{
  return r.W() > 0.f && r.H() > 0.f && r.L >= 0.f && r.T >= 0.f && r.R <= width && r.B <= height;
}

// Lays the message out in a window of the given size (points) and draws it.
void showInWindow(const UpdateMessage& message, int width, int height)
{
  MessageBoxOverlay box(message.text, message.caption, message.type, editorFont(), nullptr);
  box.Layout(static_cast<float>(width), static_cast<float>(height));
  require(box.Text() == message.text);
  require(!box.Lines().empty() && box.Lines().size() <= kMaxLines);
  require(box.NButtons() == (message.type == UpdateMessage::kYesNo ? 2 : 1));
  for (int i = 0; i < box.NButtons(); ++i)
    require(inside(box.ButtonBounds(i), static_cast<float>(width), static_cast<float>(height)));

  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  cairo_t* cr = cairo_create(surface);
  ApplyTextOptions(cr);
  box.Draw(cr);
  // cairo stops drawing for good at the first text it cannot take.
  require(cairo_status(cr) == CAIRO_STATUS_SUCCESS);
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size > kMaxBodyBytes)
    return -1;
  // A body cut by a read error gives every message an intact body gives,
  // and the no-answer message after them.
  VersionAnswer answer;
  answer.body.assign(reinterpret_cast<const char*>(data), size);
  answer.readError = true;
  const std::vector<UpdateMessage> messages = interpretVersionAnswer(answer);
  require(!messages.empty() && messages.size() <= 2);
  for (const UpdateMessage& message : messages)
  {
    // Valid UTF-8 with no control characters but the text's own breaks and
    // tabs: the message comes through unchanged.
    require(TextLayout::Displayable(message.text) == message.text);
    require(TextLayout::Displayable(message.caption) == message.caption);
    require(message.text.find('\r') == std::string::npos);
    // The editor's window at its smallest (a quarter of the layout): the box
    // shrinks the most there.
    showInWindow(message, 342, 87);
  }
  return 0;
}
