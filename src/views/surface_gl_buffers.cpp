#include "views/surface_gl_buffers.h"

#include <GL/glew.h>

namespace {

GLenum gl_target(surface_buffer_api::target t) {
  return t == surface_buffer_api::array_buffer ? GL_ARRAY_BUFFER : GL_ELEMENT_ARRAY_BUFFER;
}

}  // namespace

surface_buffer_api::error gl_surface_buffers::get_error() {
  switch (glGetError()) {
    case GL_NO_ERROR: return no_error;
    case GL_OUT_OF_MEMORY: return out_of_memory;
    default: return other_error;
  }
}

void gl_surface_buffers::bind(target t, unsigned name) { glBindBuffer(gl_target(t), name); }

void gl_surface_buffers::define(target t, size_t size, const void* data) {
  glBufferData(gl_target(t), GLsizeiptr(size), data, GL_STATIC_DRAW);
}

void gl_surface_buffers::write(target t, size_t offset, size_t size, const void* data) {
  glBufferSubData(gl_target(t), GLintptr(offset), GLsizeiptr(size), data);
}
