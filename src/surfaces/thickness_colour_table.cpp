#include "surfaces/thickness_colour_table.h"

#include <algorithm>
#include <cmath>

namespace {

// The fixed rows of each map: no value, below the scale, the scale's first,
// middle and last colour, above the scale.
struct colour_map_rows {
  uint8_t none[3], below[3], first[3], middle[3], last[3], above[3];
};

const colour_map_rows kMaps[kThicknessColourMaps] = {
    {{255, 255, 255}, {127, 0, 127}, {255, 0, 252}, {164, 255, 0}, {0, 0, 255}, {0, 0, 127}},
    {{127, 127, 127}, {121, 7, 26}, {182, 11, 39}, {220, 221, 221}, {59, 76, 192}, {40, 50, 120}},
    {{127, 127, 127}, {115, 84, 17}, {173, 127, 26}, {220, 221, 221}, {55, 134, 232}, {38, 85, 148}},
    {{255, 255, 255}, {106, 2, 44}, {159, 3, 67}, {255, 254, 191}, {98, 76, 159}, {67, 50, 106}},
    {{255, 255, 255}, {108, 14, 32}, {163, 22, 47}, {255, 255, 153}, {20, 43, 140}, {13, 31, 94}},
    {{255, 255, 255}, {136, 156, 60}, {203, 236, 90}, {58, 188, 173}, {131, 12, 171}, {90, 8, 114}},
    {{255, 255, 255}, {166, 102, 60}, {249, 153, 91}, {73, 207, 129}, {120, 0, 133}, {80, 0, 88}},
};

// The scale from entry 2 to 254: per channel the parabola through the
// first, middle and last colour (at entries 2, 128 and 254), so that it
// bends smoothly through the middle colour; rounded and kept within a byte.
uint8_t scale_channel(double first, double middle, double last, int entry) {
  const double t = (entry - 2) / 252.0;  // 0, 0.5, 1 at the three rows
  const double v = first * (2 * t - 1) * (t - 1) + middle * 4 * t * (1 - t) + last * t * (2 * t - 1);
  return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

struct table {
  thickness_colour_map maps[kThicknessColourMaps];
  table() {
    for (int m = 0; m < kThicknessColourMaps; ++m) {
      const colour_map_rows& r = kMaps[m];
      for (int c = 0; c < 3; ++c) {
        maps[m][0][c] = r.none[c];
        maps[m][1][c] = r.below[c];
        maps[m][255][c] = r.above[c];
        for (int e = 2; e <= 254; ++e) maps[m][e][c] = scale_channel(r.first[c], r.middle[c], r.last[c], e);
      }
    }
  }
};

const table& the_table() {
  static const table t;
  return t;
}

}  // namespace

const thickness_colour_map* thickness_colour_table() { return the_table().maps; }

const uint8_t* thickness_colour_entry(int map, int entry) {
  const int m = map >= 0 && map < kThicknessColourMaps ? map : 3;
  return the_table().maps[m][std::clamp(entry, 0, 255)];
}
