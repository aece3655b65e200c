#include <GL/glew.h>

#include "views/glfont.h"

#include <cmath>
#include <vector>

#include <wx/image.h>
#include <wx/log.h>
#include <wx/mstream.h>

#include "views/shader.h"

namespace {

// Text goes through the font program whenever the view installed its
// programs; a set installed without that slot draws fixed-function instead.
bool has_programs(const shader* set) {
  return set != nullptr && (set->installed_mask & (1u << shader::kRenderFont)) != 0;
}

// The GL state draw_text changes, taken before and put back after.
struct saved_state {
  GLint active_unit = GL_TEXTURE0;
  GLint bound_texture = 0;
  GLint array_buffer = 0;
  GLboolean texturing = GL_FALSE;
  GLboolean alpha_test = GL_FALSE;
  GLboolean blending = GL_FALSE;
  GLint alpha_func = GL_ALWAYS;
  GLfloat alpha_ref = 0.0f;
  GLint blend_src_rgb = GL_ONE, blend_dst_rgb = GL_ZERO;
  GLint blend_src_alpha = GL_ONE, blend_dst_alpha = GL_ZERO;
  GLint matrix_mode = GL_MODELVIEW;

  void take() {
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active_unit);
    glActiveTexture(GL_TEXTURE0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound_texture);
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &array_buffer);
    texturing = glIsEnabled(GL_TEXTURE_2D);
    alpha_test = glIsEnabled(GL_ALPHA_TEST);
    blending = glIsEnabled(GL_BLEND);
    glGetIntegerv(GL_ALPHA_TEST_FUNC, &alpha_func);
    glGetFloatv(GL_ALPHA_TEST_REF, &alpha_ref);
    glGetIntegerv(GL_BLEND_SRC_RGB, &blend_src_rgb);
    glGetIntegerv(GL_BLEND_DST_RGB, &blend_dst_rgb);
    glGetIntegerv(GL_BLEND_SRC_ALPHA, &blend_src_alpha);
    glGetIntegerv(GL_BLEND_DST_ALPHA, &blend_dst_alpha);
    glGetIntegerv(GL_MATRIX_MODE, &matrix_mode);
  }

  // Callers that blend after drawing text get back their own blend and alpha
  // functions rather than fixed ones.
  void put_back() const {
    if (!texturing) glDisable(GL_TEXTURE_2D);
    if (!alpha_test) glDisable(GL_ALPHA_TEST);
    glAlphaFunc(static_cast<GLenum>(alpha_func), alpha_ref);
    glBlendFuncSeparate(static_cast<GLenum>(blend_src_rgb), static_cast<GLenum>(blend_dst_rgb),
                        static_cast<GLenum>(blend_src_alpha), static_cast<GLenum>(blend_dst_alpha));
    if (blending)
      glEnable(GL_BLEND);
    else
      glDisable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound_texture));
    glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(array_buffer));
    glActiveTexture(static_cast<GLenum>(active_unit));
    glMatrixMode(static_cast<GLenum>(matrix_mode));
  }
};

}  // namespace

glfont::glfont(int font_number, shader* set) {
  if (font_number < 0 || font_number >= kGlfontCount) return;
  font = font_number;
  blend = true;
  const glfont_info& info = glfont_table[font];

  if (wxImage::FindHandler(wxBITMAP_TYPE_PNG) == nullptr) wxImage::AddHandler(new wxPNGHandler);
  wxImage image;
  {
    wxLogNull quiet;
    wxMemoryInputStream in(info.image, info.image_size);
    image.LoadFile(in, wxBITMAP_TYPE_PNG);
  }
  atlas_width = info.atlas_width;
  atlas_height = info.atlas_height;

  glGenTextures(1, &texture);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, texture);
  shader_set = set;

  // An atlas that does not decode to the table's size stays an empty
  // texture: text then draws as nothing rather than from stray memory.
  if (image.IsOk() && image.GetWidth() == atlas_width && image.GetHeight() == atlas_height) {
    const size_t pixels = static_cast<size_t>(atlas_width) * static_cast<size_t>(atlas_height);
    const unsigned char* rgb = image.GetData();
    if (has_programs(shader_set)) {
      std::vector<unsigned char> grey(pixels);
      for (size_t i = 0; i < pixels; ++i) grey[i] = rgb[3 * i];
      glTexImage2D(GL_TEXTURE_2D, 0, GL_R8, atlas_width, atlas_height, 0, GL_RED, GL_UNSIGNED_BYTE,
                   grey.data());
    } else {
      std::vector<unsigned char> rgba(4 * pixels);
      for (size_t i = 0; i < pixels; ++i)
        rgba[4 * i] = rgba[4 * i + 1] = rgba[4 * i + 2] = rgba[4 * i + 3] = rgb[3 * i];
      glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, atlas_width, atlas_height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                   rgba.data());
    }
  }
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glBindTexture(GL_TEXTURE_2D, 0);
}

glfont::~glfont() {
  if (font >= 0) glDeleteTextures(1, &texture);
}

int glfont::height() const { return font >= 0 ? glfont_table[font].pixel_size : 0; }

wxString glfont::name() const { return font >= 0 ? wxString::FromUTF8(glfont_table[font].name) : wxString(); }

int glfont::text_width(const wxString& text) const {
  if (font < 0) return 0;
  const glfont_info& info = glfont_table[font];
  int width = 0;
  for (wxUniChar ch : text) {
    const long c = static_cast<long>(ch.GetValue());
    width += c < info.first_char || c > info.last_char ? info.pixel_size / 2
                                                       : info.glyphs[c - info.first_char].advance;
  }
  return width;
}

void glfont::draw_text(const wxString& text, const int viewport[4], double position[3], const double offset[2],
                       const float colour[4], bool in_translucency_pass) {
  if (font < 0 || viewport[2] <= 0 || viewport[3] <= 0) return;
  const glfont_info& info = glfont_table[font];
  const bool programs = has_programs(shader_set);
  const double p = info.pixel_size;
  const double sx = 2.0 / viewport[2];
  const double sy = 2.0 / viewport[3];

  saved_state saved;
  saved.take();
  glBindTexture(GL_TEXTURE_2D, texture);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_ALPHA_TEST);
  if (blend) {
    glAlphaFunc(GL_GREATER, 0.0f);
    if (!in_translucency_pass) glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
  } else {
    glAlphaFunc(GL_GREATER, 0.5f);
    glDisable(GL_BLEND);
  }
  if (!programs) {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glColor4fv(colour);
  }

  // Start on a pixel boundary so that every texel is sampled at its centre.
  double x = std::round((p * sx * offset[0] + position[0] + 1.0) / sx) * sx - 1.0;
  const double y = std::round((p * sy * offset[1] + position[1] + 1.0) / sy) * sy - 1.0;
  position[0] = x;
  position[1] = y;
  const float z = static_cast<float>(position[2]);

  const size_t n = text.length();
  std::vector<float> data(30 * n);
  float* xyz = data.data();
  float* uv = data.data() + 18 * n;
  const double wa = info.atlas_width;
  const double ha = info.atlas_height;
  const float top = static_cast<float>(y);
  const float bottom = static_cast<float>(y - p * sy);
  for (wxUniChar ch : text) {
    const long c = static_cast<long>(ch.GetValue());
    const float x0 = static_cast<float>(x);
    if (c < info.first_char || c > info.last_char) {
      // Six vertices on one point enclose nothing.
      for (int v = 0; v < 6; ++v) {
        *xyz++ = x0, *xyz++ = top, *xyz++ = z;
        *uv++ = 0.0f, *uv++ = 0.0f;
      }
      x += (info.pixel_size / 2) * sx;
    } else {
      const glyph_row& g = info.glyphs[c - info.first_char];
      const float x1 = static_cast<float>(x + g.advance * sx);
      const float u0 = static_cast<float>(g.x / wa), u1 = static_cast<float>((g.x + g.advance) / wa);
      const float v0 = static_cast<float>(g.y / ha), v1 = static_cast<float>((g.y + p) / ha);
      const float quad[6][4] = {{x0, top, u0, v0}, {x1, top, u1, v0}, {x1, bottom, u1, v1},
                                {x0, top, u0, v0}, {x1, bottom, u1, v1}, {x0, bottom, u0, v1}};
      for (const auto& q : quad) {
        *xyz++ = q[0], *xyz++ = q[1], *xyz++ = z;
        *uv++ = q[2], *uv++ = q[3];
      }
      x += g.advance * sx;
    }
    position[0] = x;
  }

  if (n > 0) {
    GLuint buffer = 0;
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(data.size() * sizeof(float)), data.data(),
                 GL_STATIC_DRAW);
    const GLsizei vertices = static_cast<GLsizei>(6 * n);
    if (programs) {
      const float peel = in_translucency_pass ? 1.0f : 0.0f;
      shader_set->use_program(shader::kRenderFont, vertices, {&peel, colour});
      glDrawArrays(GL_TRIANGLES, 0, vertices);
      shader_set->stop_program();
    } else {
      glEnableClientState(GL_VERTEX_ARRAY);
      glEnableClientState(GL_TEXTURE_COORD_ARRAY);
      glVertexPointer(3, GL_FLOAT, 0, nullptr);
      glTexCoordPointer(2, GL_FLOAT, 0, reinterpret_cast<const void*>(72 * n));
      glDrawArrays(GL_TRIANGLES, 0, vertices);
      glDisableClientState(GL_VERTEX_ARRAY);
      glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glDeleteBuffers(1, &buffer);
  }

  if (!programs) {
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
  }
  saved.put_back();
}
