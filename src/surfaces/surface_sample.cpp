// Sampling a plane's distance field at a point, with snapping onto ridge
// corners and extrapolation beyond the raster; peak matching between planes
// and the displacement that matched peaks give a node's line.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "data/contour.h"
#include "surfaces/field_sample.h"
#include "surfaces/surface_interp.h"

namespace {

// Chamfer length of a step of a cells across and b cells along, in twelfths.
double chamfer(double a, double b) { return 12.0 * std::max(a, b) + 5.0 * std::min(a, b); }

struct raster_view {
  const int16_t* f;
  int w, h;
  int at(int c, int r) const {
    c = std::clamp(c, 0, w - 1);
    r = std::clamp(r, 0, h - 1);
    return f[size_t(r) * w + c];
  }
};

// Value beyond the raster, from the nearest interior edge (the outer ring of
// cells is not used).
double extrapolate(const raster_view& R, int u, int v, double fx, double fy) {
  const int w = R.w, h = R.h;
  if (u > 0 && u < w - 1) {
    const bool top = v < 0;
    const int edge = top ? 1 : h - 2;
    const int k = top ? 1 - v : v - edge;
    double A = chamfer(0, k) - R.at(u, edge);
    if (A > 12.0 * k) {
      bool lo = true, hi = true;
      for (int i = 1; lo || hi; ++i) {
        const double len = chamfer(i, k);
        if (!(len < A)) break;
        if (lo && u - i >= 1) A = std::min(A, len - R.at(u - i, edge)); else lo = false;
        if (hi && u + i <= w - 2) A = std::min(A, len - R.at(u + i, edge)); else hi = false;
      }
    }
    return top ? 12.0 * fy - A : -A - 12.0 * fy;
  }
  if (v > 0 && v < h - 1) {
    const bool left = u < 0;
    const int edge = left ? 1 : w - 2;
    const int k = left ? 1 - u : u - edge;
    double A = chamfer(0, k) - R.at(edge, v);
    if (A > 12.0 * k) {
      bool lo = true, hi = true;
      for (int i = 1; lo || hi; ++i) {
        const double len = chamfer(i, k);
        if (!(len < A)) break;
        if (lo && v - i >= 1) A = std::min(A, len - R.at(edge, v - i)); else lo = false;
        if (hi && v + i <= h - 2) A = std::min(A, len - R.at(edge, v + i)); else hi = false;
      }
    }
    return left ? 12.0 * fx - A : -A - 12.0 * fx;
  }
  // Beyond a corner: from the interior corner cell, then along its edge
  // column and edge row while a shorter way may still be found.
  const bool left = u <= 0, top = v <= 0;
  const int cc = left ? 1 : w - 2, cr = top ? 1 : h - 2;
  const int kx = std::abs(u - cc), ky = std::abs(v - cr);
  const int sc = left ? 1 : -1, sr = top ? 1 : -1;  // toward the interior
  double A = chamfer(kx, ky) - R.at(cc, cr);
  bool col = true, row = true;
  double col_len = chamfer(kx, ky), row_len = col_len;
  for (int i = 1; col || row; ++i) {
    if (col) {
      if (i < h - 2 && col_len < A) {
        col_len = chamfer(kx, ky + i);
        A = std::min(A, col_len - R.at(cc, cr + sr * i));
      } else {
        col = false;
      }
    }
    if (row) {
      if (i < w - 2 && row_len < A) {
        row_len = chamfer(kx + i, ky);
        A = std::min(A, row_len - R.at(cc + sc * i, cr));
      } else {
        row = false;
      }
    }
  }
  return (left ? 8.5 : -8.5) * fx + (top ? 8.5 : -8.5) * fy - A;
}

}  // namespace

int surface_interp::sample_field(const interp_plane_t& p, double& x, double& y, double sx,
                                 double sy) const {
  if (!p.has_contours() || p.field == PLANE_FIELD_PENDING) {
    const double e = std::min(p.box_y1 - p.box_y0, p.box_x1 - p.box_x0);
    return int(std::max(-48.0 * e, -double(FIELD_LIMIT)));
  }
  const frame_contours_t& c = *p.contours;
  const raster_view R{p.field, c.box_width, c.box_height};
  // floor, not truncation: boxes may start left of or above pixel 0, and
  // truncation would give negative weights there.
  const double tx = field_floor(x), ty = field_floor(y);
  if (!std::isfinite(tx) || !std::isfinite(ty) || std::fabs(tx) > 1e8 || std::fabs(ty) > 1e8)
    return -FIELD_LIMIT;
  const int u = int(tx) - c.box_x, v = int(ty) - c.box_y;
  const double fx = x - tx, fy = y - ty;
  const int w = R.w, hr = R.h;
  double h;
  if (u >= 0 && u < w - 1 && v >= 0 && v < hr - 1) {
    // The four cells lie inside the raster: read without clamping.
    h = field_bilinear(p.field, w, u, v, fx, fy);
    const bool snap = (sx != 0.0 || sy != 0.0) && 12.0 * sx > std::fabs(h);
    const int mx = snap ? 2 * std::max(1, int(std::lround(sx))) : 0;
    const int my = snap ? 2 * std::max(1, int(std::lround(sy))) : 0;
    if (snap && u >= mx && u < w - mx && v >= my && v < hr - my) {
      const double px = u + fx, py = v + fy;
      int corner_c = 0, corner_r = 0, out_c = 0, out_r = 0;
      double corner_d = 1e30, out_d = 1e30;
      bool corner = false, outside = false;
      const int c0 = int(std::ceil(px - sx)), c1 = int(std::floor(px + sx - 0.0001));
      const int r0 = int(std::ceil(py - sy)), r1 = int(std::floor(py + sy - 0.0001));
      for (int r = r0; r <= r1; ++r)
        for (int cc = c0; cc <= c1; ++cc) {
          const int val = R.at(cc, r);
          const int lap = 4 * val - R.at(cc - 1, r) - R.at(cc + 1, r) - R.at(cc, r - 1) -
                          R.at(cc, r + 1);
          const double d = (cc - px) * (cc - px) + (r - py) * (r - py);
          if (std::abs(lap) > 12) {
            if (d < corner_d) {
              corner_d = d;
              corner_c = cc;
              corner_r = r;
              corner = true;
            }
          } else if (!corner && h >= 0 && segment_valleys && val < 0 && d < out_d) {
            out_d = d;
            out_c = cc;
            out_r = r;
            outside = true;
          }
        }
      bool take = false;
      int tc = 0, tr = 0;
      if (corner) {
        const int cv = R.at(corner_c, corner_r);
        if ((cv < 0) == (h < 0)) {
          take = true;
        } else {
          int a, b;
          if (std::fabs(corner_r - py) > std::fabs(corner_c - px)) {
            a = R.at(int(std::lround(px)), int(std::lround(py - 2 * sy)));
            b = R.at(int(std::lround(px)), int(std::lround(py + 2 * sy)));
          } else {
            a = R.at(int(std::lround(px - 2 * sx)), int(std::lround(py)));
            b = R.at(int(std::lround(px + 2 * sx)), int(std::lround(py)));
          }
          const bool sa = (a < 0) == (h < 0), sb = (b < 0) == (h < 0);
          take = (sa && sb) || ((a < 0) != (b < 0) && cv < 0);
        }
        tc = corner_c;
        tr = corner_r;
      } else if (outside && std::fabs(out_c - px) <= 0.5 * sx && std::fabs(out_r - py) <= 0.5 * sy) {
        take = true;
        tc = out_c;
        tr = out_r;
      }
      if (take) {
        x = tc + c.box_x;
        y = tr + c.box_y;
        h = R.at(tc, tr);
      }
    }
  } else {
    h = extrapolate(R, u, v, fx, fy);
  }
  return field_node_units(h);
}

void surface_interp::peak_overlap(interp_plane_t& p, interp_plane_t& q) {
  if (p.peak_count == 0 || q.peak_count == 0) return;
  vec3_t n = matrix4_get_z_axis(q.transform) + matrix4_get_z_axis(p.transform);
  if (vec3_length(n) < 1e-9) n = matrix4_get_z_axis(p.transform);
  n = vec3_normalise(n);
  for (interp_plane_t* r : {&p, &q})
    for (int i = 0; i < r->peak_count; ++i) {
      r->peaks[i].match = 0;
      r->peak_vectors[2 * i] = r->peak_vectors[2 * i + 1] = 0.0;
    }
  // Each plane's peaks carried along n onto the other plane, in its pixels.
  auto carry = [&](const interp_plane_t& from, const interp_plane_t& to) {
    std::vector<vec2_t> out(size_t(from.peak_count));
    for (int i = 0; i < from.peak_count; ++i) {
      vec3_t w;
      const double px = from.peaks[i].x + from.contours->box_x;
      const double py = from.peaks[i].y + from.contours->box_y;
      matrix4_transform_point(w, from.transform, vec3_t{px * x_scale, py * y_scale, 0.0});
      const vec3_t ab = line_plane_intersection(w, n, to.transform);
      out[i] = vec2_t{ab.x / x_scale, ab.y / y_scale};
    }
    return out;
  };
  const std::vector<vec2_t> mp = carry(p, q), mq = carry(q, p);
  std::vector<double> wp(size_t(p.peak_count), 0.0), wq(size_t(q.peak_count), 0.0);
  for (int i = 0; i < p.peak_count; ++i)
    for (int j = 0; j < q.peak_count; ++j) {
      const double dx = q.peaks[j].x + q.contours->box_x - mp[i].x;
      const double dy = q.peaks[j].y + q.contours->box_y - mp[i].y;
      if (!std::isfinite(dx) || !std::isfinite(dy)) continue;
      const double D = 12.0 * std::max(std::fabs(dx), std::fabs(dy)) +
                       5.0 * std::min(std::fabs(dx), std::fabs(dy));
      double ax = mq[j].x, ay = mq[j].y, bx = mp[i].x, by = mp[i].y;
      const double S = D - std::abs(p.peaks[i].value - sample_field(p, ax, ay, 0, 0) / 16);
      const double V = D - std::abs(q.peaks[j].value - sample_field(q, bx, by, 0, 0) / 16);
      const double m = std::max(V, S);
      const int vi = p.peaks[i].value, vj = q.peaks[j].value;
      int match = 0;
      if (vi >= 0 && vj >= 0 && vi > m && vj > m) match = 1;
      if (vi < 0 && vj < 0 && -vi > m && -vj > m) match = -1;
      if (!match) continue;
      p.peaks[i].match = q.peaks[j].match = int16_t(match);
      const double wt = 1.0 / (V * V + 16.0) + 1.0 / (S * S + 16.0);
      p.peak_vectors[2 * i] += wt * dx;
      p.peak_vectors[2 * i + 1] += wt * dy;
      q.peak_vectors[2 * j] += wt * dx;
      q.peak_vectors[2 * j + 1] += wt * dy;
      wp[i] += wt;
      wq[j] += wt;
    }
  for (int i = 0; i < p.peak_count; ++i)
    if (wp[i] != 0.0) p.peak_vectors[2 * i] /= wp[i], p.peak_vectors[2 * i + 1] /= wp[i];
  for (int j = 0; j < q.peak_count; ++j)
    if (wq[j] != 0.0) q.peak_vectors[2 * j] /= wq[j], q.peak_vectors[2 * j + 1] /= wq[j];
}

double surface_interp::peak_displacement(const interp_plane_t& p, double x, double y, double v,
                                         double& dx, double& dy) const {
  dx = dy = 0.0;
  if (p.peak_count == 0 || connect == 0 || !p.contours) return 0.0;
  const double g = v / 16.0;
  double T = 0, S = 0, tx = 0, ty = 0, ux = 0, uy = 0, d = 32700, e = 32700;
  for (int i = 0; i < p.peak_count; ++i) {
    const peak_t& pk = p.peaks[i];
    if (pk.match == 0) continue;
    const double a = std::fabs(pk.x - (x - p.contours->box_x));
    const double b = std::fabs(pk.y - (y - p.contours->box_y));
    const double c = b > a ? 12 * b + 5 * a : 5 * b + 12 * a;
    const double D = pk.value - g;
    const double vx = p.peak_vectors[2 * i], vy = p.peak_vectors[2 * i + 1];
    if (pk.match > 0) {
      const double W = 1.0 / ((c - D) * (c - D) + 16.0);
      T += W, tx += W * vx, ty += W * vy, d += W * c;
    } else {
      const double W = 1.0 / ((D + c) * (D + c) + 16.0);
      S += W, ux += W * vx, uy += W * vy, e += W * c;
    }
  }
  if (!(connect & 1)) T = 0;
  if (!(connect & 2)) S = 0;
  if (T > 0 && S > 0) {
    if (g > 0) {
      const double dd = d / T, den = 2 * (g + dd + 1) * (S + T);
      dx = (dd * ux + (2 * g + dd) * tx) / den;
      dy = (dd * uy + (2 * g + dd) * ty) / den;
    } else {
      const double ee = e / S, den = 2 * (ee - g + 1) * (S + T);
      dx = ((ee - 2 * g) * ux + ee * tx) / den;
      dy = ((ee - 2 * g) * uy + ee * ty) / den;
    }
  } else if (T > 0) {
    dx = tx / T, dy = ty / T;
  } else if (S > 0) {
    dx = ux / S, dy = uy / S;
  } else {
    return 0.0;
  }
  if (!std::isfinite(dx) || !std::isfinite(dy)) {
    dx = dy = 0.0;
    return 0.0;
  }
  return 1.0;
}
