#include <GL/glew.h>

#include "views/plane_view_gl.h"

#include <algorithm>
#include <cstdio>

#include <wx/colour.h>
#include <wx/event.h>
#include <wx/filefn.h>
#include <wx/image.h>
#include <wx/log.h>

#include "data/file_menu_image_wx.h"
#include "data/data_line_procs.h"

#include "views/globcmap.h"
#include "views/shader.h"

bool plane_view_init_gl(shader* shaders, const wxColour& background, unsigned int& texture) {
  glewExperimental = GL_TRUE;
  glewInit();
  for (GLenum cap : {GL_ALPHA_TEST, GL_BLEND, GL_DEPTH_TEST, GL_DITHER, GL_FOG, GL_LIGHTING,
                     GL_COLOR_LOGIC_OP, GL_STENCIL_TEST, GL_TEXTURE_1D, GL_TEXTURE_2D})
    glDisable(cap);
  glPixelTransferi(GL_MAP_COLOR, GL_FALSE);
  for (GLenum scale : {GL_RED_SCALE, GL_GREEN_SCALE, GL_BLUE_SCALE, GL_ALPHA_SCALE})
    glPixelTransferf(scale, 1.0f);
  for (GLenum bias : {GL_RED_BIAS, GL_GREEN_BIAS, GL_BLUE_BIAS, GL_ALPHA_BIAS})
    glPixelTransferf(bias, 0.0f);
  glPixelTransferi(GL_INDEX_SHIFT, 0);
  glPixelTransferi(GL_INDEX_OFFSET, 0);
  glPixelZoom(1.0f, 1.0f);
  glPixelStorei(GL_UNPACK_SWAP_BYTES, GL_FALSE);
  glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glClearColor(background.Red() / 255.0f, background.Green() / 255.0f, background.Blue() / 255.0f,
               0.0f);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  texture = 0;
  int major = 0, minor = 0;
  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  if (!version || std::sscanf(version, "%d.%d", &major, &minor) != 2 || major < 3 ||
      !glGenFramebuffers || !glBlitFramebuffer)
    return false;
  glGenTextures(1, &texture);
  if (shaders) shaders->install_programs(shader::kViewMask);
  return texture != 0;
}

bool plane_view_make_image(const uint8_t* image, const review_geometry& g,
                           std::vector<uint8_t>& rgba, unsigned int& texture) {
  if (!image || !colour_map || g.visible_width < 1 || g.visible_height < 1) return false;
  rgba.assign(static_cast<size_t>(g.visible_width) * g.visible_height * 4, 0);
  colour_map->map_frame(image, g.image_width, g.image_height, rgba.data(), g.visible_width,
                        g.visible_height, static_cast<float>(g.scroll_x_image),
                        static_cast<float>(g.scroll_y_image), static_cast<float>(g.zoom),
                        static_cast<float>(-g.zoom), false, 1.0);
  if (!texture) return true;
  while (glGetError() != GL_NO_ERROR) {
  }
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, g.visible_width, g.visible_height, 0, GL_RGBA,
               GL_UNSIGNED_BYTE, rgba.data());
  glBindTexture(GL_TEXTURE_2D, 0);
  if (glGetError() != GL_NO_ERROR) {
    // From now on the view draws with the raster-position path.
    glDeleteTextures(1, &texture);
    texture = 0;
  }
  return true;
}

void plane_view_put_image(const review_geometry& g, const std::vector<uint8_t>& rgba,
                          unsigned int texture) {
  if (texture) {
    GLuint fb = 0;
    glGenFramebuffers(1, &fb);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, fb);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    glBlitFramebuffer(0, 0, g.visible_width, g.visible_height, 0,
                      g.client_height - g.visible_height, g.visible_width, g.client_height,
                      GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &fb);
    return;
  }
  const double y = g.display_height > g.client_height ? 0.1
                                                      : g.client_height + 0.1 - g.display_height;
  glRasterPos2d(0.1, y);
  glDrawPixels(g.visible_width, g.visible_height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
}

review_mouse_event plane_view_mouse_event(const wxMouseEvent& event) {
  review_mouse_event e;
  e.x = event.GetX();
  e.y = event.GetY();
  e.button = event.GetButton() == wxMOUSE_BTN_NONE ? 0 : event.GetButton();
  e.button_held = event.ButtonIsDown(wxMOUSE_BTN_ANY);
  if (event.ButtonDown())
    e.kind = review_mouse_event::PRESS;
  else if (event.ButtonDClick())
    e.kind = review_mouse_event::DOUBLE_CLICK;
  else if (event.ButtonUp())
    e.kind = review_mouse_event::RELEASE;
  else if (event.Entering())
    e.kind = review_mouse_event::ENTER;
  else if (event.Leaving())
    e.kind = review_mouse_event::LEAVE;
  else if (event.GetWheelRotation() != 0)
    e.kind = review_mouse_event::WHEEL;
  else if (event.Dragging() || event.Moving())
    e.kind = review_mouse_event::MOTION;
  e.wheel_rotation = event.GetWheelRotation();
  e.wheel_delta = event.GetWheelDelta();
  return e;
}
