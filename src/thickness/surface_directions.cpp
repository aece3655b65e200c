// Per-vertex measuring directions: "Smoothed" averages each direction with
// its neighbours', "Optimal" turns each so that neighbouring inner edge
// points keep the spacing of their outer edge points. Both count the
// triangles whose inner edge points come out in reversed order (folded).
#include <algorithm>
#include <cmath>
#include <vector>

#include "surfaces/surface_interp.h"

namespace {

vec3_t unit(const vec3_t& v) {
  const double l = vec3_length(v);
  return l > 0.0 ? v * (1.0 / l) : v;
}

// Directions further than 60 degrees from their normal are not taken: the
// divisions by D.n below would throw the edge points far off.
constexpr double kMinAlignment = 0.5;

// Contributions whose outer points coincide along the tangent carry no
// direction (and would divide by zero).
constexpr double kMinSpacing = 1e-12;

}  // namespace

void surface_interp::update_map_directions(int iteration_limit, double initial_depth) {
  const int32_t n = mesh.n_points;
  if (n <= 0 || mesh.n_triangles <= 0 || !mesh.points || !mesh.triangles) return;
  const long mode = resource_table && resource_table->RES_THICKNESS_MAP_DIRECTION
                        ? resource_table->RES_THICKNESS_MAP_DIRECTION->read()
                        : 0;
  if (mode != 1 && mode != 2) {
    std::vector<vec3_t>().swap(directions);
    return;
  }
  std::vector<double>().swap(segment_length);
  const bool optimal = mode == 2;
  const size_t un = size_t(n);

  // Starting directions are the normals with their component along the
  // stack axis (0, 0, 1) taken away, so that lines stay within the frames.
  const vec3_t A{0.0, 0.0, 1.0};
  std::vector<vec3_t> normal(un);
  for (size_t i = 0; i < un; ++i) {
    const surface_point& p = mesh.points[i];
    normal[i] = {p.nx, p.ny, p.nz};
  }
  std::vector<double> a(un, initial_depth), b(un, 0.0);
  const bool fresh = directions.size() != un;
  if (fresh) {
    directions.assign(un, vec3_t{});
    for (size_t i = 0; i < un; ++i) {
      const vec3_t& nv = normal[i];
      vec3_t D = nv;
      if (mesh.points[i].type == POINT_RIM) {
        const double an = vec3_dot(A, nv);
        if (std::fabs(an) < 1.0) {
          const vec3_t projected = unit(nv - A * an);
          // A normal close to the axis would give a direction nearly across it.
          if (vec3_dot(projected, nv) >= kMinAlignment) D = projected;
        }
      }
      directions[i] = D;
    }
  } else if (cortical_thickness.size() == un && surface_offset.size() == un) {
    std::vector<double> values, offsets;
    const long smooth = resource_table && resource_table->RES_THICKNESS_SMOOTH
                            ? resource_table->RES_THICKNESS_SMOOTH->read()
                            : 0;
    if (smooth > 0) {
      select_display_data(kind_thickness, &values, &offsets, nullptr);
      const long shown = resource_table->RES_THICKNESS_DISP_MAP->read();
      if (display_kind != shown) select_display_data(int(shown), nullptr, nullptr, nullptr);
    }
    const bool smoothed = values.size() == un && offsets.size() == un;
    for (size_t i = 0; i < un; ++i) {
      const double t = smoothed ? values[i] : cortical_thickness[i];
      const double o = smoothed ? offsets[i] : surface_offset[i];
      a[i] = (t - o) / 10.0;
      b[i] = -o / 10.0;
    }
  }

  std::vector<vec3_t> I(un), O(un), S(un);
  int32_t limit = iteration_limit;
  double c_min = 0.0;
  int32_t f_min = 0;
  direction_folds = 0;
  for (int32_t e = 0; e < limit; ++e) {
    for (size_t i = 0; i < un; ++i) {
      const surface_point& p = mesh.points[i];
      const vec3_t P{p.x, p.y, p.z};
      const vec3_t& D = directions[i];
      const double dn = std::max(vec3_dot(D, normal[i]), kMinAlignment);
      I[i] = P - D * (a[i] / dn);
      O[i] = P - D * (b[i] / dn);
      S[i] = D;
    }
    int32_t folds = 0;
    // One apex V over the base U, W.
    auto apex = [&](size_t V, size_t U, size_t W) {
      const vec3_t N = unit(normal[V] + (normal[U] + normal[W]) * 0.5);
      const vec3_t eo = O[V] - (O[U] + O[W]) * 0.5, ei = I[V] - (I[U] + I[W]) * 0.5;
      const vec3_t T = unit(eo - N * vec3_dot(N, eo));
      const double h = vec3_dot(T, eo), t = vec3_dot(T, ei);
      if (optimal) {
        if (std::fabs(h) >= kMinSpacing)
          S[V] += unit(O[V] - I[V] - T * ((h - t) / 2.0)) * (4.0 * std::fabs(1.0 - t / h));
      } else {
        S[V] += (directions[U] + directions[W]) * 0.5;
      }
      return t < 0.0;
    };
    // The edge from V to U.
    auto edge = [&](size_t V, size_t U) {
      const vec3_t N = unit(normal[V] + normal[U]);
      const vec3_t eo = O[U] - O[V], ei = I[U] - I[V];
      const vec3_t T = unit(eo - N * vec3_dot(N, eo));
      const double h = vec3_dot(T, eo), t = vec3_dot(T, ei);
      if (optimal) {
        if (std::fabs(h) >= kMinSpacing) {
          const double w = 4.0 * std::fabs(1.0 - t / h);
          S[V] += unit(O[V] - I[V] + T * ((h - t) / 2.0)) * w;
          S[U] += unit(O[U] - I[U] - T * ((h - t) / 2.0)) * w;
        }
      } else {
        S[V] += directions[U];
        S[U] += directions[V];
      }
      return t < 0.0;
    };
    for (int32_t j = 0; j < mesh.n_triangles; ++j) {
      const surface_triangle& tr = mesh.triangles[j];
      if (tr.type == 2 || tr.a < 0 || tr.b < 0 || tr.c < 0 || tr.a >= n || tr.b >= n || tr.c >= n)
        continue;
      const size_t v[3] = {size_t(tr.a), size_t(tr.b), size_t(tr.c)};
      const int32_t type[3] = {mesh.points[v[0]].type, mesh.points[v[1]].type, mesh.points[v[2]].type};
      bool folded = false;
      if (type[0] == type[1] && type[1] == type[2]) {
        folded |= apex(v[0], v[1], v[2]);
        folded |= apex(v[1], v[2], v[0]);
        folded |= apex(v[2], v[0], v[1]);
      } else {
        for (int k = 0; k < 3; ++k)
          if (type[k] == POINT_ORDINARY) folded |= apex(v[k], v[(k + 1) % 3], v[(k + 2) % 3]);
        const int pairs[3][2] = {{0, 1}, {0, 2}, {1, 2}};
        for (const auto& pr : pairs)
          if (type[pr[0]] == type[pr[1]]) folded |= edge(v[pr[0]], v[pr[1]]);
      }
      folds += folded;
    }
    double change = 0.0;
    for (size_t i = 0; i < un; ++i) {
      if (mesh.points[i].type == POINT_DUPLICATE) continue;
      const vec3_t s = unit(S[i]);
      if (!(vec3_dot(s, normal[i]) >= kMinAlignment)) continue;
      change = std::max(change, vec3_length(s - directions[i]) * vec3_length(O[i] - I[i]));
      directions[i] = s;
    }
    direction_folds = folds;
    if (e == 0) {
      c_min = change;
      f_min = folds;
      continue;
    }
    if (e >= 5 && change > c_min && (folds == 0 || folds > f_min)) limit = std::min(limit, e + 8);
    c_min = std::min(c_min, change);
    f_min = std::min(f_min, folds);
  }
}
