// Reading a plane's distance field between four raster cells: the common
// case of sampling, inline for the tiling's per-node loop.
#pragma once

#include <cmath>
#include <cstdint>

#include "data/contour.h"
#include "surfaces/surface_types.h"

// std::floor without the library call: through the integer conversion where
// it is exact, the library beyond (and for NaN and infinities).
inline double field_floor(double v) {
  if (!(std::fabs(v) < 4.0e15)) return std::floor(v);
  const double t = double(int64_t(v));
  if (t == v) return v;  // keeps -0.0
  return t > v ? t - 1.0 : t;
}

// Bilinear value at (u + fx, v + fy) of a raster w cells wide.
inline double field_bilinear(const int16_t* field, int w, int u, int v, double fx, double fy) {
  const int16_t* c0 = field + size_t(v) * w + u;
  const int16_t* c1 = c0 + w;
  return (1 - fy) * ((1 - fx) * c0[0] + fx * c0[1]) + fy * ((1 - fx) * c1[0] + fx * c1[1]);
}

// A sampled field value in node units: sixteen times, clamped, truncated.
inline int field_node_units(double h) {
  const double r = 16.0 * h;
  if (r > FIELD_LIMIT) return FIELD_LIMIT;
  if (r < -FIELD_LIMIT) return -FIELD_LIMIT;
  return int(r);
}

// The field of p at frame pixel (x, y) when p has a raster and the four
// cells round the point lie inside it; false otherwise.
inline bool field_between_cells(const interp_plane_t& p, double x, double y, double& h) {
  if (!p.has_contours() || p.field == PLANE_FIELD_PENDING) return false;
  const frame_contours_t& c = *p.contours;
  const double tx = field_floor(x), ty = field_floor(y);
  if (!(std::fabs(tx) <= 1e8) || !(std::fabs(ty) <= 1e8)) return false;
  const int u = int(tx) - c.box_x, v = int(ty) - c.box_y;
  if (u < 0 || u >= c.box_width - 1 || v < 0 || v >= c.box_height - 1) return false;
  h = field_bilinear(p.field, c.box_width, u, v, x - tx, y - ty);
  return true;
}
