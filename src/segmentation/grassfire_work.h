// The working state one 2D segmentation shares between its steps.
#pragma once

#include <cstdint>
#include <vector>

#include "segmentation/grassfire.h"

namespace grassfire {

struct frame_work {
  const uint8_t* display;
  int32_t width;
  int32_t height;
  const threshold_band& band;
  const segment_settings& settings;
  uint8_t* state;
  int32_t gap;
  std::vector<pixel16>* next = nullptr;  // the growth's next queue

  size_t index(int32_t x, int32_t y) const { return static_cast<size_t>(y) * width + x; }
  uint8_t grey(int32_t x, int32_t y) const { return display[index(x, y)]; }
  uint8_t& at(int32_t x, int32_t y) const { return state[index(x, y)]; }
  bool inside(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < width && y < height; }
  bool passes(int32_t x, int32_t y) const {
    return band.is_highlighted(display, x, y, width, height);
  }
  void queue(int32_t x, int32_t y) const {
    next->push_back({static_cast<int16_t>(x), static_cast<int16_t>(y)});
    at(x, y) = kQueued;
  }
};

// Ridge and valley paths from a pixel that failed the band.
void follow_lines(const frame_work& w, int32_t x, int32_t y);

}  // namespace grassfire
