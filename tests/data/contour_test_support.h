// Contours the contour and frame-measurement tests are built from.
#pragma once

#include <algorithm>
#include <utility>
#include <vector>

#include "data/contour.h"

inline contour_t make_contour(std::vector<vec2_t> v, bool closed = true) {
  contour_t c;
  c.vertices = std::move(v);
  c.closed = closed;
  return c;
}

// Closed square from (x0, y0) to (x1, y1) with a vertex every pixel, starting
// at (x0, y0) and running along x first, or along y first when reversed.
inline contour_t pixel_square(int x0, int y0, int x1, int y1, bool reversed) {
  std::vector<vec2_t> v;
  for (int x = x0; x < x1; ++x) v.push_back({double(x), double(y0)});
  for (int y = y0; y < y1; ++y) v.push_back({double(x1), double(y)});
  for (int x = x1; x > x0; --x) v.push_back({double(x), double(y1)});
  for (int y = y1; y > y0; --y) v.push_back({double(x0), double(y)});
  if (reversed) std::reverse(v.begin() + 1, v.end());
  return make_contour(v);
}
