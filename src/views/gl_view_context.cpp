// GLEW before any other OpenGL header.
#include <GL/glew.h>

#include "views/gl_view_context.h"

#include <algorithm>

#include <wx/glcanvas.h>

#include "views/glfont.h"
#include "views/shader.h"

namespace {
// Every live view context, so that other windows can ask a view about its
// OpenGL state (the 3D view's shader programs, for features that need them).
std::vector<gl_view_context*>& live_contexts() {
  static std::vector<gl_view_context*> live;
  return live;
}
}  // namespace

gl_view_context::gl_view_context(wxGLCanvas& canvas)
    : canvas_(canvas), context_(std::make_unique<wxGLContext>(&canvas)), shaders_(std::make_unique<shader>()) {
  live_contexts().push_back(this);
}

gl_view_context* gl_view_context::of(const wxGLCanvas* canvas) {
  for (gl_view_context* c : live_contexts())
    if (&c->canvas_ == canvas) return c;
  return nullptr;
}

gl_view_context::~gl_view_context() {
  auto& live = live_contexts();
  live.erase(std::remove(live.begin(), live.end(), this), live.end());
  if (set_up_ && canvas_.SetCurrent(*context_)) {
    if (!textures_.empty()) glDeleteTextures(static_cast<GLsizei>(textures_.size()), textures_.data());
    if (!buffers_.empty()) glDeleteBuffers(static_cast<GLsizei>(buffers_.size()), buffers_.data());
    font_.reset();
    shaders_->delete_programs();
  } else {
    // Without a current context the names cannot be deleted; the context's
    // own destruction frees them.
    font_.release();
    shaders_->installed_mask = 0;
  }
}

bool gl_view_context::make_current() { return context_->IsOK() && canvas_.SetCurrent(*context_); }

void gl_view_context::load_font(int32_t number) {
  font_ = std::make_unique<glfont>(number, shaders_.get());
  font_->set_blend(true);
}

unsigned gl_view_context::new_texture() {
  GLuint name = 0;
  glGenTextures(1, &name);
  if (name) textures_.push_back(name);
  return name;
}

void gl_view_context::new_buffers(int count, unsigned* names) {
  if (count <= 0) return;
  glGenBuffers(count, names);
  buffers_.insert(buffers_.end(), names, names + count);
}

void gl_view_context::delete_texture(unsigned& name) {
  if (!name) return;
  glDeleteTextures(1, &name);
  textures_.erase(std::remove(textures_.begin(), textures_.end(), name), textures_.end());
  name = 0;
}
