#include "thickness/thickness_colours.h"

#include <cmath>

namespace {

// The fixed rows of each map: no value, below the scale, the scale's first,
// middle and last colour, above the scale. The scale runs linearly between
// its first, middle and last colour.
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

void copy(const uint8_t in[3], uint8_t out[3]) {
  for (int i = 0; i < 3; ++i) out[i] = in[i];
}

}  // namespace

void thickness_colour(int map, int entry, uint8_t rgb[3]) {
  const colour_map_rows& m = kMaps[map >= 0 && map < kThicknessColourMaps ? map : 3];
  if (entry <= 0) return copy(m.none, rgb);
  if (entry == 1) return copy(m.below, rgb);
  if (entry >= 255) return copy(m.above, rgb);
  const uint8_t* a = entry <= 128 ? m.first : m.middle;
  const uint8_t* b = entry <= 128 ? m.middle : m.last;
  const double t = entry <= 128 ? (entry - 2) / 126.0 : (entry - 128) / 126.0;
  for (int i = 0; i < 3; ++i) rgb[i] = static_cast<uint8_t>(std::lround(a[i] + (b[i] - a[i]) * t));
}
