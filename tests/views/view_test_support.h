// What the windowed 2D view tests share: waiting on the event loop for a
// condition, the GL canvas attributes of the program's views, and the
// resource defaults their screens start from.
#pragma once

#include <chrono>
#include <functional>

#include <wx/app.h>
#include <wx/glcanvas.h>
#include <wx/utils.h>

#include "registry/resource_table.h"
#include "views/gl_view_support.h"
#include "views/globcmap.h"

// Runs the event loop until cond holds; false after 20 s without it.
inline bool wait_for(const std::function<bool()>& cond) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!cond()) {
    if (std::chrono::steady_clock::now() > end) return false;
    wxTheApp->Yield(true);
    wxMilliSleep(2);
  }
  return true;
}

// Double-buffered RGBA canvases with 8 bits a channel and a 16-bit depth buffer.
inline void use_screen_gl_attributes() {
  static int attributes[] = {WX_GL_RGBA,      WX_GL_DOUBLEBUFFER, WX_GL_DEPTH_SIZE, 16,
                             WX_GL_MIN_ALPHA, 8,                  WX_GL_MIN_RED,    8,
                             WX_GL_MIN_GREEN, 8,                  WX_GL_MIN_BLUE,   8,
                             0};
  gl_attributes = attributes;
}

// A fresh colour map, the background #204060 and the views' zooms locked
// together.
inline void screen_resource_defaults() {
  colour_map = new globcmap_t;
  resource_table_t& t = *resource_table;
  t.RES_BACKGROUND->write("#204060");
  t.RES_LOCK_ZOOM->write(true);
}
