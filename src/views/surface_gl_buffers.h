// The surfaces' buffer calls on the current OpenGL context (GLEW's buffer
// functions), for the 3D view's uploads.
#pragma once

#include "surfaces/surface_vbos.h"

class gl_surface_buffers : public surface_buffer_api {
 public:
  error get_error() override;
  void bind(target t, unsigned name) override;
  void define(target t, size_t size, const void* data) override;
  void write(target t, size_t offset, size_t size, const void* data) override;
};
