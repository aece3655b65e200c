// What the windowed 2D view tests share: waiting on the event loop for a
// condition, the GL canvas attributes of the program's views, the resource
// defaults their screens start from, closing a screen, frames for them and
// the Ortho page's plane 1.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/glcanvas.h>
#include <wx/utils.h>

#include "data/dynabuf.h"
#include "registry/resource_table.h"
#include "views/gl_view_support.h"
#include "views/globcmap.h"
#include "views/reslice_internals.h"

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

// Destroys the test's frame and lets the events it leaves run out.
inline void close_screen(wxFrame* frame) {
  frame->Destroy();
  wait_for([] { return wxTheApp->Pending() == false; });
  wxTheApp->ProcessIdle();
}

// Deletes the colour map of screen_resource_defaults.
inline void drop_colour_map() {
  delete colour_map;
  colour_map = nullptr;
}

// Appends a frame of w x h bytes (taken over) at the origin to the frame store.
inline void add_frame_at_origin(uint8_t* pixels, int32_t w, int32_t h) {
  frame_store->add_image(frame_image_t::create(pixels, w * h));
  frame_store->positions.push_back(position_holder_t::create(position_t{}));
}

// Tells the views that the frame store now holds frames of w x h bytes.
inline void announce_frames(int32_t w, int32_t h, int32_t frames) {
  resource_table_t& t = *resource_table;
  t.RES_BUF_WIDTH->write_no_changeprocs(w);
  t.RES_BUF_HEIGHT->write_no_changeprocs(h);
  t.RES_BUF_FRAMES->write_no_changeprocs(frames);
  t.IM->write();
}

// The Ortho page's builder of plane 1, size x size pixels in the plane z 0.2 cm
// with its centre at (1.2, 1.2) cm and up along +y.
inline std::unique_ptr<reslice_internals> open_plane_one(int32_t size) {
  auto builder = std::make_unique<reslice_internals>(1, size, size);
  resource_table->RESLICE->read()[1].set_plane({0, 0, 1}, {1.2, 1.2, 0.2}, {0, 1, 0}, true);
  return builder;
}

// Channels of the first `pixels` pixels of an RGB capture that differ from
// bg; channels missing from a short capture count as different.
inline int channels_unlike(const std::vector<uint8_t>& rgb, int pixels, const uint8_t bg[3]) {
  int bad = 0;
  for (int i = 0; i < pixels; ++i)
    for (int k = 0; k < 3; ++k) {
      const size_t at = static_cast<size_t>(i) * 3 + k;
      bad += at >= rgb.size() || rgb[at] != bg[k];
    }
  return bad;
}
