// Cutting a mesh along a closed surface curve, and taking a connected region
// out of it.
#include <algorithm>
#include <cmath>
#include <vector>

#include "surfaces/surface_interp.h"

namespace {

vec3_t pos(const surface_point& p) { return {p.x, p.y, p.z}; }

// Per vertex, the triangles that use it, in ascending order: those of
// vertex v are list[first[v]] up to list[first[v + 1]].
struct triangles_around {
  std::vector<int32_t> first, list;
  explicit triangles_around(const surface_mesh& m) : first(size_t(std::max(m.n_points, 0)) + 1, 0) {
    auto each = [&](const surface_triangle& t, auto f) {
      f(t.a);
      if (t.b != t.a) f(t.b);
      if (t.c != t.a && t.c != t.b) f(t.c);
    };
    for (int32_t i = 0; i < m.n_triangles; ++i)
      each(m.triangles[i], [&](int32_t v) { ++first[size_t(v) + 1]; });
    for (size_t v = 1; v < first.size(); ++v) first[v] += first[v - 1];
    list.resize(size_t(first.back()));
    std::vector<int32_t> next(first.begin(), first.end() - 1);
    for (int32_t i = 0; i < m.n_triangles; ++i)
      each(m.triangles[i], [&](int32_t v) { list[size_t(next[size_t(v)]++)] = i; });
  }
  const int32_t* begin(int32_t v) const { return list.data() + first[size_t(v)]; }
  const int32_t* end(int32_t v) const { return list.data() + first[size_t(v) + 1]; }
};

struct fan {
  const int32_t *b, *e;
  const int32_t* begin() const { return b; }
  const int32_t* end() const { return e; }
};

// The vertex that follows v in t's own order, or -1 when t lacks v.
int32_t after(const surface_triangle& t, int32_t v) {
  return t.a == v ? t.b : t.b == v ? t.c : t.c == v ? t.a : -1;
}

// Replaces, in the copy c of t, the slot where t holds v.
void replace(const surface_triangle& t, surface_triangle& c, int32_t v, int32_t by) {
  if (t.a == v) c.a = by;
  if (t.b == v) c.b = by;
  if (t.c == v) c.c = by;
}

// A per-vertex array grown by the path vertices' values, or released when
// it does not hold one value per vertex.
template <class T>
void grow(std::vector<T>& v, size_t n, const std::vector<int32_t>& path) {
  if (v.size() != n) {
    std::vector<T>().swap(v);
    return;
  }
  for (int32_t q : path) v.push_back(v[size_t(q)]);
}

template <class T>
void release(std::vector<T>& v) {
  std::vector<T>().swap(v);
}

}  // namespace

bool surface_interp::split_along_curve(const curve_t& curve) {
  // The surface curve, and the landmark curve it was traced from.
  curve_t* path_curve = nullptr;
  curve_t* landmark = nullptr;
  for (curve_t& c : surface_curves)
    if (&c == &curve) path_curve = &c;
  if (!path_curve && resource_table && resource_table->RES_CURVE)
    if (curve_set* set = resource_table->RES_CURVE->read()) {
      size_t k = 0;
      for (curve_t& c : set->curves) {
        if (c.object != object) continue;
        if (&c == &curve) {
          if (k < surface_curves.size()) path_curve = &surface_curves[k], landmark = &c;
          break;
        }
        ++k;
      }
    }
  if (!path_curve) return false;
  std::vector<curve_point>& points = path_curve->points;
  if (path_curve->on_surface || points.size() < 3) return false;
  // A failed stretch is refused before the all-zero case, so that a failed
  // tracing never passes for a split.
  for (const curve_point& q : points)
    if (q.tag < 0) return false;
  if (std::none_of(points.begin(), points.end(), [](const curve_point& q) { return q.tag > 0; }))
    return true;
  surface_mesh& m = mesh;
  if (!path_curve->closed || !m.points || !m.triangles) return false;
  for (const curve_point& q : points)
    if (q.tag >= m.n_points) return false;

  const int32_t N = m.n_points, L = int32_t(points.size());
  std::vector<int32_t> path(static_cast<size_t>(L));
  for (int32_t i = 0; i < L; ++i) path[size_t(i)] = points[size_t(i)].tag;
  const triangles_around around(m);
  auto of = [&](int32_t v) { return fan{around.begin(v), around.end(v)}; };

  for (const curve_point& q : points) {
    surface_point& v = m.points[q.tag];
    v.x = q.x, v.y = q.y, v.z = q.z;
    v.nx = q.nx, v.ny = q.ny, v.nz = q.nz;
    v.type = POINT_BOUNDARY;
  }
  // Triangles whose angle at their first vertex the snapping has closed
  // (under about 0.57 degrees) or opened flat.
  std::vector<uint8_t> removed(size_t(m.n_triangles), 0);
  for (int32_t q : path)
    for (int32_t ti : of(q)) {
      const surface_triangle& t = m.triangles[ti];
      const vec3_t a = pos(m.points[t.a]);
      const vec3_t ab = vec3_normalise(pos(m.points[t.b]) - a);
      const vec3_t ac = vec3_normalise(pos(m.points[t.c]) - a);
      const vec3_t x = vec3_cross(ab, ac);
      if (vec3_dot(x, x) < 1e-4) removed[size_t(ti)] = 1;
    }

  // The triangles left of each path step p -> u take the duplicates.
  std::vector<surface_triangle> copy(m.triangles, m.triangles + m.n_triangles);
  std::vector<int32_t> walked;
  for (int32_t i = 0; i < L; ++i) {
    const int32_t u = path[size_t(i)];
    const int32_t pi = i == 0 ? L - 1 : i - 1, p = path[size_t(pi)];
    const int32_t n = path[size_t(i == L - 1 ? 0 : i + 1)];
    int32_t first = -1;
    for (int32_t ti : of(u))
      if (after(m.triangles[ti], p) == u) {
        first = ti;
        break;
      }
    if (first < 0) continue;
    const surface_triangle& t0 = m.triangles[first];
    replace(t0, copy[size_t(first)], p, N + pi);
    replace(t0, copy[size_t(first)], u, N + i);
    int32_t f = after(t0, u);
    // Round the fan of u on the same side, up to the triangle that holds the
    // next step; each triangle once, so that a fan that never meets it ends.
    walked.assign(1, first);
    while (f != n && f >= 0) {
      int32_t next = -1;
      for (int32_t ti : of(u)) {
        const surface_triangle& t = m.triangles[ti];
        if (after(t, f) != u || after(t, u) == n) continue;
        if (std::find(walked.begin(), walked.end(), ti) != walked.end()) continue;
        next = ti;
        break;
      }
      if (next < 0) break;
      walked.push_back(next);
      replace(m.triangles[next], copy[size_t(next)], u, N + i);
      f = after(m.triangles[next], u);
    }
  }

  const size_t kept = copy.size() - size_t(std::count(removed.begin(), removed.end(), 1));
  surface_point* new_points = new surface_point[size_t(N + L)];
  std::copy(m.points, m.points + N, new_points);
  for (int32_t i = 0; i < L; ++i) new_points[N + i] = m.points[path[size_t(i)]];
  surface_triangle* new_triangles = new surface_triangle[std::max<size_t>(kept, 1)];
  size_t k = 0;
  for (size_t ti = 0; ti < copy.size(); ++ti)
    if (!removed[ti]) new_triangles[k++] = copy[ti];
  delete[] m.points;
  delete[] m.triangles;
  m.points = new_points;
  m.triangles = new_triangles;
  m.n_triangles = int32_t(kept);

  // Values of the duplicates; every per-vertex array keeps one entry a vertex.
  const size_t n = size_t(N);
  for (std::vector<double>* v :
       {&cortical_thickness, &smoothed_thickness, &fit_error, &density, &outer_gap,
        &outer_gap_error, &inner_gap, &inner_gap_error, &inner_density, &outer_density,
        &inner_density_error})
    grow(*v, n, path);
  grow(directions, n, path);
  for (std::vector<double>* v :
       {&surface_offset, &segment_length, &blur, &blur_error, &endo_thickness, &endo_error})
    release(*v);
  // The halves no longer mirror each other once points are added.
  double_layer = false;
  m.n_points = N + L;
  for (curve_point& q : points) q.tag = -q.tag;
  path_curve->on_surface = true;
  if (landmark) landmark->on_surface = true;
  return true;
}

bool surface_interp::detach_region(const curve_point& hit, std::vector<vec3_t>& out_points,
                                   std::vector<vec3_t>& out_normals,
                                   std::vector<std::array<int32_t, 3>>& out_triangles) {
  surface_mesh& m = mesh;
  const int32_t start = hit.tag;
  if (!m.points || start < 0 || start >= m.n_points) return false;
  const triangles_around around(m);
  auto of = [&](int32_t v) { return fan{around.begin(v), around.end(v)}; };
  std::vector<uint8_t> in_vertex(size_t(m.n_points), 0), in_triangle(size_t(m.n_triangles), 0);
  std::vector<int32_t> stack{start};
  in_vertex[size_t(start)] = 1;
  auto same_place = [&](int32_t a, int32_t b) {
    return m.points[a].x == m.points[b].x && m.points[a].y == m.points[b].y &&
           m.points[a].z == m.points[b].z;
  };
  auto join = [&](int32_t v) {
    if (in_vertex[size_t(v)]) return;
    in_vertex[size_t(v)] = 1;
    stack.push_back(v);
  };
  bool has_rim = false, has_duplicate = false;
  while (!stack.empty()) {
    const int32_t v = stack.back();
    stack.pop_back();
    const surface_point& p = m.points[v];
    // A rim vertex and its duplicate, the next vertex at the same place,
    // leave together.
    if (p.type == POINT_RIM) {
      has_rim = true;
      if (v + 1 >= m.n_points || m.points[v + 1].type != POINT_DUPLICATE || !same_place(v, v + 1))
        return false;
      join(v + 1);
    } else if (p.type == POINT_DUPLICATE) {
      has_duplicate = true;
      if (v > 0 && m.points[v - 1].type == POINT_RIM && same_place(v, v - 1)) join(v - 1);
    }
    for (int32_t ti : of(v)) {
      if (in_triangle[size_t(ti)]) continue;
      in_triangle[size_t(ti)] = 1;
      const surface_triangle& t = m.triangles[ti];
      join(t.a), join(t.b), join(t.c);
    }
  }
  if (has_duplicate && !has_rim) return false;

  std::vector<int32_t> index(static_cast<size_t>(m.n_points));
  int32_t region_points = 0, rest_points = 0;
  for (int32_t i = 0; i < m.n_points; ++i)
    index[size_t(i)] = in_vertex[size_t(i)] ? region_points++ : rest_points++;
  int32_t rest_triangles = 0;
  for (int32_t i = 0; i < m.n_triangles; ++i) rest_triangles += !in_triangle[size_t(i)];

  std::vector<vec3_t> points, normals;
  std::vector<std::array<int32_t, 3>> triangles;
  points.reserve(size_t(region_points));
  normals.reserve(size_t(region_points));
  surface_point* kept_points = new surface_point[size_t(std::max(rest_points, 1))];
  surface_triangle* kept_triangles = new surface_triangle[size_t(std::max(rest_triangles, 1))];
  for (int32_t i = 0; i < m.n_points; ++i) {
    const surface_point& p = m.points[i];
    if (in_vertex[size_t(i)]) {
      points.push_back({10.0 * p.x, 10.0 * p.y, 10.0 * p.z});
      normals.push_back({p.nx, p.ny, p.nz});
    } else {
      kept_points[index[size_t(i)]] = p;
    }
  }
  int32_t k = 0;
  for (int32_t i = 0; i < m.n_triangles; ++i) {
    const surface_triangle& t = m.triangles[i];
    const std::array<int32_t, 3> r{index[size_t(t.a)], index[size_t(t.b)], index[size_t(t.c)]};
    if (in_triangle[size_t(i)])
      triangles.push_back(r);
    else
      kept_triangles[k++] = surface_triangle{r[0], r[1], r[2], t.type};
  }
  delete[] m.points;
  delete[] m.triangles;
  m.points = kept_points;
  m.n_points = rest_points;
  m.triangles = kept_triangles;
  m.n_triangles = rest_triangles;
  out_points.swap(points);
  out_normals.swap(normals);
  out_triangles.swap(triangles);

  for (std::vector<double>* v :
       {&cortical_thickness, &smoothed_thickness, &fit_error, &density, &surface_offset,
        &segment_length, &blur, &blur_error, &endo_thickness, &endo_error, &outer_gap,
        &outer_gap_error, &inner_gap, &inner_gap_error, &inner_density, &outer_density,
        &inner_density_error})
    release(*v);
  release(directions);
  double_layer = false;
  // What is left encloses a different volume.
  triangle_volume();
  map_curves_to_surface(false);
  return true;
}
