// The table of texture fonts: metrics and glyph rows written by
// scripts/make_font_atlases.py, atlases embedded from src/views/fonts.
#include <cstddef>

#include "views/glfont.h"

namespace {
#include "views/fonts/cabin_glyphs.inc"
}  // namespace

namespace nv_font_atlas {
#define NV_DECLARE_ATLAS(index, name, pixel_size, ascent, width, height, symbol) \
  extern const unsigned char symbol##_png[];                                  \
  extern const std::size_t symbol##_png_size;
NV_FONT_LIST(NV_DECLARE_ATLAS)
#undef NV_DECLARE_ATLAS
}  // namespace nv_font_atlas

#define NV_FONT_ENTRY(index, name, pixel_size, ascent, width, height, symbol)                    \
  {name, pixel_size, ascent, width, height, 32, 126, nv_font_atlas::symbol##_png, \
   nv_font_atlas::symbol##_png_size, symbol##_glyphs},
const glfont_info glfont_table[kGlfontCount] = {NV_FONT_LIST(NV_FONT_ENTRY)};
#undef NV_FONT_ENTRY
