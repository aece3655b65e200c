#include "views/review_overlay_math.h"

#include <algorithm>
#include <cmath>

#include "data/geometry.h"

double contour_value_threshold = 10.0;

std::vector<size_t> contour_line_vertices(const contour_t& c, double threshold) {
  std::vector<size_t> out;
  const size_t n = c.vertices.size();
  if (n < 2) return out;
  const bool filter = c.values.size() == n;
  for (size_t i = 0; i < n; ++i)
    if (!filter || c.values[i] < threshold) out.push_back(i);
  if (c.closed && !out.empty()) out.push_back(out.front());
  return out;
}

void vertex_point_colour(uint8_t r, uint8_t g, uint8_t b, uint8_t out[3]) {
  if (std::min({r, g, b}) > 192) {
    out[0] = r / 2;
    out[1] = g / 2;
    out[2] = b / 2;
  } else {
    out[0] = out[1] = out[2] = 255;
  }
}

double landmark_tolerance(double xscale, double yscale, double zscale) {
  if (zscale != 0.0) return std::fabs(zscale) * 0.5;
  return std::fabs(xscale + yscale) * 0.25;
}

bool landmark_near_frame(int32_t kind, double d, double tolerance, int32_t current) {
  if (kind == LM_2D) return static_cast<int32_t>(std::round(d)) == current;
  if (kind == LM_SURFACE) return std::fabs(d) < 4.0 * tolerance;
  return std::fabs(d) < tolerance;
}

bool landmark_frame_position(const landmark_t& lm, const double* transform16, double xscale,
                             double yscale, double& px, double& py, double& d) {
  if (lm.kind == LM_2D) {
    px = lm.x / xscale;
    py = lm.y / yscale;
    d = lm.z;
    return true;
  }
  if (!transform16) return false;
  matrix4_t m;
  std::copy(transform16, transform16 + 16, m.m);
  vec3_t q;
  matrix4_transform_point(q, m, vec3_t{lm.x, lm.y, lm.z});
  px = q.x / xscale;
  py = q.y / yscale;
  d = q.z;
  return true;
}

wxString caliper_distance_text(double x1, double y1, double x2, double y2, double xscale,
                               double yscale) {
  const double dx = (x2 - x1) * xscale;
  const double dy = (y2 - y1) * yscale;
  const double d = std::sqrt(dx * dx + dy * dy);
  return wxString::Format("Distance measurement is %.1lf mm", 10.0 * d);
}

navigation_box_t navigation_box(double font_size, int32_t dw, int32_t dh, int32_t cw, int32_t ch,
                                int32_t sx, int32_t sy, bool invert) {
  navigation_box_t b{};
  const double g = 1.5 * font_size;
  const double l = dw > 0 ? dh * g / dw : 0.0;
  const double o = cw < dw ? cw * g / dw : g;
  const double t = (ch < dh && dh > 0) ? ch * l / dh : l;
  double m = dh > 0 ? sy * l / dh : 0.0;
  m = invert ? t + m : l - m;
  b.box_left = cw - 1.25 * g;
  b.box_right = cw - 0.25 * g;
  b.box_bottom = 0.25 * l;
  b.box_top = 1.25 * l;
  b.view_left = cw - 1.25 * g + (dw > 0 ? sx * g / dw : 0.0);
  b.view_width = o;
  b.view_top = 0.25 * l + m;
  b.view_height = t;
  return b;
}
