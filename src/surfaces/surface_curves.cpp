// The nearest crossing of a line with the mesh, and the object's landmark
// curves laid onto the mesh as paths from vertex to vertex.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "surfaces/surface_interp.h"

namespace {

vec3_t pos(const surface_point& p) { return {p.x, p.y, p.z}; }
vec3_t nrm(const surface_point& p) { return {p.nx, p.ny, p.nz}; }

curve_point make_hit(const vec3_t& at, const vec3_t& n, int32_t vertex) {
  curve_point h;
  h.x = at.x, h.y = at.y, h.z = at.z;
  h.nx = n.x, h.ny = n.y, h.nz = n.z;
  h.tag = vertex;
  return h;
}

}  // namespace

bool surface_interp::ray_intersection(const vec3_t& o, const vec3_t& p, curve_point& hit,
                                      double& distance) const {
  const surface_mesh& m = mesh;
  if (!m.points || !m.triangles) return false;
  const vec3_t op = p - o;
  const double len = vec3_length(op);
  const vec3_t u = len > 0 ? op * (1.0 / len) : op;
  double best = 1e10;
  for (int32_t i = 0; i < m.n_triangles; ++i) {
    const surface_triangle& t = m.triangles[i];
    const vec3_t A = pos(m.points[t.a]), B = pos(m.points[t.b]), C = pos(m.points[t.c]);
    const vec3_t e1 = B - A, e2 = C - A;
    const double l1 = vec3_dot(e1, e1), l2 = vec3_dot(e2, e2);
    const vec3_t w = o - A;
    const vec3_t off = w - u * vec3_dot(w, u);
    const double far = 0.99 * vec3_dot(off, off);
    if (far > l1 && far > l2) continue;
    const vec3_t mn = vec3_cross(e1, e2);
    const double den = vec3_dot(mn, op);
    if (vec3_length(mn) == 0.0 || den == 0.0) continue;
    const double tt = -vec3_dot(w, mn) / den;
    const vec3_t h = o + op * tt;
    const vec3_t g = h - A;
    const double reach = 0.99 * vec3_dot(g, g);
    if (reach > l1 && reach > l2) continue;
    const double e12 = vec3_dot(e1, e2);
    const double D = e12 * e12 - l1 * l2;
    if (D == 0.0) continue;
    const double s = (e12 * vec3_dot(g, e2) - l2 * vec3_dot(g, e1)) / D;
    const double r = (e12 * vec3_dot(g, e1) - l1 * vec3_dot(g, e2)) / D;
    if (s < -1e-12 || s > 1.000000000001 || r < -1e-12 || s + r > 1.000000000001) continue;
    const double d = std::fabs(tt * 10.0 * len);
    if (!(d < best)) continue;
    best = d;
    const double q = 1 - s - r;
    const vec3_t n = vec3_normalise(nrm(m.points[t.a]) * q + nrm(m.points[t.b]) * s +
                                    nrm(m.points[t.c]) * r);
    const int32_t v = (s > r && s > q) ? t.b : (s <= r && r > q) ? t.c : t.a;
    hit = make_hit(h, n, v);
  }
  if (!(best < 1e10)) return false;
  distance = best;
  return true;
}

void surface_interp::map_curves_to_surface(bool force) {
  surface_curves.clear();
  if (!resource_table || !resource_table->RES_CURVE) return;
  curve_set* set = resource_table->RES_CURVE->read();
  if (!set) return;
  for (curve_t& c : set->curves) {
    if (c.object != object) continue;
    curve_t rec;
    rec.closed = c.closed;
    rec.object = c.object;
    if (force) c.on_surface = false;
    rec.on_surface = c.on_surface;
    if (!rec.on_surface) {
      for (curve_point& q : c.points) {
        const vec3_t at{q.x, q.y, q.z}, n{q.nx, q.ny, q.nz};
        curve_point hit;
        double distance;
        if (!ray_intersection(at, at + n, hit, distance)) continue;
        rec.points.push_back(hit);
        q.tag = hit.tag;
      }
      trace_surface_path(rec);
    }
    surface_curves.push_back(std::move(rec));
  }
}

void surface_interp::set_object(int32_t new_object) {
  object = new_object;
  map_curves_to_surface(false);
}

bool surface_interp::trace_surface_path(curve_t& rec) const {
  const surface_mesh& m = mesh;
  std::vector<curve_point>& targets = rec.points;
  const size_t n = targets.size();
  if (n < 3 || !m.points || !m.triangles) return false;
  for (curve_point& t : targets) {
    t.tag = std::abs(t.tag);
    if (t.tag >= m.n_points) return false;
  }
  std::vector<std::vector<int32_t>> around(static_cast<size_t>(m.n_points));
  for (int32_t i = 0; i < m.n_triangles; ++i) {
    const surface_triangle& t = m.triangles[i];
    around[t.a].push_back(i), around[t.b].push_back(i), around[t.c].push_back(i);
  }
  std::vector<curve_point> path{targets[0]};
  vec3_t c{targets[0].x, targets[0].y, targets[0].z}, cn{targets[0].nx, targets[0].ny, targets[0].nz};
  int32_t v = targets[0].tag;
  const size_t stretches = rec.closed ? n : n - 1;
  // The ends of the failed stretch are marked, each unless the walk stopped
  // on its own vertex (chosen is -1 when no step could be made at all).
  auto fail = [&](size_t k, size_t target, int32_t chosen) {
    const bool mark_k = chosen != targets[target].tag, mark_t = chosen != targets[k].tag;
    if (mark_k) targets[k].tag = -std::abs(targets[k].tag);
    if (mark_t) targets[target].tag = -std::abs(targets[target].tag);
    return false;
  };
  for (size_t k = 0; k < stretches; ++k) {
    const size_t ti = (k + 1) % n;
    const curve_point& target = targets[ti];
    const vec3_t tp{target.x, target.y, target.z};
    while (v != target.tag) {
      const vec3_t d = vec3_normalise(tp - c);
      const vec3_t q = vec3_normalise(vec3_cross(cn, d));
      double best = -1;
      int32_t H = -1, alt = -1;
      vec3_t X;
      for (int32_t tri : around[v]) {
        const surface_triangle& t = m.triangles[tri];
        int32_t W, V;
        if (t.a == v) W = t.b, V = t.c;
        else if (t.b == v) W = t.c, V = t.a;
        else W = t.a, V = t.b;
        const double a = vec3_dot(pos(m.points[W]) - c, q), b = vec3_dot(pos(m.points[V]) - c, q);
        if (a != 0 && b != 0 && (a > 0) == (b > 0)) continue;
        const double sum = std::fabs(a) + std::fabs(b);
        const vec3_t x = sum > 0 ? (pos(m.points[V]) * std::fabs(a) + pos(m.points[W]) * std::fabs(b)) * (1 / sum)
                                 : pos(m.points[W]);
        const double score = vec3_dot(vec3_normalise(x - c), d);
        if (!(score > best)) continue;
        best = score;
        X = x;
        H = std::fabs(a) < std::fabs(b) ? W : V;
        alt = H == W ? V : W;
      }
      if (H < 0) return fail(k, ti, -1);
      vec3_t xn = nrm(m.points[H]);
      if (vec3_dot(tp - X, d) < 0 || H == target.tag) {
        X = tp;
        xn = vec3_t{target.nx, target.ny, target.nz};
        H = target.tag;
      }
      auto on_path = [&](int32_t vertex) {
        for (size_t i = 1; i < path.size(); ++i)
          if (path[i].tag == vertex) return true;
        return false;
      };
      if (on_path(H) && alt >= 0) {
        H = alt;
        X = pos(m.points[H]);
        xn = nrm(m.points[H]);
      }
      if (H == path[0].tag) {  // the loop has closed
        rec.points = path;
        return true;
      }
      if (on_path(H)) return fail(k, ti, H);
      path.push_back(make_hit(X, xn, H));
      c = X;
      cn = xn;
      v = H;
    }
  }
  rec.points = path;
  return true;
}
