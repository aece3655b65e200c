#include "views/frame_rgba_adapter.h"

#include <cmath>
#include <vector>

namespace {

// Source index of output index t: the source pixel whose area holds the
// output pixel's centre; -1 outside the source.
int32_t source_index(int32_t t, double origin, double zoom, int32_t size) {
  const double u = std::floor((t + 0.5) / zoom + origin);
  if (u < 0.0 || u >= size) return -1;
  return static_cast<int32_t>(u);
}

}  // namespace

void map_frame_rgba(const uint8_t* data, int32_t width, int32_t height, uint8_t* out,
                    int32_t out_width, int32_t out_height, double x0, double y0, double zoom_x,
                    double zoom_y, bool masked, double opacity,
                    const frame_rgba_background_t& background) {
  if (!data || !out || width < 1 || height < 1 || out_width < 1 || out_height < 1) return;
  if (!(zoom_x > 0.0) || zoom_y == 0.0 || !std::isfinite(zoom_y)) return;
  const bool bottom_up = zoom_y < 0.0;
  const double zy = std::fabs(zoom_y);
  const uint8_t alpha = static_cast<uint8_t>(255.0 * opacity);
  std::vector<int32_t> columns(out_width);
  for (int32_t t = 0; t < out_width; ++t) columns[t] = source_index(t, x0, zoom_x, width);
  for (int32_t s = 0; s < out_height; ++s) {
    const int32_t row = source_index(s, y0, zy, height);
    uint8_t* line = out + static_cast<size_t>(bottom_up ? out_height - 1 - s : s) * out_width * 4;
    for (int32_t t = 0; t < out_width; ++t) {
      uint8_t* p = line + 4 * t;
      const int32_t c = columns[t];
      const bool no_data = row < 0 || c < 0 ||
                           (masked && data[static_cast<size_t>(row) * width + c] == 0);
      if (no_data) {
        p[0] = background.r;
        p[1] = background.g;
        p[2] = background.b;
        p[3] = 0;
        continue;
      }
      const uint8_t v = data[static_cast<size_t>(row) * width + c];
      p[0] = p[1] = p[2] = v;
      p[3] = alpha;
    }
  }
}
