// The OpenGL lifetime of one view: its context, shader set, font and the
// texture and buffer names it makes, created with the view, set up at its
// first paint and deleted with it (with the context current, when it ever
// was). The 2D views and the 3D view each hold one.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class glfont;
class shader;
class wxGLCanvas;
class wxGLContext;

class gl_view_context {
 public:
  explicit gl_view_context(wxGLCanvas& canvas);
  ~gl_view_context();
  gl_view_context(const gl_view_context&) = delete;
  gl_view_context& operator=(const gl_view_context&) = delete;

  // Makes the context current on the canvas; false when it cannot be.
  bool make_current();
  wxGLContext& context() { return *context_; }

  // The first paint's set-up has run: from then on the destructor deletes
  // the GL objects.
  bool set_up() const { return set_up_; }
  void mark_set_up() { set_up_ = true; }

  shader& shaders() { return *shaders_; }
  // The context of a view, found by its canvas; null when it has none.
  static gl_view_context* of(const wxGLCanvas* canvas);
  // The font, or null before the first set-up.
  glfont* font() const { return font_.get(); }
  // A new font of number (RES_GLUT_FONT) on the shader set, drawing with
  // blending; the context must be current.
  void load_font(int32_t number);

  // Names made on the current context and deleted with it.
  unsigned new_texture();
  void new_buffers(int count, unsigned* names);
  void delete_texture(unsigned& name);

 private:
  wxGLCanvas& canvas_;
  std::unique_ptr<wxGLContext> context_;
  std::unique_ptr<shader> shaders_;
  std::unique_ptr<glfont> font_;
  std::vector<unsigned> textures_;
  std::vector<unsigned> buffers_;
  bool set_up_ = false;
};
