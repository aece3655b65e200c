// Per-vertex display data of the thickness results: the chosen quantity's
// colour indices and displayed values, with implausible vertices rejected
// and holes filled and values smoothed over the mesh by inverse-variance
// weights (Jacobi passes: every sum is formed before any vertex changes, so
// the result does not depend on vertex order).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "surfaces/surface_interp.h"

namespace {

constexpr double kNoValue = 1e10;

// The display settings, read from the resources once per call.
struct display_settings {
  long smooth = 0, fill = 100;
  long scale_mm = 40, scale_hu = 20, scale_humm = 8, zero_hu = 0;
  long outlier = 90, distance = 40;
  double xscale = 0.01, yscale = 0.01;
  double units = 100.0;  // 1 for "GY", else 100
};

display_settings read_settings() {
  display_settings d;
  const resource_table_t* t = resource_table;
  if (!t) return d;
  auto get = [](long_res_t* r, long& v) {
    if (r) v = r->read();
  };
  get(t->RES_THICKNESS_SMOOTH, d.smooth);
  get(t->RES_THICKNESS_SMOOTH_FILL, d.fill);
  get(t->RES_THICKNESS_SCALE_MM, d.scale_mm);
  get(t->RES_THICKNESS_SCALE_HU, d.scale_hu);
  get(t->RES_THICKNESS_SCALE_HUMM, d.scale_humm);
  get(t->RES_THICKNESS_ZERO_HU, d.zero_hu);
  get(t->RES_THICKNESS_OUTLIER_REJECT, d.outlier);
  get(t->RES_THICKNESS_DISTANCE_REJECT, d.distance);
  if (t->RES_XSCALE) d.xscale = t->RES_XSCALE->read();
  if (t->RES_YSCALE) d.yscale = t->RES_YSCALE->read();
  if (t->RES_DICOM_UNITS) d.units = t->RES_DICOM_UNITS->read() == "GY" ? 1.0 : 100.0;
  return d;
}

// A kind's arrays and scale: index = (value - b) x c (x m for mass).
struct kind_info {
  const std::vector<double>* value = nullptr;
  const std::vector<double>* error = nullptr;
  const std::vector<double>* multiplier = nullptr;  // mass: the thickness
  bool zero_missing = false;
  double c = 1.0, b = 0.0;
};

bool kind_of(const surface_interp& s, int kind, const display_settings& d, kind_info& k) {
  const double mm = 255.0 / (0.1 * double(d.scale_mm));
  const double hu = 255.0 / (d.units * double(d.scale_hu));
  const double hu0 = 100.0 * double(d.zero_hu);
  switch (kind) {
    case kind_thickness: k = {&s.cortical_thickness, &s.fit_error, nullptr, true, mm, 0.0}; break;
    case kind_mass:
      k = {&s.density, &s.fit_error, &s.cortical_thickness, false,
           255.0 / (10.0 * d.units * double(d.scale_humm)), hu0};
      break;
    case kind_density: k = {&s.density, &s.fit_error, nullptr, false, hu, hu0}; break;
    case kind_blur: k = {&s.blur, &s.blur_error, nullptr, true, mm, 0.0}; break;
    case kind_endo_thickness: k = {&s.endo_thickness, &s.endo_error, nullptr, true, mm, 0.0}; break;
    case kind_inner_density:
      k = {&s.inner_density, &s.inner_density_error, nullptr, false, hu, hu0};
      break;
    case kind_outer_gap: k = {&s.outer_gap, &s.outer_gap_error, nullptr, true, mm, 0.0}; break;
    case kind_outer_density:
      k = {&s.outer_density, &s.inner_density_error, nullptr, false, hu, hu0};
      break;
    case kind_inner_gap: k = {&s.inner_gap, &s.inner_gap_error, nullptr, true, mm, 0.0}; break;
    case kind_offset:
      k = {&s.surface_offset, &s.fit_error, nullptr, false, 255.0 / (0.2 * double(d.scale_mm)),
           -0.1 * double(d.scale_mm)};
      break;
    default: return false;
  }
  const size_t n = size_t(std::max(s.mesh.n_points, 0));
  auto has = [n](const std::vector<double>* a) { return !a || (a->size() == n && n > 0); };
  return has(k.value) && has(k.error) && has(k.multiplier);
}

uint8_t colour_index(double x) {
  if (!(x > 1.0)) return 1;  // NaN too: a value is there, at the bottom of the scale
  if (x > 255.0) return 255;
  return uint8_t(x);
}

// Both directions of every triangle edge, in compressed rows.
struct neighbours {
  std::vector<int32_t> start, list;
};

neighbours mesh_neighbours(const surface_mesh& m) {
  neighbours g;
  const size_t n = size_t(m.n_points);
  g.start.assign(n + 1, 0);
  auto valid = [&](const surface_triangle& t) {
    return t.a >= 0 && t.b >= 0 && t.c >= 0 && t.a < m.n_points && t.b < m.n_points &&
           t.c < m.n_points;
  };
  for (int32_t i = 0; i < m.n_triangles; ++i) {
    const surface_triangle& t = m.triangles[i];
    if (!valid(t)) continue;
    for (int32_t v : {t.a, t.b, t.c}) g.start[size_t(v) + 1] += 2;
  }
  for (size_t i = 0; i < n; ++i) g.start[i + 1] += g.start[i];
  g.list.resize(size_t(g.start[n]));
  std::vector<int32_t> fill(g.start.begin(), g.start.end() - 1);
  auto add = [&](int32_t a, int32_t b) { g.list[size_t(fill[size_t(a)]++)] = b; };
  for (int32_t i = 0; i < m.n_triangles; ++i) {
    const surface_triangle& t = m.triangles[i];
    if (!valid(t)) continue;
    add(t.a, t.b), add(t.b, t.a);
    add(t.b, t.c), add(t.c, t.b);
    add(t.c, t.a), add(t.a, t.c);
  }
  return g;
}

vec3_t triangle_normal(const vec3_t& a, const vec3_t& b, const vec3_t& c) {
  const vec3_t n = vec3_cross(b - a, c - b);
  const double l = vec3_length(n);
  return l > 0.0 ? n * (1.0 / l) : n;
}

}  // namespace

void surface_interp::reject_mask(std::vector<uint8_t>& mask, int kind) {
  const int32_t n = std::max(mesh.n_points, 0);
  mask.assign(size_t(n), 0);
  const display_settings d = read_settings();
  const size_t un = size_t(n);
  if (surface_offset.size() != un || n == 0) return;
  const bool angle_test = d.outlier <= 89, distance_test = d.distance <= 39;
  if (!angle_test && !distance_test) return;

  // The edge point E and the layer point L of every vertex.
  const bool has_thickness = cortical_thickness.size() == un;
  const bool outer = kind == kind_outer_gap && outer_gap.size() == un;
  const bool inner = kind == kind_inner_gap && inner_gap.size() == un && has_thickness;
  const bool directed = directions.size() == un;
  std::vector<vec3_t> E(un), L(un), P(un);
  for (size_t i = 0; i < un; ++i) {
    const surface_point& p = mesh.points[i];
    P[i] = {p.x, p.y, p.z};
    const vec3_t nrm{p.nx, p.ny, p.nz};
    double o = surface_offset[i] / 10.0, depth;
    if (outer)
      depth = o + outer_gap[i] / 10.0;
    else if (inner)
      depth = o - (inner_gap[i] + cortical_thickness[i]) / 10.0;
    else
      depth = o - (has_thickness ? cortical_thickness[i] : 0.0) / 10.0;
    vec3_t D = nrm;
    if (directed) {
      D = directions[i];
      // A direction nearly across the normal would throw the points far off.
      const double dn = std::max(vec3_dot(D, nrm), 0.5);
      o /= dn;
      depth /= dn;
    }
    E[i] = P[i] + D * o;
    L[i] = P[i] + D * depth;
  }

  if (angle_test) {
    const double t = std::cos(double(d.outlier) * NV_PI / 180.0);
    std::vector<int32_t> f(un, 0), k(un, 0);
    for (int32_t j = 0; j < mesh.n_triangles; ++j) {
      const surface_triangle& tr = mesh.triangles[j];
      if (tr.a < 0 || tr.b < 0 || tr.c < 0 || tr.a >= n || tr.b >= n || tr.c >= n) continue;
      const size_t a = size_t(tr.a), b = size_t(tr.b), c = size_t(tr.c);
      const vec3_t n0 = triangle_normal(P[a], P[b], P[c]);
      const vec3_t ne = triangle_normal(E[a], E[b], E[c]);
      const vec3_t nl = triangle_normal(L[a], L[b], L[c]);
      const bool folded =
          std::fabs(vec3_dot(n0, ne)) < t || std::fabs(vec3_dot(n0, nl)) < t;
      for (size_t v : {a, b, c}) {
        ++k[v];
        if (folded) ++f[v];
      }
    }
    const neighbours g = mesh_neighbours(mesh);

    // Connected components.
    std::vector<int32_t> component(un, -1), stack;
    int32_t components = 0;
    for (size_t s = 0; s < un; ++s) {
      if (component[s] >= 0) continue;
      component[s] = components;
      stack.assign(1, int32_t(s));
      while (!stack.empty()) {
        const int32_t v = stack.back();
        stack.pop_back();
        for (int32_t e = g.start[size_t(v)]; e < g.start[size_t(v) + 1]; ++e) {
          const int32_t u = g.list[size_t(e)];
          if (component[size_t(u)] < 0) component[size_t(u)] = components, stack.push_back(u);
        }
      }
      ++components;
    }

    // Regions of unfolded vertices (with their folded border) grown from
    // vertices that have some, not all, of their triangles folded.
    std::vector<int32_t> region(un, -1);  // -2: a seed
    std::vector<std::vector<int32_t>> members;
    std::vector<int32_t> region_component, region_seed;
    for (size_t j = 0; j < un; ++j) {
      if (region[j] != -1 || !(f[j] > 0 && f[j] < k[j])) continue;
      const int32_t r = int32_t(members.size());
      members.emplace_back();
      region[j] = -2;
      stack.assign(1, int32_t(j));
      while (!stack.empty()) {
        const int32_t v = stack.back();
        stack.pop_back();
        const bool from_clean = f[size_t(v)] == 0;
        for (int32_t e = g.start[size_t(v)]; e < g.start[size_t(v) + 1]; ++e) {
          const size_t u = size_t(g.list[size_t(e)]);
          if (region[u] != -1) continue;
          if (f[u] == 0) {
            region[u] = r;
            members[size_t(r)].push_back(int32_t(u));
            stack.push_back(int32_t(u));
          } else if (from_clean) {
            region[u] = r;
            members[size_t(r)].push_back(int32_t(u));
          }
        }
      }
      if (members[size_t(r)].empty()) {
        members.pop_back();
        f[j] = k[j];
      } else {
        region_component.push_back(component[j]);
        region_seed.push_back(int32_t(j));
      }
    }
    // Regions much smaller than the largest of their component go, with the
    // seed they were grown from, so that a folded-off patch goes whole.
    std::vector<size_t> largest(size_t(components), 0);
    for (size_t r = 0; r < members.size(); ++r)
      largest[size_t(region_component[r])] =
          std::max(largest[size_t(region_component[r])], members[r].size());
    for (size_t r = 0; r < members.size(); ++r)
      if (members[r].size() < largest[size_t(region_component[r])] / 8)
      {
        for (int32_t v : members[r]) f[size_t(v)] = k[size_t(v)];
        f[size_t(region_seed[r])] = k[size_t(region_seed[r])];
      }
    for (size_t v = 0; v < un; ++v)
      if (f[v] == k[v]) mask[v] = 1;
  }

  if (distance_test) {
    const double limit = double(d.distance) * (d.xscale + d.yscale) / 2.0;
    const bool centre = segment_length.size() == un && has_thickness;
    for (size_t v = 0; v < un; ++v) {
      if (mask[v]) continue;
      if (vec3_length(E[v] - P[v]) > limit)
        mask[v] = 1;
      else if (centre && cortical_thickness[v] / 2.0 - surface_offset[v] > segment_length[v] / 4.0)
        mask[v] = 1;
    }
  }
}

bool surface_interp::select_display_data(int kind, std::vector<double>* out_values,
                                         std::vector<double>* out_offsets,
                                         std::vector<double>* out_errors) {
  for (std::vector<double>* o : {out_values, out_offsets, out_errors})
    if (o) o->clear();
  const int32_t n = std::max(mesh.n_points, 0);
  const size_t un = size_t(n);
  const display_settings d = read_settings();
  kind_info k;
  if (fwhm_pending || !kind_of(*this, kind, d, k)) {
    if (compound_depth != 0.0) {
      compound_image_data();
    } else {
      for (int32_t i = 0; i < n; ++i) mesh.points[i].colour = 0;
    }
    return false;
  }
  if (smoothed_thickness.size() != un) smoothed_thickness.assign(un, 0.0);

  std::vector<uint8_t> rejected;
  reject_mask(rejected, kind);
  const std::vector<double>& value = *k.value;
  const std::vector<double>& error = *k.error;
  auto mult = [&](size_t i) { return k.multiplier ? (*k.multiplier)[i] : 1.0; };
  auto missing = [&](size_t i) {
    return error[i] == kNoValue || rejected[i] || (k.zero_missing && value[i] == 0.0);
  };

  for (size_t i = 0; i < un; ++i) {
    if (missing(i)) {
      mesh.points[i].colour = 0;
      smoothed_thickness[i] = 0.0;
      continue;
    }
    const double x = (value[i] - k.b) * mult(i);
    mesh.points[i].colour = colour_index(x * k.c);
    smoothed_thickness[i] = x + k.b;
  }

  const bool derived = source_object >= 0;
  const bool geometric =
      derived && (kind == kind_thickness || kind == kind_outer_gap || kind == kind_inner_gap);
  if (d.smooth < 1 || geometric) {
    if (out_errors) {
      *out_errors = error;
      for (size_t i = 0; i < un; ++i)
        if (rejected[i]) (*out_errors)[i] = kNoValue;
    }
    display_kind = kind;
    return true;
  }

  // Fill and smoothing.
  const long F = 100 - d.fill, S = d.smooth;
  const bool with_offsets = out_values && out_offsets && surface_offset.size() == un;
  std::vector<double> v(un, 0.0), w(un, 0.0), off(with_offsets ? un : 0, 0.0);
  for (size_t i = 0; i < un; ++i) {
    if (rejected[i] || error[i] == kNoValue) continue;
    v[i] = (value[i] - k.b) * mult(i);
    w[i] = 1.0 / (error[i] * error[i]);
    if (with_offsets) off[i] = surface_offset[i];
  }
  std::vector<double> vs(un), ws(un), os(with_offsets ? un : 0);
  std::vector<int32_t> valid(un), absent(un);
  const surface_triangle* tri = mesh.triangles;
  auto triangle_ok = [&](const surface_triangle& t) {
    return t.a >= 0 && t.b >= 0 && t.c >= 0 && t.a < n && t.b < n && t.c < n;
  };

  // One pass over the given triangles, updating the given vertices.
  auto pass = [&](const std::vector<int32_t>* triangles, const std::vector<int32_t>* vertices) {
    auto start = [&](size_t i) {
      vs[i] = 2.0 * w[i] * v[i];
      ws[i] = 2.0 * w[i];
      if (with_offsets) os[i] = 2.0 * w[i] * off[i];
      valid[i] = absent[i] = 0;
    };
    if (vertices)
      for (int32_t i : *vertices) start(size_t(i));
    else
      for (size_t i = 0; i < un; ++i) start(i);
    auto gather = [&](const surface_triangle& t) {
      if (!triangle_ok(t)) return;
      const size_t c[3] = {size_t(t.a), size_t(t.b), size_t(t.c)};
      for (int x = 0; x < 3; ++x)
        for (int y = 0; y < 3; ++y) {
          if (x == y) continue;
          const size_t a = c[x], b = c[y];
          if (w[b] != 0.0) {
            vs[a] += w[b] * v[b];
            ws[a] += w[b];
            if (with_offsets) os[a] += w[b] * off[b];
            if (F >= 1) ++valid[a];
          } else {
            ++absent[a];
          }
        }
    };
    if (triangles)
      for (int32_t j : *triangles) gather(tri[j]);
    else
      for (int32_t j = 0; j < mesh.n_triangles; ++j) gather(tri[j]);
    // Sums of vertices outside a fill pass's list are not used: only listed
    // vertices are updated, and their sums started above.
    auto update = [&](size_t i) {
      surface_point& p = mesh.points[i];
      smoothed_thickness[i] = 0.0;
      if (p.type == POINT_DUPLICATE || ws[i] == 0.0) {
        p.colour = 0;
        return;
      }
      long pct = 100;
      if (F >= 1 && valid[i] + absent[i] > 0) pct = long(valid[i]) * 100 / (valid[i] + absent[i]);
      if (pct < F) {
        v[i] = w[i] = 0.0;
        if (with_offsets) off[i] = 0.0;
        p.colour = 0;
        return;
      }
      v[i] = vs[i] / ws[i];
      w[i] = ws[i] / 2.0;
      if (with_offsets) off[i] = os[i] / ws[i];
      smoothed_thickness[i] = v[i] + k.b;
      p.colour = colour_index(v[i] * k.c);
    };
    if (vertices)
      for (int32_t i : *vertices) update(size_t(i));
    else
      for (size_t i = 0; i < un; ++i) update(i);
  };

  // Fill: only holes and the triangles touching them, lists narrowed pass
  // by pass, until nothing more gets filled.
  std::vector<int32_t> hole_vertices, hole_triangles;
  for (size_t i = 0; i < un; ++i)
    if (w[i] == 0.0) hole_vertices.push_back(int32_t(i));
  for (int32_t j = 0; j < mesh.n_triangles; ++j) {
    const surface_triangle& t = tri[j];
    if (triangle_ok(t) && (w[size_t(t.a)] == 0.0 || w[size_t(t.b)] == 0.0 || w[size_t(t.c)] == 0.0))
      hole_triangles.push_back(j);
  }
  // A vertex in a fill pass's list gathers only from the listed triangles;
  // the sums of unlisted vertices touched there are restarted before use.
  size_t previous = size_t(-1);
  while (!hole_vertices.empty()) {
    pass(&hole_triangles, &hole_vertices);
    hole_vertices.erase(std::remove_if(hole_vertices.begin(), hole_vertices.end(),
                                       [&](int32_t i) { return w[size_t(i)] != 0.0; }),
                        hole_vertices.end());
    hole_triangles.erase(
        std::remove_if(hole_triangles.begin(), hole_triangles.end(),
                       [&](int32_t j) {
                         const surface_triangle& t = tri[j];
                         return w[size_t(t.a)] != 0.0 && w[size_t(t.b)] != 0.0 && w[size_t(t.c)] != 0.0;
                       }),
        hole_triangles.end());
    const size_t z = hole_vertices.size();
    if (z == 0 || z == previous) break;
    previous = z;
  }
  for (long counter = 1; counter < S; ++counter) pass(nullptr, nullptr);

  if (with_offsets) {
    *out_values = v;
    *out_offsets = off;
  }
  if (out_errors) {
    out_errors->resize(un);
    for (size_t i = 0; i < un; ++i) (*out_errors)[i] = w[i] > 1e-20 ? 1.0 / std::sqrt(w[i]) : kNoValue;
  }
  display_kind = kind;
  return true;
}
