// Stand-in for the display colour map's frame mapping, used by the review
// view until the colour map provides it: cuts the visible region out of an
// 8-bit frame, samples it at pixel centres (nearest neighbour) and colours
// it with the grey ramp. The arguments are those of the colour map's own
// mapping, so that it replaces this one call.
#pragma once

#include <cstdint>

struct frame_rgba_background_t {
  uint8_t r = 0, g = 0, b = 0;
};

// out: out_width x out_height RGBA pixels; x0, y0: source position of the
// output's left column and top row; zoom_y negative stores rows bottom-up;
// masked: value 0 marks pixels without data (background colour, alpha 0).
void map_frame_rgba(const uint8_t* data, int32_t width, int32_t height, uint8_t* out,
                    int32_t out_width, int32_t out_height, double x0, double y0, double zoom_x,
                    double zoom_y, bool masked, double opacity,
                    const frame_rgba_background_t& background);
