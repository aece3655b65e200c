// Comparing a surface with another one (or with its own facing wall) along
// every vertex's measuring direction, and the line probe that finds where a
// line crosses one surface.
#include <algorithm>
#include <functional>
#include <cmath>
#include <memory>
#include <vector>

#include "data/dynabuf.h"
#include "data/objects.h"
#include "medical/dicom_utility.h"
#include "registry/resource_table.h"
#include "surfaces/bin_grid.h"
#include "surfaces/surface_interp.h"
#include "surfaces/surface_sources.h"
#include "thickness/surface_mapping.h"
#include "thickness/thickness.h"

namespace {

constexpr double kNoValue = 1e10;

wxString object_name(int object) {
  if (!resource_table || !resource_table->RES_OBJECT || object < 0 || object > 200) return {};
  const contour_object* objects = resource_table->RES_OBJECT->read();
  return objects ? objects[object].name : wxString();
}

vec3_t unit_or_same(const vec3_t& v) {
  const double l = vec3_length(v);
  return l > 0.0 ? v * (1.0 / l) : v;
}

// What a vertex's measured value reads as in the probe's description.
// One frame's plane and pixels for sampling along a segment.
struct sampled_frame {
  vec3_t origin, column, row, normal;
  const uint16_t* raw = nullptr;
  const uint8_t* display = nullptr;
  double value(long index) const { return raw ? double(raw[index]) : double(display[index]); }
};

// Crossings found along a vertex's line: (depth in mm from the start, point).
struct crossing_list {
  std::vector<double> depths;
  std::vector<vec3_t> points;
  void clear() { depths.clear(), points.clear(); }
  size_t size() const { return depths.size(); }
};

}  // namespace

void surface_interp::query_line(const vec3_t& A, const vec3_t& B, std::vector<double>& depths,
                                std::vector<vec3_t>& points, std::vector<vec3_t>& normals,
                                std::vector<vec3_t>& map_directions, std::vector<int>& objects,
                                std::vector<wxString>& texts, double maxdist) const {
  line_probe_hits hits;
  hits.depths.swap(depths);
  hits.points.swap(points);
  hits.normals.swap(normals);
  hits.directions.swap(map_directions);
  hits.objects.swap(objects);
  hits.texts.swap(texts);
  query_line(A, B, hits, maxdist);
  depths.swap(hits.depths);
  points.swap(hits.points);
  normals.swap(hits.normals);
  map_directions.swap(hits.directions);
  objects.swap(hits.objects);
  texts.swap(hits.texts);
}

void surface_interp::map_intersections(int alternate, thickness_mapping_hooks* hooks) {
  if (!resource_table || !frame_store) return;
  resource_table_t& t = *resource_table;
  const int32_t n = mesh.n_points;
  if (n <= 0 || mesh.n_triangles <= 0 || !mesh.points || !mesh.triangles) return;
  if (!t.RES_POS_REC->read()) return;
  const long frames = t.RES_BUF_FRAMES->read();
  const long width = t.RES_BUF_WIDTH->read(), height = t.RES_BUF_HEIGHT->read();
  const double sx = t.RES_XSCALE->read(), sy = t.RES_YSCALE->read();
  if (frames < 1 || width < 1 || height < 1 || !(sx > 0.0) || !(sy > 0.0)) return;
  if (thickness_mapping_running()) return;

  // Frames: each one's plane in world coordinates and its pixels, the raw
  // values where it has them.
  matrix4_t C = calibration;
  if (C[15] == 0.0) C = surface_calibration_from_resources();
  std::vector<sampled_frame> planes(static_cast<size_t>(frames));
  std::vector<frame_image_ref> held(static_cast<size_t>(frames));  // keeps the pixels alive
  for (long k = 0; k < frames; ++k) {
    position_ref p = frame_store->positioncp(int32_t(k));
    held[size_t(k)] = frame_store->imagecp(int32_t(k));
    if (!p || !held[size_t(k)]) return;
    const uint8_t* display = frame_image_t::display_data(held[size_t(k)]);
    if (!display || held[size_t(k)]->size < width * height) return;
    matrix4_t P, M;
    matrix4_from_position_t(P, *p);
    matrix4_multiply(P, M, C);
    sampled_frame& f = planes[size_t(k)];
    f.origin = matrix4_get_translation(M);
    f.column = matrix4_get_x_axis(M);
    f.row = matrix4_get_y_axis(M);
    f.normal = matrix4_get_z_axis(M);
    f.display = display;
    f.raw = held[size_t(k)]->raw;
  }
  const bool sixteen = planes.back().raw != nullptr;
  // Frames of a mixed data set without raw values are read from their display bytes.

  const double zscale = t.RES_ZSCALE->read();
  const double slab = zscale != 0.0 ? std::fabs(zscale) : 5.0 * (1.0 / sx + 1.0 / sy);
  const double hum = t.RES_DICOM_HUM->read(), hub = t.RES_DICOM_HUB->read();
  const double B = t.RES_THICKNESS_B->read();
  const bool limited = sixteen && B != kNoValue && hum != 0.0;
  const double limit = limited ? (B - hub) / hum : 0.0;
  const double padding = double(dicom_utility::padding_value);
  const bool padded = sixteen && dicom_utility::padding_value != 0;

  // The surface to measure against.
  surface_interp* other = nullptr;
  if (alternate >= 0 && alternate < resource_table_t::kSurfaceCount && t.RES_SURFACE[alternate])
    other = t.RES_SURFACE[alternate]->read();
  if (other && (other->mesh.n_points <= 0 || other->mesh.n_triangles <= 0)) other = nullptr;
  const bool self = other == nullptr || other == this;
  surface_interp& target = self ? *this : *other;
  const bool paired = self && double_layer && n % 2 == 0;
  bool linked = false;
  if (self) {
    linked = paired;
  } else if (other->mesh.n_triangles == mesh.n_triangles && other->mesh.n_points == n) {
    // Matching vertex counts too: without them vertex k need not exist there.
    const int32_t step = std::max(1, mesh.n_triangles / 100);
    linked = true;
    for (int32_t k = 0; k < mesh.n_triangles && linked; k += step)
      linked = other->mesh.triangles[k].c == mesh.triangles[k].c;
  }

  const wxString caption = (linked ? "Linking points between " : "Mapping intersections between ") +
                           object_name(object) + " and " + object_name(target.object);
  int32_t unit = 1;
  while (n / unit > 30000) unit *= 10;
  if (hooks)
    hooks->open(caption,
                wxString::Format("Calculating intersections for point %i of %li.\n\n\n", 0, long(n)),
                n / unit);

  // Search structure.
  std::unique_ptr<bin_grid> grid;
  double probe_reach = 0.0;
  if (!linked) {
    if (mesh.n_triangles > 999) {
      grid = std::make_unique<bin_grid>(&target.mesh, false);
    } else {
      const surface_mesh& m = target.mesh;
      for (int32_t k = 0; k < m.n_triangles; ++k) {
        const surface_triangle& tri = m.triangles[k];
        if (tri.a < 0 || tri.b < 0 || tri.c < 0 || tri.a >= m.n_points || tri.b >= m.n_points ||
            tri.c >= m.n_points)
          continue;
        const surface_point &a = m.points[tri.a], &b = m.points[tri.b], &c = m.points[tri.c];
        const vec3_t A{a.x, a.y, a.z};
        probe_reach = std::max({probe_reach, vec3_length(vec3_t{b.x, b.y, b.z} - A),
                                vec3_length(vec3_t{c.x, c.y, c.z} - A)});
      }
    }
  }

  const size_t un = size_t(n);
  const long map_direction = t.RES_THICKNESS_MAP_DIRECTION->read();
  const bool nearest = !self && grid && directions.size() != un && map_direction == 3;
  if (nearest) directions.assign(un, vec3_t{});
  const bool use_directions = directions.size() == un && !nearest;
  const bool reverse = t.RES_THICKNESS_REVERSE->read();
  const long kind = t.RES_THICKNESS_DISP_MAP->read();
  const double line = t.RES_THICKNESS_LINE->read();

  const bool fresh = surface_offset.size() != un;
  segment_length.assign(un, 0.0);
  if (fresh) {
    cortical_thickness.assign(un, 0.0);
    smoothed_thickness.assign(un, 0.0);
    fit_error.assign(un, kNoValue);
    density.assign(un, 0.0);
    for (std::vector<double>* a :
         {&surface_offset, &blur, &blur_error, &endo_thickness, &endo_error, &outer_gap,
          &outer_gap_error, &inner_gap, &inner_gap_error, &inner_density, &inner_density_error,
          &outer_density})
      std::vector<double>().swap(*a);
  }
  fwhm_pending = false;
  reversed = reverse;

  crossing_list found;
  std::vector<double> probe_depths;
  std::vector<vec3_t> probe_points, probe_normals, probe_dirs;
  std::vector<int> probe_objects;
  std::vector<wxString> probe_texts;
  auto crossings = [&](const vec3_t& from, const vec3_t& to) {
    found.clear();
    if (grid) {
      grid->line_crossings(from, to, found.depths, found.points);
      return;
    }
    probe_depths.clear(), probe_points.clear(), probe_normals.clear(), probe_dirs.clear();
    probe_objects.clear(), probe_texts.clear();
    target.query_line(from, to, probe_depths, probe_points, probe_normals, probe_dirs,
                      probe_objects, probe_texts, probe_reach);
    found.depths.swap(probe_depths);
    found.points.swap(probe_points);
  };

  // Density sampling buffers: per sample the nearest value on either side of
  // the frame planes.
  std::vector<double> pos_d, neg_d, pos_v, neg_v;
  std::vector<int32_t> pos_f, neg_f;
  std::vector<std::pair<double, int32_t>> near;
  const int32_t last = paired ? n / 2 : n;
  int64_t last_update = hooks ? hooks->now_ms() : 0;
  for (int32_t k = 0; k < last; ++k) {
    if (hooks) {
      const int64_t now = hooks->now_ms();
      if (now - last_update > 200 || k == last - 1) {
        last_update = now;
        if (!hooks->update(k / unit, wxString::Format("Calculating intersections for point %li "
                                                      "of %li.\n",
                                                      long(k), long(n))))
          break;
      }
    }
    const surface_point& sp = mesh.points[k];
    if (sp.type == POINT_DUPLICATE) continue;
    vec3_t P{sp.x, sp.y, sp.z};
    vec3_t nrm{sp.nx, sp.ny, sp.nz};
    vec3_t D = use_directions ? directions[size_t(k)] : nrm;
    if (reverse) nrm = nrm * -1.0, D = D * -1.0;

    bool have = false;
    vec3_t H;
    if (linked) {
      const int32_t j = self ? (k < n / 2 ? k + n / 2 : k - n / 2) : k;
      const surface_point& q = target.mesh.points[j];
      H = {q.x, q.y, q.z};
      have = true;
    } else if (self) {
      crossings(P, P - D);
      // Past the run that leads to the vertex itself, the next crossing is
      // the facing wall.
      size_t i = 0;
      while (i + 1 < found.size() && std::fabs(found.depths[i + 1]) < std::fabs(found.depths[i])) ++i;
      if (i + 1 < found.size()) H = found.points[i + 1], have = true;
    } else if (nearest) {
      vec3_t none{};
      double distance = kNoValue;
      vec3_t hit, hit_normal;
      grid->intersect_line(P, none, 0.0, line >= 10.0 ? 0.0 : line, distance, hit, hit_normal,
                           false);
      vec3_t dir = nrm;
      if (distance != kNoValue) {
        const vec3_t away = P - hit;
        const double l = vec3_length(away);
        if (l > 0.0) dir = away * (1.0 / l);
      }
      directions[size_t(k)] = dir;
      D = dir;
      if (distance != kNoValue) H = hit, have = true;
    } else {
      crossings(P, P - D);
    }
    if (!self && !nearest) {
      if (kind == kind_outer_gap) {
        if (found.size() >= 2) P = found.points[0], H = found.points[1], have = true;
      } else {
        for (size_t i = 0; i < found.size() && !have; ++i)
          if (found.depths[i] >= 0.0) H = found.points[i], have = true;
      }
    }

    const size_t kk = size_t(k), twin = paired ? kk + un / 2 : kk;
    double g = line;
    bool measured = false;
    if (have) {
      const vec3_t PH = P - H;
      const double len = vec3_length(PH);
      segment_length[kk] = 10.0 * len;
      if (fresh) {
        const vec3_t n_unit = unit_or_same(nrm);
        if (len > 0.0) {
          cortical_thickness[kk] = std::fabs(vec3_dot(PH * (1.0 / len), n_unit)) * 10.0 * len;
          fit_error[kk] = 1.0;
          measured = true;
        } else {
          // A facing point on the vertex itself: no wall between them.
          cortical_thickness[kk] = 0.0;
          fit_error[kk] = kNoValue;
        }
      }
      if (paired) {
        segment_length[twin] = segment_length[kk];
        if (fresh) cortical_thickness[twin] = cortical_thickness[kk], fit_error[twin] = fit_error[kk];
      }
      g = fresh ? cortical_thickness[kk] / 10.0 : len;
    } else {
      H = P - unit_or_same(D) * g;
    }
    if (!fresh) continue;

    // Density along P..H: N samples, each taking the nearest frame value on
    // either side of the frame planes.
    const double count = std::floor(g * (1.0 / sx + 1.0 / sy) / 2.0) + 2.0;
    if (!(count >= 2.0 && count < 1e6)) continue;
    const size_t N = size_t(count);
    pos_d.assign(N, 1e10), neg_d.assign(N, -1e10), pos_v.assign(N, 0.0), neg_v.assign(N, 0.0);
    pos_f.assign(N, -1), neg_f.assign(N, -1);
    // The frames near enough, nearest to the segment first: once every
    // sample holds a frame on both sides nearer than the next frame can come,
    // the rest cannot change anything. Equal distances go to the frame
    // listed first, whatever the order of the visits.
    near.clear();
    for (size_t j = 0; j < planes.size(); ++j) {
      const sampled_frame& f = planes[j];
      const double tP = vec3_dot(P - f.origin, f.normal), tH = vec3_dot(H - f.origin, f.normal);
      if (!(tP * tH < 0.0 || std::fabs(tP) < slab || std::fabs(tH) < slab)) continue;
      near.push_back({tP * tH < 0.0 ? 0.0 : std::min(std::fabs(tP), std::fabs(tH)), int32_t(j)});
    }
    std::make_heap(near.begin(), near.end(), std::greater<>());
    double reach = 1e10;  // farthest of the samples' nearest frames so far
    while (!near.empty()) {
      std::pop_heap(near.begin(), near.end(), std::greater<>());
      const auto [lower, j] = near.back();
      near.pop_back();
      if (lower > reach) break;
      const sampled_frame& f = planes[size_t(j)];
      const vec3_t op = P - f.origin, oh = H - f.origin;
      const double tP = vec3_dot(op, f.normal), tH = vec3_dot(oh, f.normal);
      const double xP = vec3_dot(op, f.column), yP = vec3_dot(op, f.row);
      const double xH = vec3_dot(oh, f.column), yH = vec3_dot(oh, f.row);
      for (size_t i = 0; i < N; ++i) {
        const double w = double(i) / double(N - 1);
        const double tt = tP + w * (tH - tP);
        if (tt >= 0.0 ? !(tt < pos_d[i] || (tt == pos_d[i] && j < pos_f[i]))
                      : !(tt > neg_d[i] || (tt == neg_d[i] && j < neg_f[i])))
          continue;
        const double col = std::floor((xP + w * (xH - xP)) / sx + 0.5);
        const double row = std::floor((yP + w * (yH - yP)) / sy + 0.5);
        if (!(col >= 0.0 && col < double(width) && row >= 0.0 && row < double(height))) continue;
        const double v = f.value(long(col) + width * long(row));
        if (tt >= 0.0)
          pos_d[i] = tt, pos_v[i] = v, pos_f[i] = j;
        else
          neg_d[i] = tt, neg_v[i] = v, neg_f[i] = j;
      }
      reach = 0.0;
      for (size_t i = 0; i < N; ++i) reach = std::max({reach, pos_d[i], -neg_d[i]});
    }
    double sum[2] = {0.0, 0.0};
    long counted[2] = {0, 0};
    for (size_t i = N; i-- > 0;) {
      bool has_pos = pos_d[i] != 1e10, has_neg = neg_d[i] != -1e10;
      if (sixteen) {
        auto dropped = [&](double v) { return (padded && v == padding) || (limited && v > limit); };
        if (has_pos && dropped(pos_v[i])) has_pos = false;
        if (has_neg && dropped(neg_v[i])) has_neg = false;
      }
      double v;
      if (has_pos && has_neg && pos_d[i] != neg_d[i])
        v = (pos_d[i] * neg_v[i] - neg_d[i] * pos_v[i]) / (pos_d[i] - neg_d[i]);
      else if (has_pos)
        v = pos_v[i];
      else if (has_neg)
        v = neg_v[i];
      else
        continue;
      // On a paired surface the half nearer H belongs to the twin vertex.
      const int side = paired && i >= N / 2 ? 1 : 0;
      sum[side] += v, ++counted[side];
    }
    // A vertex without a facing wall keeps its density but stays unmeasured,
    // so that averages and smoothing of the thickness pass it over.
    auto store = [&](size_t at, int side) {
      if (counted[side] > 0) {
        double mean = sum[side] / double(counted[side]);
        if (sixteen) mean = mean * hum + hub;
        density[at] = mean;
        fit_error[at] = measured ? 1.0 : kNoValue;
      } else {
        density[at] = 0.0;
        fit_error[at] = kNoValue;
      }
    };
    if (paired) {
      store(kk, 0);
      store(twin, 1);
    } else {
      store(kk, 0);
    }
  }
  grid.reset();
  if (hooks) hooks->close();

  if (t.RES_THICKNESS)
    if (thickness* engine = t.RES_THICKNESS->read()) engine->clear();
  t.RES_REDISPLAY_THICKNESS->write();
  base_res_t::make_pending_writes_happen();
}
