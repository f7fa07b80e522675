#include "toolkit/FontLoader.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H

namespace
{
struct FaceHolder
{
  std::shared_ptr<FT_LibraryRec_> library;
  FT_Face face = nullptr;
};

const cairo_user_data_key_t kFaceKey{};

// Called by cairo, on whatever thread drops the last reference to the face.
void releaseFace(void* data)
{
  auto* holder = static_cast<FaceHolder*>(data);
  FT_Done_Face(holder->face);
  delete holder;
}
} // namespace

FontLoader::FontLoader()
{
  FT_Library raw = nullptr;
  if (FT_Init_FreeType(&raw) == 0)
    library.reset(raw, [](FT_Library lib) { FT_Done_FreeType(lib); });
}

FontLoader::~FontLoader() = default;

cairo_font_face_t* FontLoader::Load(const std::string& path)
{
  if (!library || path.empty())
    return nullptr;
  FT_Face face = nullptr;
  if (FT_New_Face(library.get(), path.c_str(), 0, &face) != 0)
    return nullptr;
  if (!(face->face_flags & FT_FACE_FLAG_SCALABLE))
  {
    FT_Done_Face(face);
    return nullptr;
  }
  cairo_font_face_t* fontFace = cairo_ft_font_face_create_for_ft_face(face, 0);
  auto* holder = new FaceHolder{library, face};
  if (cairo_font_face_status(fontFace) != CAIRO_STATUS_SUCCESS ||
      cairo_font_face_set_user_data(fontFace, &kFaceKey, holder, releaseFace) != CAIRO_STATUS_SUCCESS)
  {
    cairo_font_face_destroy(fontFace);
    releaseFace(holder);
    return nullptr;
  }
  return fontFace;
}

void ApplyTextOptions(cairo_t* cr)
{
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_set_font_options(cr, options);
  cairo_font_options_destroy(options);
}
