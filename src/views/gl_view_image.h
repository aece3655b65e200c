// The image of a 2D view on its way to the screen: the visible part of the
// frame or reslice through the display colour map into an RGBA buffer, put
// at the top left of the client area by a texture and a framebuffer blit on
// OpenGL 3, or by a raster position and glDrawPixels otherwise.
#pragma once

#include <cstdint>
#include <vector>

class gl_view_context;
struct review_geometry;

class gl_view_image {
 public:
  // Chooses the path for the view's context, which is current: OpenGL 3
  // with framebuffer blits gets a texture of the context's.
  void init(gl_view_context& context);

  // The visible part of image (image width x height bytes, row 0 at the
  // top) into the buffer, rows bottom-up, and into the texture on the
  // OpenGL 3 path. False when nothing is shown.
  bool make(const uint8_t* image, bool masked, const review_geometry& g);
  // Puts the buffer at the top left of the client area.
  void put(const review_geometry& g);
  void clear() { have_ = false; }
  bool have() const { return have_; }

  bool gl3_path() const { return gl3_path_ && texture_ != 0; }
  void force_raster_path(bool on) { force_raster_ = on; }

 private:
  gl_view_context* context_ = nullptr;
  std::vector<uint8_t> rgba_;
  bool have_ = false;
  bool gl3_path_ = false;
  bool force_raster_ = false;
  unsigned texture_ = 0;
};
