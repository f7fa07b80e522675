#pragma once
#include <cairo.h>

#include <memory>
#include <string>

struct FT_LibraryRec_;

// Opens TrueType files with FreeType and wraps them as cairo font faces.
// A face keeps the FreeType library alive until cairo releases the face, so
// faces may outlive the loader (cairo caches scaled fonts for a while).
class FontLoader
{
public:
  FontLoader();
  ~FontLoader();
  FontLoader(const FontLoader&) = delete;
  FontLoader& operator=(const FontLoader&) = delete;

  // A new reference to a face for the file, or null when it cannot be read.
  cairo_font_face_t* Load(const std::string& path);

private:
  std::shared_ptr<FT_LibraryRec_> library;
};

// The options every text of the toolkit is drawn with: grey antialiasing and
// unhinted advances, so that a text's width scales exactly with the window
// and nothing that fits at one scale is clipped at another.
void ApplyTextOptions(cairo_t* cr);
