// The plane sequence of an interpolation: every slab between two planes gets
// a grid frame, a box of grid nodes and a number of grid layers; the whole
// sequence one overall box that sizes the node grid and the chunk lists.
//
// Grid units: x in pixels along the frame's x axis, y in pixels along its y
// axis times sqrt(2). Box edges fall on even multiples of the step.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <wx/log.h>

#include "data/contour.h"
#include "surfaces/surface_interp.h"

namespace {

constexpr double SQRT2 = 1.4142135623730951;
// Box coordinates beyond this cannot be held by the grid's 16-bit words
// together with the empty-box sentinels.
constexpr double GRID_COORD_LIMIT = 15000.0;
// Largest node grid laid (about 150 bytes a node).
constexpr int64_t MAX_GRID_NODES = int64_t(1) << 22;

void set_empty_box(interp_plane_t& p) {
  p.box_x0 = p.box_y0 = 16000;
  p.box_x1 = p.box_y1 = -16000;
  p.box_nx = p.box_ny = 1;
  p.layers = 1;
}

// Box edges on even multiples of the step, at least about one step beyond the
// extents. False when the box would not fit its 16-bit words.
bool fit_extents(interp_plane_t& p, double xmin, double xmax, double ymin, double ymax, int step) {
  const double s2 = 2.0 * step;
  const double x1 = std::trunc(xmax / s2 + 1.5) * s2, x0 = std::trunc(xmin / s2 - 1.5) * s2;
  const double y1 = std::trunc(ymax / s2 + 1.5) * s2, y0 = std::trunc(ymin / s2 - 1.5) * s2;
  for (double v : {x0, x1, y0, y1})
    if (!std::isfinite(v) || std::fabs(v) > GRID_COORD_LIMIT) return false;
  p.box_x0 = int16_t(x0);
  p.box_x1 = int16_t(x1);
  p.box_y0 = int16_t(y0);
  p.box_y1 = int16_t(y1);
  p.box_nx = int16_t((p.box_x1 - p.box_x0) / step + 1);
  p.box_ny = int16_t((p.box_y1 - p.box_y0) / step + 1);
  return true;
}

// The four corners of a plane's raster box in plane centimetres, taken to world.
void raster_corners_world(const interp_plane_t& box_of, const matrix4_t& transform, double xs,
                          double ys, vec3_t out[4]) {
  const frame_contours_t& c = *box_of.contours;
  const double x0 = c.box_x, y0 = c.box_y, x1 = c.box_x + c.box_width,
               y1 = c.box_y + c.box_height;
  const double xy[4][2] = {{x0, y0}, {x0, y1}, {x1, y0}, {x1, y1}};
  for (int i = 0; i < 4; ++i)
    matrix4_transform_point(out[i], transform, vec3_t{xy[i][0] * xs, xy[i][1] * ys, 0.0});
}

}  // namespace

bool surface_interp::initialise_interp_sequence() {
  if (!initialise_boxes()) {
    wxLogError("Unable to build the surface of this object: its contours span more than the "
               "interpolation grid can hold.\nUse a coarser surface resolution.");
    return false;
  }
  nodes.clear();
  nodes.resize(size_t(grid_nx) * size_t(grid_ny));
  for (interp_node_t& n : nodes) n = interp_node_t();
  const int64_t chunk = int64_t(grid_layers) * grid_ny * grid_nx / 8192;
  point_chunk = int32_t(std::min<int64_t>(std::max<int64_t>(chunk, 2048), int64_t(1) << 22));
  triangle_chunk = 2 * point_chunk;
  point_chunks.clear();
  triangle_chunks.clear();
  point_count = triangle_count = 0;
  layer_parity = 0;
  layers_done = 0;
  orientation_sum = 0;
  return true;
}

bool surface_interp::initialise_boxes() {
  int gx0 = 16000, gy0 = 16000, gx1 = -16000, gy1 = -16000;
  long layers_total = 0;
  bool fits = true;
  for (int k = 0; k < plane_count; ++k) {
    interp_plane_t& q = planes[k];
    q.crossing_valid = 0;
    if (k == 0) {
      first_bounding_box(q);
      layers_total = 1;
    } else {
      interp_plane_t& p = planes[k - 1];
      aligned_bounding_box(p, q);
      p.box_x0 = std::min(p.box_x0, q.box_x0);
      p.box_y0 = std::min(p.box_y0, q.box_y0);
      p.box_x1 = std::max(p.box_x1, q.box_x1);
      p.box_y1 = std::max(p.box_y1, q.box_y1);
      if (z_scale == 0.0) plane_crossing_line(p, q);
    }
    if (q.layers < 0) fits = false;  // a slab too thick for the grid's words
    layers_total += q.layers;
    gx0 = std::min<int>(gx0, q.box_x0);
    gy0 = std::min<int>(gy0, q.box_y0);
    gx1 = std::max<int>(gx1, q.box_x1);
    gy1 = std::max<int>(gy1, q.box_y1);
  }
  grid_x0 = int16_t(gx0);
  grid_y0 = int16_t(gy0);
  grid_x1 = int16_t(gx1);
  grid_y1 = int16_t(gy1);
  const long nx = (gx1 - gx0) / step + 1, ny = (gy1 - gy0) / step + 1;
  if (!fits_ || !fits || layers_total > 32767 || nx < 1 || ny < 1 || nx > 32767 || ny > 32767 ||
      int64_t(nx) * ny > MAX_GRID_NODES) {
    fits_ = true;
    grid_nx = grid_ny = grid_layers = 0;
    return false;
  }
  grid_layers = int16_t(layers_total);
  grid_nx = int16_t(nx);
  grid_ny = int16_t(ny);
  return true;
}

void surface_interp::first_bounding_box(interp_plane_t& p) {
  p.grid_transform = p.transform;
  for (int i = 4; i < 7; ++i) p.grid_transform[i] /= SQRT2;
  set_empty_box(p);
  if (z_scale != 0.0) {
    if (!p.has_contours()) return;
    const frame_contours_t& c = *p.contours;
    if (!fit_extents(p, c.box_x, c.box_x + c.box_width, c.box_y * SQRT2,
                     (c.box_y + c.box_height) * SQRT2, step))
      fits_ = false;
    return;
  }
  for (int i = 12; i < 15; ++i) p.grid_transform[i] *= 1.001;
  if (!p.has_contours()) return;
  const vec3_t n = matrix4_get_z_axis(p.grid_transform);
  vec3_t corners[4];
  raster_corners_world(p, p.transform, x_scale, y_scale, corners);
  double xmin = 1e10, xmax = -1e10, ymin = 1e10, ymax = -1e10;
  for (const vec3_t& w : corners) {
    const vec3_t ab = line_plane_intersection(w, n, p.grid_transform);
    xmin = std::min(xmin, ab.x / x_scale);
    xmax = std::max(xmax, ab.x / x_scale);
    ymin = std::min(ymin, ab.y / y_scale);
    ymax = std::max(ymax, ab.y / y_scale);
  }
  if (!fit_extents(p, xmin, xmax, ymin, ymax, step)) fits_ = false;
}

void surface_interp::aligned_bounding_box(interp_plane_t& p, interp_plane_t& q) {
  double xmin = 1e10, xmax = -1e10, ymin = 1e10, ymax = -1e10, thickness = 0.0;
  if (z_scale != 0.0) {
    q.grid_transform = p.grid_transform;
    for (const interp_plane_t* r : {&p, &q}) {
      if (!r->has_contours()) continue;
      const frame_contours_t& c = *r->contours;
      xmin = std::min<double>(xmin, c.box_x);
      xmax = std::max<double>(xmax, c.box_x + c.box_width);
      ymin = std::min(ymin, c.box_y * SQRT2);
      ymax = std::max(ymax, (c.box_y + c.box_height) * SQRT2);
    }
    thickness =
        vec3_length(matrix4_get_translation(p.transform) - matrix4_get_translation(q.transform)) /
        x_scale;
  } else {
    // The previous grid's origin and unit steps, carried onto P's own plane.
    const vec3_t n0 = matrix4_get_z_axis(p.grid_transform);
    vec3_t on_p[3];
    const vec3_t unit[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    for (int i = 0; i < 3; ++i) {
      vec3_t g;
      matrix4_transform_point(g, p.grid_transform, unit[i]);
      const vec3_t ab = line_plane_intersection(g, n0, p.transform);
      matrix4_transform_point(on_p[i], p.transform, vec3_t{ab.x, ab.y, 0.0});
    }
    vec3_t ex = on_p[1] - on_p[0], ey = on_p[2] - on_p[0];
    vec3_t n = matrix4_get_z_axis(q.transform) + matrix4_get_z_axis(p.transform);
    // Frames facing opposite ways (a sweep that turns back) have no mean
    // normal; the slab then keeps the previous slab's, so the sweep keeps
    // its direction.
    if (vec3_length(n) < 1e-9) n = n0;
    n = vec3_normalise(n);
    ex = ex - n * vec3_dot(n, ex);
    ey = ey - n * vec3_dot(n, ey);
    matrix4_t& g = q.grid_transform;
    matrix4_identity(g);
    g[0] = ex.x, g[1] = ex.y, g[2] = ex.z;
    g[4] = ey.x, g[5] = ey.y, g[6] = ey.z;
    g[8] = n.x, g[9] = n.y, g[10] = n.z;
    g[12] = on_p[0].x, g[13] = on_p[0].y, g[14] = on_p[0].z;

    const interp_plane_t* p_box = p.has_contours() ? &p : &q;
    const interp_plane_t* q_box = q.has_contours() ? &q : &p;
    if (p_box->has_contours()) {
      vec3_t corners[8];
      raster_corners_world(*p_box, p.transform, x_scale, y_scale, corners);
      raster_corners_world(*q_box, q.transform, x_scale, y_scale, corners + 4);
      double hp_lo = 1e10, hp_hi = -1e10, hq_lo = 1e10, hq_hi = -1e10;
      for (int i = 0; i < 8; ++i) {
        const vec3_t abt = line_plane_intersection(corners[i], n, g);
        xmin = std::min(xmin, abt.x / x_scale);
        xmax = std::max(xmax, abt.x / x_scale);
        ymin = std::min(ymin, abt.y / y_scale);
        ymax = std::max(ymax, abt.y / y_scale);
        const double h = -abt.z / x_scale;
        double& lo = i < 4 ? hp_lo : hq_lo;
        double& hi = i < 4 ? hp_hi : hq_hi;
        lo = std::min(lo, h);
        hi = std::max(hi, h);
      }
      thickness = (std::fabs(hp_hi - hq_lo) + std::fabs(hq_hi - hp_lo)) * 0.5;
    }
  }

  if (!p.has_contours() && !q.has_contours()) {
    set_empty_box(q);
    return;
  }
  if (!fit_extents(q, xmin, xmax, ymin, ymax, step)) {
    fits_ = false;
    set_empty_box(q);
    return;
  }
  const double layers = std::trunc(thickness / step + 0.5);
  if (!std::isfinite(layers) || layers > 32767.0) {
    fits_ = false;
    q.layers = 1;
    return;
  }
  q.layers = int16_t(layers);
  if (q.layers >= 1) return;
  q.layers = 1;
  if (step > 4.0 * thickness && !resolution_warned && !expert_mode && !in_script) {
    resolution_warned = 1;
    wxLogWarning(
        "This surface resolution is too low for the current set of contours.\nEither increase "
        "the resolution, or increase contour frame spacing.");
  }
}

void surface_interp::plane_crossing_line(interp_plane_t& p, interp_plane_t& q) {
  p.crossing_valid = 0;
  const vec3_t n = matrix4_get_z_axis(q.grid_transform);
  const double cx[4] = {double(q.box_x0), double(q.box_x1), double(q.box_x1), double(q.box_x0)};
  const double cy[4] = {double(q.box_y0), double(q.box_y0), double(q.box_y1), double(q.box_y1)};
  double h[4];
  for (int i = 0; i < 4; ++i) {
    vec3_t w;
    matrix4_transform_point(w, q.grid_transform, vec3_t{cx[i] * x_scale, cy[i] * y_scale, 0.0});
    h[i] = line_plane_intersection(w, n, p.transform).z -
           line_plane_intersection(w, n, q.transform).z;
    if (!std::isfinite(h[i])) return;
  }
  double px[2], py[2];
  int found = 0;
  for (int i = 0; i < 4; ++i) {
    const int e = (i + 1) % 4;
    if ((h[i] > 0) == (h[e] > 0)) continue;
    if (found == 2) {
      ++found;
      break;
    }
    const double d = h[i] - h[e];
    px[found] = (h[i] * cx[e] - h[e] * cx[i]) / d;
    py[found] = (h[i] * cy[e] - h[e] * cy[i]) / d;
    ++found;
  }
  if (found != 2) return;
  const double dx = px[1] - px[0], dy = py[1] - py[0], len = std::sqrt(dx * dx + dy * dy);
  // Two coincident points give no direction: the line is left out rather
  // than carried with a marker direction into the node projection.
  if (!(len > 0.0)) return;
  p.crossing_valid = 1;
  p.crossing_x = px[0];
  p.crossing_y = py[0];
  p.crossing_dx = dx / len;
  p.crossing_dy = dy / len;
}
