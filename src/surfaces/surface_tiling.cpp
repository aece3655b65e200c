// Filling the slab between two planes with grid layers. Every visited node
// gets a signed value (positive inside); where the value changes sign along a
// lattice edge the surface passes, and the end nearer to it owns the crossing.
//
// A layer visits half the nodes in a checkerboard; the next layer the other
// half, so a node's 14 lattice neighbours are (x±1, j±1) and (x, j±2) in its
// own layer and (x±1, j), (x, j±1) in each adjacent layer.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "data/contour.h"
#include "surfaces/field_sample.h"
#include "surfaces/surface_interp.h"

namespace {

constexpr double SQRT2 = 1.4142135623730951;

// matrix4_transform_point, inline for the per-node calls: the same sums, and
// no division for the affine transforms (w == 1), where it changes nothing.
inline vec3_t transform_point(const matrix4_t& m, double px, double py) {
  const double pz = 0.0;
  const double x = m[0] * px + m[4] * py + m[8] * pz + m[12];
  const double y = m[1] * px + m[5] * py + m[9] * pz + m[13];
  const double z = m[2] * px + m[6] * py + m[10] * pz + m[14];
  const double w = m[3] * px + m[7] * py + m[11] * pz + m[15];
  if (w == 1.0 || !(std::fabs(w) > 0.0)) return {x, y, z};
  return {x / w, y / w, z / w};
}

inline vec3_t plane_point(const matrix4_t& t, double x, double y, double xs, double ys) {
  return transform_point(t, (x + 0.5) * xs, (y + 0.5) * ys);
}

// line_plane_intersection for many lines of one direction and one plane: the
// terms that depend on the direction and the plane alone are worked out
// once, the rest with the same operations, so the results are the same.
class line_plane_meeting {
 public:
  line_plane_meeting(const vec3_t& d, const matrix4_t& m)
      : D{d.x, d.y, d.z}, U{m[0], m[1], m[2]}, V{m[4], m[5], m[6]}, O{m[12], m[13], m[14]} {
    const double ax = std::fabs(d.x), ay = std::fabs(d.y), az = std::fabs(d.z);
    if (ax > ay && ax > az) {
      e = 0, a = 1, b = 2;
    } else if (az > ay) {
      e = 2, a = 0, b = 1;
    } else {
      e = 1, a = 0, b = 2;
    }
    w = U[a] * D[e] - U[e] * D[a];
    T = D[a] * V[e] - V[a] * D[e];
    v = U[b] * D[e] - U[e] * D[b];
    o = D[b] * V[e] - V[b] * D[e];
    den = v * T - o * w;
    by_w = std::fabs(w) > std::fabs(v);
    if (ax > ay && ax > az)
      c = 0;
    else if (ay > az)
      c = 1;
    else
      c = 2;
  }

  vec3_t operator()(const vec3_t& p) const {
    const double P[3] = {p.x, p.y, p.z};
    const double u = (O[e] - P[e]) * D[a] - D[e] * (O[a] - P[a]);
    const double A = (O[e] - P[e]) * D[b] - D[e] * (O[b] - P[b]);
    const double t = (A * w - v * u) / den;
    const double s = by_w ? (t * T + u) / w : (t * o + A) / v;
    const double lambda = (O[c] + s * U[c] + t * V[c] - P[c]) / D[c];
    return {s, t, lambda};
  }

 private:
  double D[3], U[3], V[3], O[3];
  int e = 0, a = 1, b = 2, c = 0;
  double w = 0, T = 0, v = 0, o = 0, den = 0;
  bool by_w = false;
};

// The projection along one direction of a slab's grid nodes onto a plane is
// affine in the nodes' grid coordinates: worked out once per slab from the
// inverse of the 3 x 3 system, it costs each node three multiply-adds per
// coordinate instead of a transform and three divisions. Results agree with
// line_plane_meeting to rounding. Not usable (valid false) for a projective
// grid transform or a direction within the plane.
struct node_projection {
  double c[3][3] = {};  // x and y in plane pixels, distance along the direction: c0 + c1 gx + c2 gy
  bool valid = false;

  node_projection(const matrix4_t& g, const vec3_t& d, const matrix4_t& m, double xs, double ys) {
    if (g[3] != 0.0 || g[7] != 0.0 || g[15] != 1.0) return;
    const vec3_t U{m[0], m[1], m[2]}, V{m[4], m[5], m[6]}, O{m[12], m[13], m[14]};
    const vec3_t gu{g[0] * xs, g[1] * xs, g[2] * xs}, gv{g[4] * ys, g[5] * ys, g[6] * ys};
    const vec3_t go{g[12], g[13], g[14]};
    // Solve O + s U + t V = w + lambda d: rows of the inverse of [U V -d].
    const vec3_t nd = d * -1.0;
    const double det = vec3_dot(U, vec3_cross(V, nd));
    if (!(std::fabs(det) > 0.0)) return;
    const vec3_t rows[3] = {vec3_cross(V, nd) * (1.0 / det), vec3_cross(nd, U) * (1.0 / det),
                            vec3_cross(U, V) * (1.0 / det)};
    const double unit[3] = {1.0 / xs, 1.0 / ys, 1.0};
    for (int i = 0; i < 3; ++i) {
      c[i][0] = vec3_dot(rows[i], go - O) * unit[i];
      c[i][1] = vec3_dot(rows[i], gu) * unit[i];
      c[i][2] = vec3_dot(rows[i], gv) * unit[i];
      for (double v : c[i])
        if (!std::isfinite(v)) return;
    }
    valid = true;
  }

  vec3_t operator()(double gx, double gy) const {
    return {c[0][0] + c[0][1] * gx + c[0][2] * gy, c[1][0] + c[1][1] * gx + c[1][2] * gy,
            c[2][0] + c[2][1] * gx + c[2][2] * gy};
  }
};

}  // namespace

int16_t surface_interp::node_value(double v) {
  if (!(v > -FIELD_LIMIT)) return -FIELD_LIMIT;  // also NaN
  if (v > FIELD_LIMIT) return FIELD_LIMIT;
  return int16_t(int(v));  // conversion truncates toward zero
}

void surface_interp::tile_slab(int k) {
  interp_plane_t& q = planes[k];
  interp_plane_t& p = planes[k > 0 ? k - 1 : 0];
  const bool snapping = segment_ridges || segment_valleys;
  const line_plane_meeting to_q(grid_normal, q.transform), to_p(grid_normal, p.transform);
  const node_projection on_q(q.grid_transform, grid_normal, q.transform, x_scale, y_scale);
  const node_projection on_p(q.grid_transform, grid_normal, p.transform, x_scale, y_scale);
  const bool affine = on_q.valid && on_p.valid;
  // sample_field, with its common case inline.
  auto sample = [this](const interp_plane_t& r, double& x, double& y, double sx, double sy) {
    double h;
    if (sx == 0.0 && sy == 0.0 && field_between_cells(r, x, y, h)) return field_node_units(h);
    return sample_field(r, x, y, sx, sy);
  };
  for (int layer = 1; layer <= q.layers; ++layer) {
    layer_parity ^= 1;
    row_parity = layer_parity;
    for (int j = 0; j <= grid_ny; ++j) {
      row_parity ^= 1;
      for (int x = row_parity; x < grid_nx; x += 2) {
        if (j < grid_ny) {
          interp_node_t& N = node(x, j);
          double gx = double(step) * x + grid_x0, gy = double(step) * j + grid_y0;
          const bool outside = gx < q.box_x0 || gx > q.box_x1 || gy < q.box_y0 || gy > q.box_y1;
          N.previous_value = N.value;
          N.previous_position = N.position;
          N.previous_orientation = N.orientation;

          if (layer <= 2 && !outside) {
            if (z_scale != 0.0 && connect == 0) {
              N.cur_x = N.prev_x = gx;
              N.cur_y = N.prev_y = gy / SQRT2;
              N.orientation = z_scale > 0 ? 1 : -1;
            } else {
              bool on_line = false;
              if (layers_done > 0 && p.crossing_valid) {
                const double cx = p.crossing_x, cy = p.crossing_y;
                const double dx = p.crossing_dx, dy = p.crossing_dy;
                const double a = (cy - gy) * dx - (cx - gx) * dy;
                const bool near = (dx != 0 && std::fabs(a / dx) < step) ||
                                  (dx - dy != 0 && std::fabs(a / (dx - dy)) < step / 2.0) ||
                                  (dx + dy != 0 && std::fabs(a / (-dx - dy)) < step / 2.0);
                if (near) {
                  const double s = (gy - cy) * dy + (gx - cx) * dx;
                  gx = cx + s * dx;
                  gy = cy + s * dy;
                  on_line = true;
                }
              }
              vec3_t r1, r2;
              if (affine) {
                r1 = on_q(gx, gy);
                if (layers_done > 0) r2 = on_p(gx, gy);
              } else {
                const vec3_t w = transform_point(q.grid_transform, gx * x_scale, gy * y_scale);
                r1 = to_q(w);
                r1.x /= x_scale, r1.y /= y_scale;
                if (layers_done > 0) {
                  r2 = to_p(w);
                  r2.x /= x_scale, r2.y /= y_scale;
                }
              }
              N.cur_x = r1.x;
              N.cur_y = r1.y;
              double t2 = r1.z;
              if (layers_done > 0) {
                N.prev_x = r2.x;
                N.prev_y = r2.y;
                t2 = r2.z;
              } else {
                N.prev_x = N.cur_x;
                N.prev_y = N.cur_y;
              }
              N.orientation = on_line ? 0 : (r1.z > t2 ? 1 : -1);
            }
            orientation_sum += N.orientation;

            if (q.layers > 1) {
              if (connect == 0 || (N.orientation != 1 && N.orientation != -1)) {
                N.direction = grid_normal;
              } else {
                double cx = N.cur_x, cy = N.cur_y, px = N.prev_x, py = N.prev_y;
                const int vq = sample_field(q, cx, cy, 0, 0);
                const int vp = sample_field(p, px, py, 0, 0);
                double dpx, dpy, dqx, dqy;
                const double rp = peak_displacement(p, N.prev_x, N.prev_y, vp, dpx, dpy);
                const double rq = peak_displacement(q, N.cur_x, N.cur_y, vq, dqx, dqy);
                double dx = (dpx + dqx) / 2, dy = (dpy + dqy) / 2;
                if (rq == 0.0) dx = dpx, dy = dpy;
                else if (rp == 0.0) dx = dqx, dy = dqy;
                const vec3_t A = plane_point(q.transform, N.cur_x, N.cur_y, x_scale, y_scale);
                const vec3_t B =
                    plane_point(q.transform, N.cur_x + dx, N.cur_y + dy, x_scale, y_scale);
                const vec3_t C = plane_point(p.transform, N.prev_x, N.prev_y, x_scale, y_scale);
                const double t = vec3_dot(B - A, grid_normal);
                const double wgt =
                    ((N.orientation == 1 && t < 0) || (N.orientation != 1 && t > 0)) ? 2 * t : 0.0;
                N.direction = vec3_normalise((C - B) + grid_normal * wgt);
                if (vec3_length(N.direction) == 0.0) N.direction = grid_normal;
              }
            }
          }

          N.crossings = 0;
          if (outside) {
            N.value = NODE_OUTSIDE;
          } else {
            const double sx = (layer <= 2 && snapping) ? step : 0.0;
            const double sy = (layer <= 2 && snapping) ? step / SQRT2 : 0.0;
            double v;
            if (layer == q.layers) {
              v = sample(q, N.cur_x, N.cur_y, sx, sy);
              N.position = plane_point(q.transform, N.cur_x, N.cur_y, x_scale, y_scale);
            } else {
              const double f = double(layer) / q.layers;
              if (z_scale != 0.0 && connect == 0) {
                const double vq = sample(q, N.cur_x, N.cur_y, sx, sy);
                const double vp = sample(p, N.prev_x, N.prev_y, sx, sy);
                const vec3_t A = plane_point(q.transform, N.cur_x, N.cur_y, x_scale, y_scale);
                const vec3_t C = plane_point(p.transform, N.prev_x, N.prev_y, x_scale, y_scale);
                N.position = C * (1 - f) + A * f;
                v = (1 - f) * vp + f * vq;
              } else {
                const vec3_t A = plane_point(q.transform, N.cur_x, N.cur_y, x_scale, y_scale);
                const vec3_t C = plane_point(p.transform, N.prev_x, N.prev_y, x_scale, y_scale);
                N.position = C * (1 - f) + A * f;
                const vec3_t dir = vec3_length(N.direction) > 0 ? N.direction : grid_normal;
                const vec3_t rq = line_plane_intersection(N.position, dir, q.transform);
                const vec3_t rp = line_plane_intersection(N.position, dir, p.transform);
                // Positions stand at pixel centres; the field's cell c at pixel c.
                double qx = rq.x / x_scale - 0.5, qy = rq.y / y_scale - 0.5;
                double px = rp.x / x_scale - 0.5, py = rp.y / y_scale - 0.5;
                const double vq = sample(q, qx, qy, 0, 0);
                const double vp = sample(p, px, py, 0, 0);
                const double tq = rq.z, tp = rp.z;
                if ((N.orientation == 1 || N.orientation == -1) && std::isfinite(tq) &&
                    std::isfinite(tp))
                  v = tq == tp ? (vq + vp) / 2 : (tq * vp - vq * tp) / (tq - tp);
                else
                  v = (1 - f) * vp + f * vq;
              }
            }
            // Bent lines can extrapolate beyond the field's range; a clamp
            // keeps a far value from wrapping into the other sign.
            N.value = node_value(v);

            // Neighbours in this layer: (x+1, j-1), (x, j-2), (x-1, j-1); in
            // the previous one: (x+1, j), (x, j-1), (x-1, j), (x, j+1).
            const int nv = N.value;
            auto test = [&](interp_node_t& M, int e) {
              if ((nv < 0) == (M.value < 0)) return;
              if (std::abs(nv) < std::abs(M.value))
                N.crossings |= uint16_t(1u << e);
              else
                M.crossings |= uint16_t(1u << (e + 7));
            };
            interp_node_t* const row = &N - x;
            const bool left = x > 0, right = x + 1 < grid_nx, previous = layers_done > 0;
            if (j >= 1) {
              interp_node_t* const up = row - grid_nx;
              if (right) test(up[x + 1], 0);
              if (left) test(up[x - 1], 2);
              if (previous) test(up[x], 4);
            }
            if (j >= 2) test(row[x - 2 * grid_nx], 1);
            if (previous) {
              if (right) test(row[x + 1], 3);
              if (left) test(row[x - 1], 5);
              if (j + 1 < grid_ny) test(row[x + grid_nx], 6);
            }
          }
        }
        // Node (x, j - 1) of the previous layer now has all its edges decided.
        if (j > 0 && layers_done > 0) {
          // A node without crossings makes a point only on a cap layer.
          if (layer_kind == 0 || (node(x, j - 1).crossings & 0x3FFF))
            make_edge_points(x, j - 1, layer_kind, previous_plane_normal);
          if (layers_done == 1)
            cap_cells(x, j, layer_kind);
          else
            layer_cells(x, j);
        }
      }
    }
    ++layers_done;
    previous_plane_normal = plane_normal;
    layer_kind = layers_done == 1 ? 0 : layers_done == 2 ? 1 : 2;
  }
}
