// A review view's state over a headless session, with a scripted host, for
// the tests of the mouse tools.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "data/landmarks.h"
#include "registry/res_values.h"
#include "tools/headless_session.h"
#include "views/review_tools.h"

// Selects tools the way the toolbar does: a tool already down, or none, changes nothing.
class scripted_host final : public review_tool_host {
 public:
  int32_t select_tool(int32_t n) override {
    calls.push_back(n);
    resource_table_t& t = *resource_table;
    const int32_t previous = static_cast<int32_t>(t.RES_TOOL->read());
    if (n < 1 || n > 7 || n - 1 == previous) return -1;
    t.RES_TOOL->write(static_cast<tool_selection_t>(n - 1));
    return previous + 1;
  }
  void refresh() override { ++refreshes; }
  wxString undefined_landmarks() override { return undefined; }

  std::vector<int32_t> calls;
  int refreshes = 0;
  wxString undefined;
};

class ReviewTools : public ::testing::Test {
 protected:
  // A frame store of `frames` frames of w x h pixels, value (column + 3 row) & 255,
  // shown at zoom 1 in a 200 x 150 client area.
  void load(int frames, int w, int h, bool raw16 = false) {
    resource_table_t& t = *resource_table;
    for (int f = 0; f < frames; ++f) {
      auto* px = new uint8_t[w * h];
      uint16_t* raw = raw16 ? new uint16_t[w * h] : nullptr;
      for (int k = 0; k < w * h; ++k) {
        px[k] = static_cast<uint8_t>((k % w + 3 * (k / w)) & 255);
        if (raw) raw[k] = static_cast<uint16_t>(1000 + k);
      }
      frame_store->add_image(raw ? frame_image_t::create(px, raw, w * h)
                                 : frame_image_t::create(px, w * h));
      position_t p;
      p.z = 0.1f * f;
      frame_store->positions.push_back(position_holder_t::create(p));
    }
    t.RES_BUF_WIDTH->write(w);
    t.RES_BUF_HEIGHT->write(h);
    t.RES_BUF_FRAMES->write(frames);
    state.g.image_width = w;
    state.g.image_height = h;
    state.g.client_width = 200;
    state.g.client_height = 150;
    state.g.set_zoom(1.0, 1.0);
    state.g.update_scroll_image();
    state.frame = frame_store->imagecp(0);
    state.image_shown = true;
  }

  void press(int x, int y, int button = 1) { send(review_mouse_event::PRESS, x, y, button, true); }
  void drag(int x, int y, int button = 1) { send(review_mouse_event::MOTION, x, y, 0, true); }
  void release(int x, int y, int button = 1) {
    send(review_mouse_event::RELEASE, x, y, button, false);
  }
  void leave(int x, int y) { send(review_mouse_event::LEAVE, x, y, 0, false); }
  void send(review_mouse_event::kind_t kind, int x, int y, int button, bool held) {
    review_mouse_event e;
    e.kind = kind;
    e.x = x;
    e.y = y;
    e.button = button;
    e.button_held = held;
    tools.on_mouse(e);
  }
  void wheel(int x, int y, int rotation) {
    review_mouse_event e;
    e.kind = review_mouse_event::WHEEL;
    e.x = x;
    e.y = y;
    e.wheel_rotation = rotation;
    e.wheel_delta = 120;
    tools.on_mouse(e);
  }
  void use_tool(int32_t tool) { resource_table->RES_TOOL->write(static_cast<tool_selection_t>(tool)); }
  wxString status() const { return resource_table->RES_ALERT_STRING->read(); }

  headless_session session;
  review_view_state state;
  scripted_host host;
  review_tools tools{state, host};
};
