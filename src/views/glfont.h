// Texture fonts: text drawn into an OpenGL view as one textured quad per
// character from a glyph atlas stored in the program, through the view's
// font program (slot 18) or, without installed programs, fixed-function
// texturing.
#pragma once

#include <cstddef>
#include <cstdint>

#include <wx/string.h>

class shader;

// Cell of one character in an atlas, in atlas pixels: top-left corner and
// advance (the cell's width and the pen's move).
struct glyph_row {
  int32_t x;
  int32_t y;
  int32_t advance;
};

struct glfont_info {
  const char* name;
  int pixel_size;  // height of every cell; the font's height
  int ascent;      // rows from a cell's top to the glyph's baseline
  int atlas_width;
  int atlas_height;
  int first_char;
  int last_char;
  const unsigned char* image;  // 8-bit grey PNG
  std::size_t image_size;
  const glyph_row* glyphs;  // first_char to last_char
};

constexpr int kGlfontCount = 11;
// Indexed by RES_GLUT_FONT.
extern const glfont_info glfont_table[kGlfontCount];

class glfont {
 public:
  // Builds font `font` (0 to 10) for the view whose context is current; any
  // other number gives no font, which draws nothing.
  glfont(int font, shader* shader_set);
  ~glfont();
  glfont(const glfont&) = delete;
  glfont& operator=(const glfont&) = delete;

  int height() const;
  wxString name() const;
  int text_width(const wxString& text) const;

  // Draws one line of text. viewport: x, y, width, height of the GL
  // viewport. position: x, y, depth in normalised device coordinates; x and y
  // are aligned to whole pixels and x is left at the end of the text.
  // offset: shift of the text's top-left corner in font heights (x right,
  // y up). in_translucency_pass: the 3D view is drawing translucent layers.
  void draw_text(const wxString& text, const int viewport[4], double position[3], const double offset[2],
                 const float colour[4], bool in_translucency_pass);

  // Blending (true, the default) or the alpha test at 0.5 (false).
  void set_blend(bool on) { blend = on; }

  int font = -1;
  int atlas_width = 0;
  int atlas_height = 0;
  bool blend = true;
  unsigned int texture = 0;
  shader* shader_set = nullptr;
};
