// A surface made from the cortex mapped over another object's surface: one
// edge of the cortex (or of the gaps beside it), or a shell between two
// edges, optionally capped into a solid where the source surface is open.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>
#include <vector>

#include <wx/log.h>

#include "data/objects.h"
#include "registry/resource_table.h"
#include "surfaces/surface_build.h"
#include "surfaces/surface_interp.h"

namespace {

constexpr double kNoValue = 1e10;

// Below this |unit normal . direction| (relative to the direction's length)
// a measuring line runs almost along the surface; such a vertex moves along
// its normal instead, as the layer files do.
constexpr double kMinDirectionCosine = 0.01;

enum layer_choice { kNone = 0, kOuterGapEdge = 1, kOuterEdge = 2, kInnerEdge = 3, kInnerGapEdge = 4 };

template <class T>
void allocate(std::vector<T>& v, size_t n, const char* what) {
  try {
    v.assign(n, T{});
  } catch (const std::bad_alloc&) {
    wxLogError("%s", what);
    std::exit(1);
  }
}

template <class T>
T* allocate_array(size_t n, const char* what) {
  T* p = new (std::nothrow) T[n]();
  if (!p) {
    wxLogError("%s", what);
    std::exit(1);
  }
  return p;
}

vec3_t pos(const surface_point& p) { return {p.x, p.y, p.z}; }

}  // namespace

surface_interp* build_cortical_layer_surface(int object, int source_object, int smoothing,
                                             interp_progress* progress) {
  auto* s = new surface_interp(object);
  s->source_object = source_object;
  if (!resource_table || source_object < 0 || source_object >= resource_table_t::kSurfaceCount ||
      !resource_table->RES_SURFACE[source_object])
    return s;
  const resource_table_t& t = *resource_table;
  surface_interp* src = t.RES_SURFACE[source_object]->read();
  if (!src || src == s) return s;
  const surface_mesh& sm = src->mesh;
  const int32_t np = sm.n_points;
  const size_t un = size_t(std::max(np, 0));
  if (np <= 0 || sm.n_triangles <= 0 || !sm.points || !sm.triangles ||
      src->cortical_thickness.size() != un || src->surface_offset.size() != un)
    return s;
  s->calibration = src->calibration;
  s->x_scale = src->x_scale, s->y_scale = src->y_scale, s->z_scale = src->z_scale;

  // Choices, with the gap edges falling back to the cortex's own edges.
  long outer = std::clamp(long(t.RES_THICKNESS_CREATE_OUTER->read()), 0L, 4L);
  long inner = std::clamp(long(t.RES_THICKNESS_CREATE_INNER->read()), 0L, 4L);
  const bool has_outer_gap = src->outer_gap.size() == un;
  const bool has_inner_gap = src->inner_gap.size() == un;
  auto fall_back = [&](long c) {
    if (c == kOuterGapEdge && !has_outer_gap) return long(kOuterEdge);
    if (c == kInnerGapEdge && !has_inner_gap) return long(kInnerEdge);
    return c;
  };
  outer = fall_back(outer), inner = fall_back(inner);
  if (outer == kNone && inner == kNone) return s;
  const bool both = outer != kNone && inner != kNone;
  const bool uses_outer_gap = outer == kOuterGapEdge || inner == kOuterGapEdge;
  const bool uses_inner_gap = outer == kInnerGapEdge || inner == kInnerGapEdge;
  const bool with_density = src->density.size() == un &&
                            (!uses_outer_gap || src->outer_density.size() == un) &&
                            (!uses_inner_gap || src->inner_density.size() == un);
  const long disp_map = t.RES_THICKNESS_DISP_MAP->read();
  const bool smoothed = t.RES_THICKNESS_SMOOTH->read() >= 1;

  // Values and errors of the kinds the layers need, smoothed for display when asked.
  std::vector<double> thick_v, thick_o, thick_e, og_v, og_o, og_e, ig_v, ig_o, ig_e;
  auto select = [&](int kind, std::vector<double>& v, std::vector<double>& o,
                    std::vector<double>& e) {
    src->select_display_data(kind, smoothed ? &v : nullptr, smoothed ? &o : nullptr, &e);
    if (v.size() != un) v.clear();
    if (o.size() != un) o.clear();
    if (e.size() != un) e.assign(un, 0.0);
  };
  if (uses_outer_gap) select(kind_outer_gap, og_v, og_o, og_e);
  if (uses_inner_gap) select(kind_inner_gap, ig_v, ig_o, ig_e);
  select(kind_thickness, thick_v, thick_o, thick_e);
  const std::vector<double>& o_src = !thick_o.empty() ? thick_o : src->surface_offset;
  const std::vector<double>& t_src = !thick_v.empty() ? thick_v : src->cortical_thickness;
  const std::vector<double>& go_src = !og_v.empty() ? og_v : src->outer_gap;
  const std::vector<double>& gi_src = !ig_v.empty() ? ig_v : src->inner_gap;

  // Counts and room for caps.
  int32_t n = 0, rims = 0, boundaries = 0, m = 0;
  for (int32_t i = 0; i < np; ++i) {
    const int32_t type = sm.points[i].type;
    if (type != POINT_DUPLICATE) ++n;
    if (type == POINT_RIM) ++rims;
    if (type == POINT_BOUNDARY) ++boundaries;
  }
  for (int32_t k = 0; k < sm.n_triangles; ++k)
    if (sm.triangles[k].type != 2) ++m;
  const bool caps = t.RES_THICKNESS_CREATE_CAPS->read() && (rims > 0 || boundaries > 0);
  const int32_t n_points = both ? 2 * n : n;
  const int32_t n_triangles = both ? 2 * m : m;
  s->double_layer = both && !caps;
  // Every loop vertex (rim or boundary) brings at most two points and two
  // triangles, and each loop one centre.
  const int32_t loop_room = caps ? 2 * (rims + boundaries) + (rims + boundaries) : 0;
  const size_t point_room = size_t(n_points) + size_t(loop_room);
  const size_t triangle_room = size_t(n_triangles) + size_t(loop_room);

  surface_mesh& mesh = s->mesh;
  mesh.points = allocate_array<surface_point>(point_room, "Not able to malloc point list");
  mesh.triangles =
      allocate_array<surface_triangle>(triangle_room, "Not able to malloc triangle list");
  allocate(s->fit_error, point_room, "Not able to malloc thickness error list");
  allocate(s->cortical_thickness, point_room, "Not able to malloc thickness list");
  allocate(s->smoothed_thickness, point_room, "Not able to malloc thickness list");
  if (with_density) allocate(s->density, point_room, "Not able to malloc density list");

  // Layer points.
  const bool has_dirs = src->directions.size() == un;
  const bool has_smoothed = src->smoothed_thickness.size() == un;
  std::vector<int32_t> index(un, -1);
  int32_t next = 0;
  for (int32_t v = 0; v < np; ++v) {
    const surface_point& p = sm.points[v];
    if (p.type == POINT_DUPLICATE) continue;
    const size_t k = size_t(v);
    const vec3_t P = pos(p), N{p.nx, p.ny, p.nz};
    vec3_t D = N;
    double a = 10.0;
    if (has_dirs) {
      const vec3_t& dir = src->directions[k];
      const double cosine = vec3_dot(N, dir);
      if (std::fabs(cosine) >= kMinDirectionCosine * vec3_length(dir) && cosine != 0.0) {
        D = dir;
        a = 10.0 * std::fabs(cosine);
      }
    }
    if (src->reversed) D = D * -1.0;
    const double o = o_src[k], th = t_src[k];
    auto layer_point = [&](long c) -> vec3_t {
      switch (c) {
        case kOuterGapEdge: return P + D * ((o + go_src[k]) / a);
        case kOuterEdge: return P + D * (o / a);
        case kInnerEdge: return P + D * ((o - th) / a);
        case kInnerGapEdge: return P + D * ((o - th - gi_src[k]) / a);
        default: return P;
      }
    };
    auto error = [&](long c) {
      switch (c) {
        case kOuterGapEdge: return og_e[k];
        case kOuterEdge:
        case kInnerEdge: return thick_e[k];
        case kInnerGapEdge: return ig_e[k];
        default: return 0.0;
      }
    };
    auto rho = [&](long c) {
      switch (c) {
        case kOuterGapEdge: return src->outer_density[k];
        case kOuterEdge:
        case kInnerEdge: return src->density[k];
        case kInnerGapEdge: return src->inner_density[k];
        default: return 0.0;
      }
    };
    const vec3_t outer_point = layer_point(outer), inner_point = layer_point(inner);
    const double e = thick_e[k] + error(outer) + error(inner);
    const double r = with_density ? src->density[k] + rho(outer) + rho(inner) : 0.0;
    const int32_t i = next++;
    index[k] = i;
    auto place = [&](int32_t at, const vec3_t& x, const vec3_t& nrm) {
      surface_point& q = mesh.points[at];
      q.x = x.x, q.y = x.y, q.z = x.z;
      q.nx = nrm.x, q.ny = nrm.y, q.nz = nrm.z;
      q.type = p.type;
      q.colour = p.colour;
    };
    const size_t ui = size_t(i);
    if (both) {
      place(i, outer_point, N);
      place(i + n, inner_point, N * -1.0);
      s->cortical_thickness[ui] = vec3_length(outer_point - inner_point) * a;
      s->fit_error[ui] = e / 3.0;
      if (with_density) s->density[ui] = r / 3.0;
    } else if (inner != kNone) {
      place(i, inner_point, N * -1.0);
      s->fit_error[ui] = e / 2.0;
    } else {
      place(i, outer_point, N);
      s->fit_error[ui] = e / 2.0;
    }
    s->smoothed_thickness[ui] = has_smoothed ? src->smoothed_thickness[k] : 0.0;
    if (both) {
      const size_t twin = ui + size_t(n);
      s->cortical_thickness[twin] = s->cortical_thickness[ui];
      s->fit_error[twin] = s->fit_error[ui];
      if (with_density) s->density[twin] = s->density[ui];
      s->smoothed_thickness[twin] = s->smoothed_thickness[ui];
    }
  }
  // A duplicate vertex stands for the vertex at the same place before it, so
  // a kept triangle that uses one uses that vertex.
  for (int32_t v = 0; v < np; ++v) {
    if (sm.points[v].type != POINT_DUPLICATE) continue;
    const vec3_t P = pos(sm.points[v]);
    for (int32_t w = v - 1; w >= 0; --w)
      if (index[size_t(w)] >= 0 && vec3_length(pos(sm.points[w]) - P) == 0.0) {
        index[size_t(v)] = index[size_t(w)];
        break;
      }
    if (index[size_t(v)] < 0)
      for (int32_t w = v - 1; w >= 0; --w)
        if (index[size_t(w)] >= 0) {
          index[size_t(v)] = index[size_t(w)];
          break;
        }
    if (index[size_t(v)] < 0)
      for (int32_t w = v + 1; w < np; ++w)
        if (index[size_t(w)] >= 0) {
          index[size_t(v)] = index[size_t(w)];
          break;
        }
  }

  // Triangles; the inner layer faces the other way, so that the shell's
  // faces point out of the cortex.
  int32_t j = 0;
  for (int32_t k = 0; k < sm.n_triangles; ++k) {
    const surface_triangle& tri = sm.triangles[k];
    if (tri.type == 2) continue;
    auto at = [&](int32_t v) { return v >= 0 && v < np ? std::max(index[size_t(v)], 0) : 0; };
    const int32_t a = at(tri.a), b = at(tri.b), c = at(tri.c);
    surface_triangle& out = mesh.triangles[j];
    if (outer != kNone)
      out = {a, b, c, 0};
    else
      out = {b, a, c, 0};
    if (both) mesh.triangles[j + m] = {b + n, a + n, c + n, 0};
    ++j;
  }
  mesh.n_points = n_points;
  mesh.n_triangles = n_triangles;

  // The source shows what it showed before.
  if (disp_map != src->display_kind) src->select_display_data(int(disp_map), nullptr, nullptr, nullptr);

  wxString message = "Currently calculating surface of ";
  if (t.RES_OBJECT && object >= 0 && object <= 200)
    if (const contour_object* objects = t.RES_OBJECT->read()) message += objects[object].name;
  if (progress) progress->update(200, message);
  std::vector<std::vector<int32_t>> loops;
  if (caps) s->find_boundary_loops(loops, both);
  if (progress) progress->update(400, message);
  // fit_error exists, so the smoothing fills vertices without data first.
  const int p = smoothing * (smoothing + 1) / 2;
  if (p > 0) s->smooth_surface(p);
  if (progress) progress->update(600, message);

  if (caps) {
    int32_t pts = mesh.n_points, tris = mesh.n_triangles;
    auto add_point = [&](const vec3_t& x, const vec3_t& nrm) {
      if (size_t(pts) >= point_room) return -1;
      surface_point& q = mesh.points[pts];
      q = surface_point{};
      q.x = x.x, q.y = x.y, q.z = x.z;
      q.nx = nrm.x, q.ny = nrm.y, q.nz = nrm.z;
      q.type = POINT_DUPLICATE;
      q.colour = 0;
      s->cortical_thickness[size_t(pts)] = 0.0;
      s->smoothed_thickness[size_t(pts)] = 0.0;
      if (with_density) s->density[size_t(pts)] = 0.0;
      s->fit_error[size_t(pts)] = kNoValue;
      return pts++;
    };
    auto add_triangle = [&](int32_t a, int32_t b, int32_t c) {
      if (a < 0 || b < 0 || c < 0 || size_t(tris) >= triangle_room) return;
      mesh.triangles[tris++] = {a, b, c, 2};
    };
    for (const std::vector<int32_t>& loop : loops) {
      const size_t L = loop.size();
      if (L < 3) continue;
      vec3_t centre, q;
      for (int32_t v : loop) centre += pos(mesh.points[v]);
      centre = centre * (1.0 / double(L));
      for (size_t k = 0; k < L; ++k)
        q += vec3_cross(pos(mesh.points[loop[k]]), pos(mesh.points[loop[(k + L - 1) % L]]));
      if (vec3_length(q) != 0.0) q = q * (1.0 / vec3_length(q));
      if (!both) {
        const int32_t centre_index = add_point(centre, q);
        std::vector<int32_t> copies(L);
        for (size_t k = 0; k < L; ++k) copies[k] = add_point(pos(mesh.points[loop[k]]), q);
        for (size_t k = 0; k < L; ++k) add_triangle(centre_index, copies[(k + 1) % L], copies[k]);
      } else {
        std::vector<int32_t> O(L), I(L);
        for (size_t k = 0; k < L; ++k) {
          const int32_t v = loop[k];
          vec3_t nrm = q;
          if (mesh.points[v].type == POINT_BOUNDARY) {
            auto X = [&](size_t at) { return pos(mesh.points[loop[at % L]]); };
            auto Y = [&](size_t at) { return pos(mesh.points[loop[at % L] + n]); };
            const vec3_t c = vec3_cross(X(k + 1) - Y(k + L - 1), X(k + L - 1) - Y(k + 1));
            nrm = vec3_length(c) != 0.0 ? c * (1.0 / vec3_length(c)) : c;
          }
          O[k] = add_point(pos(mesh.points[v]), nrm);
          I[k] = add_point(pos(mesh.points[v + n]), nrm);
        }
        for (size_t k = 0; k < L; ++k) {
          const size_t k1 = (k + 1) % L;
          add_triangle(O[k], I[k], I[k1]);
          add_triangle(O[k], I[k1], O[k1]);
        }
      }
    }
    mesh.n_points = pts;
    mesh.n_triangles = tris;
  }
  loops.clear();
  if (progress) progress->update(800, message);

  s->select_display_data(int(disp_map), nullptr, nullptr, nullptr);
  s->triangle_volume();
  s->map_curves_to_surface(true);
  return s;
}
