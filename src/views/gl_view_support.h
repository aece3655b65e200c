// What every OpenGL view of the program shares: the attribute list its
// canvases are created with, and the one painting flag.
#pragma once

// Pixel transfer and unpacking as the views' image uploads expect them:
// no colour mapping, unit scales, zero biases and offsets, zoom 1, rows
// tightly packed (alignment 1). For a context being set up.
void gl_reset_pixel_state();

// The attribute list given to every OpenGL view; set up by the application.
extern int* gl_attributes;

// True while one of the OpenGL views is inside its paint handler; a paint of
// any view meanwhile only asks to be painted again.
extern bool gl_view_painting;

// Sets the painting flag for a scope and restores it however the scope ends.
class gl_painting_scope {
 public:
  gl_painting_scope() : previous_(gl_view_painting) { gl_view_painting = true; }
  ~gl_painting_scope() { gl_view_painting = previous_; }
  gl_painting_scope(const gl_painting_scope&) = delete;
  gl_painting_scope& operator=(const gl_painting_scope&) = delete;

 private:
  bool previous_;
};
