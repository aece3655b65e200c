// The few OpenGL buffer calls with which a surface fills the 3D view's
// vertex and element buffers. The surfaces library has no OpenGL: the views
// give it an implementation on the current context, tests one that records
// or injects errors.
#pragma once

#include <cstddef>

class surface_buffer_api {
 public:
  enum target { array_buffer, element_array_buffer };
  enum error { no_error, out_of_memory, other_error };

  virtual ~surface_buffer_api() = default;
  // The next pending error, no_error when none is left.
  virtual error get_error() = 0;
  // Binds buffer `name` to target; 0 unbinds.
  virtual void bind(target t, unsigned name) = 0;
  // Gives the bound buffer size bytes of storage, copied from data when it is
  // not null, with the static-draw usage hint.
  virtual void define(target t, size_t size, const void* data) = 0;
  // Replaces size bytes of the bound buffer from offset on.
  virtual void write(target t, size_t offset, size_t size, const void* data) = 0;
};
