// GLEW before any other OpenGL header.
#include <GL/glew.h>

#include "views/gl_view_image.h"

#include <cstdio>

#include "views/gl_view_context.h"
#include "views/globcmap.h"
#include "views/review_geometry.h"

void gl_view_image::init(gl_view_context& context) {
  context_ = &context;
  gl3_path_ = false;
  texture_ = 0;
  int major = 0, minor = 0;
  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  if (version && std::sscanf(version, "%d.%d", &major, &minor) == 2 && major >= 3 && glGenFramebuffers &&
      glBlitFramebuffer) {
    texture_ = context.new_texture();
    gl3_path_ = texture_ != 0;
  }
}

bool gl_view_image::make(const uint8_t* image, bool masked, const review_geometry& g) {
  have_ = false;
  if (!image || !colour_map || g.visible_width < 1 || g.visible_height < 1) return false;
  rgba_.assign(static_cast<size_t>(g.visible_width) * g.visible_height * 4, 0);
  // Rows bottom-up for OpenGL, so that row 0 is at the top unless inverted.
  colour_map->map_frame(image, g.image_width, g.image_height, rgba_.data(), g.visible_width, g.visible_height,
                        static_cast<float>(g.scroll_x_image), static_cast<float>(g.scroll_y_image),
                        static_cast<float>(g.zoom), static_cast<float>(g.invert ? g.zoom_y : -g.zoom_y), masked,
                        1.0);
  have_ = true;
  if (gl3_path_ && texture_) {
    while (glGetError() != GL_NO_ERROR) {
    }
    glBindTexture(GL_TEXTURE_2D, texture_);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, g.visible_width, g.visible_height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 rgba_.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    // A texture OpenGL refused leaves this view to the raster-position path.
    if (glGetError() != GL_NO_ERROR && context_) context_->delete_texture(texture_);
  }
  return true;
}

void gl_view_image::put(const review_geometry& g) {
  if (!have_) return;
  if (gl3_path_ && texture_ && !force_raster_) {
    while (glGetError() != GL_NO_ERROR) {
    }
    GLuint fb = 0;
    glGenFramebuffers(1, &fb);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, fb);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture_, 0);
    glBlitFramebuffer(0, 0, g.visible_width, g.visible_height, 0, g.client_height - g.visible_height,
                      g.visible_width, g.client_height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &fb);
    // A blit that failed leaves the image to the raster position below.
    if (glGetError() == GL_NO_ERROR) return;
  }
  const double y = g.display_height > g.client_height ? 0.1 : g.client_height + 0.1 - g.display_height;
  glRasterPos2d(0.1, y);
  glDrawPixels(g.visible_width, g.visible_height, GL_RGBA, GL_UNSIGNED_BYTE, rgba_.data());
}
