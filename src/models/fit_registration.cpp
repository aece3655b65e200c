// The registration iterations that fit the model to the data points: a
// similarity fit of the registration, a fit of the shape-model mode weights,
// or a local fit in which every vertex neighbourhood gets its own small rigid
// correction, smoothed over the surface.
#include <wx/log.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>

#include "data/hm_lmder.h"
#include "models/fit_model.h"
#include "registry/res_values.h"
#include "registry/resource_table.h"
#include "surfaces/surface_interp.h"

namespace {

// The model being fitted; the residual functions reach it through here.
fit_model* fitting = nullptr;

fit_model* model_in_fit() {
  if (fitting) return fitting;
  return resource_table ? resource_table->RES_FIT_MODEL->read() : nullptr;
}

constexpr int kLinear[9] = {0, 1, 2, 4, 5, 6, 8, 9, 10};
constexpr double kFitTolerance = 0.1;

void negate_first_row(matrix4_t& m) {
  m[0] = -m[0];
  m[4] = -m[4];
  m[8] = -m[8];
}

double search_range2(const fit_model& f) {
  const double r = f.page.search_range / f.range_divisor;
  return r * r;
}

// The three residuals of model vertex j placed at p.
void vertex_residual(const fit_model& f, size_t j, const vec3_t& p, double range2, double* out) {
  const fit_mesh_t& model = f.model;
  vec3_t d;
  if (!(j < model.match_distance2.size() && model.match_distance2[j] < range2)) {
    d = {};
  } else if (j < model.landmark_vertices.size() && model.landmark_vertices[j] && f.landmark_weight > 0.0) {
    d = vec3_scalar_mul(f.landmark_weight, p - model.landmark_targets[j]);
  } else {
    const std::vector<vec3_t>& pts = f.data.active_points();
    const size_t k = static_cast<size_t>(model.match_index[j]);
    d = k < pts.size() ? p - pts[k] : vec3_t{};
  }
  out[0] = d.x, out[1] = d.y, out[2] = d.z;
}

// The shape of mode weights x, coordinate i.
double mode_shape(const fit_model& f, size_t i, const double* x, int32_t n) {
  double v = f.ssm_mean[i];
  const float* row = &f.ssm_basis[i * static_cast<size_t>(f.mode_count)];
  for (int32_t k = 0; k < n; ++k) v += static_cast<double>(row[k]) * x[k];
  return v;
}

void local_transform(matrix4_t& t, const double* x, int32_t n) {
  if (n >= 6)
    matrix4_from_position(t, x[0], x[1], x[2], x[3], x[4], x[5]);
  else
    matrix4_translation(t, x[0], x[1], x[2]);
}

// Cells of a spatial grid as one 64-bit key; false when the point is too far
// out for the key (the caller then compares all pairs).
bool cell_of(const vec3_t& p, const vec3_t& lo, double cell, int64_t c[3]) {
  const double v[3] = {(p.x - lo.x) / cell, (p.y - lo.y) / cell, (p.z - lo.z) / cell};
  for (int a = 0; a < 3; ++a) {
    if (!(v[a] >= 0.0 && v[a] < 1048576.0)) return false;
    c[a] = static_cast<int64_t>(v[a]);
  }
  return true;
}

uint64_t cell_key(int64_t x, int64_t y, int64_t z) {
  return (static_cast<uint64_t>(x) << 42) | (static_cast<uint64_t>(y) << 21) | static_cast<uint64_t>(z);
}

bool within(const vec3_t& a, const vec3_t& b, double radius) { return vec3_length(a - b) < radius; }

}  // namespace

double matrix4_determinant3(const matrix4_t& m) {
  return m[0] * (m[5] * m[10] - m[6] * m[9]) - m[4] * (m[1] * m[10] - m[2] * m[9]) +
         m[8] * (m[1] * m[6] - m[2] * m[5]);
}

std::vector<std::vector<int32_t>> points_within_radius_all_pairs(const std::vector<vec3_t>& points,
                                                                 double radius) {
  std::vector<std::vector<int32_t>> out(points.size());
  for (size_t k = 0; k < points.size(); ++k)
    for (size_t l = 0; l < points.size(); ++l)
      if (within(points[l], points[k], radius)) out[k].push_back(static_cast<int32_t>(l));
  return out;
}

std::vector<std::vector<int32_t>> points_within_radius(const std::vector<vec3_t>& points, double radius) {
  std::vector<std::vector<int32_t>> out(points.size());
  if (points.empty() || !(radius > 0.0)) return out;
  vec3_t lo{1e300, 1e300, 1e300};
  for (const vec3_t& p : points) lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
  // A cell a little wider than the radius: two points closer than the
  // radius then lie in the same or in adjacent cells despite rounding.
  const double cell = radius * 1.001;
  std::vector<std::array<int64_t, 3>> cells(points.size());
  std::unordered_map<uint64_t, std::vector<int32_t>> grid;
  grid.reserve(points.size());
  for (size_t i = 0; i < points.size(); ++i) {
    int64_t c[3];
    if (!cell_of(points[i], lo, cell, c)) return points_within_radius_all_pairs(points, radius);
    cells[i] = {c[0], c[1], c[2]};
    grid[cell_key(c[0], c[1], c[2])].push_back(static_cast<int32_t>(i));
  }
  for (size_t k = 0; k < points.size(); ++k) {
    std::vector<int32_t>& list = out[k];
    const std::array<int64_t, 3>& c = cells[k];
    for (int64_t dx = -1; dx <= 1; ++dx)
      for (int64_t dy = -1; dy <= 1; ++dy)
        for (int64_t dz = -1; dz <= 1; ++dz) {
          if (c[0] + dx < 0 || c[1] + dy < 0 || c[2] + dz < 0) continue;
          const auto it = grid.find(cell_key(c[0] + dx, c[1] + dy, c[2] + dz));
          if (it == grid.end()) continue;
          for (int32_t l : it->second)
            if (within(points[static_cast<size_t>(l)], points[k], radius)) list.push_back(l);
        }
    std::sort(list.begin(), list.end());
  }
  return out;
}

void global_fit_residuals(int32_t* m, int32_t* n, double* x, double* fvec, int32_t* /*iflag*/) {
  fit_model* f = model_in_fit();
  if (!f) return;
  const double range2 = search_range2(*f);
  const bool similarity = f->flexibility < 1;
  matrix4_t r;
  if (similarity) {
    matrix4_from_position(r, x[0], x[1], x[2], x[3], x[4], x[5]);
    if (f->implant) {
      // The insertion length moves the points that follow it.
      f->build_implant(x[6], false, false);
    } else {
      for (int i : kLinear) r[i] *= x[6];
    }
    if (f->mirrored) negate_first_row(r);
  } else {
    r = f->registration;
  }
  const std::vector<vec3_t>& pts = f->model.points;
  const size_t count = std::min(pts.size(), static_cast<size_t>(*m / 3));
  for (size_t j = 0; j < count; ++j) {
    vec3_t q = pts[j];
    if (!similarity) q = {mode_shape(*f, 3 * j, x, *n), mode_shape(*f, 3 * j + 1, x, *n), mode_shape(*f, 3 * j + 2, x, *n)};
    vec3_t p;
    matrix4_transform_point(p, r, q);
    vertex_residual(*f, j, p, range2, fvec + 3 * j);
  }
}

void local_fit_residuals(int32_t* m, int32_t* n, double* x, double* fvec, int32_t* /*iflag*/) {
  fit_model* f = model_in_fit();
  if (!f) return;
  const double range2 = search_range2(*f);
  const std::vector<int32_t>& hood = f->neighbours[static_cast<size_t>(f->current_vertex)];
  matrix4_t t, a, b, mt;
  local_transform(t, x, *n);
  matrix4_multiply(f->registration, a, f->model.to_centroid);
  matrix4_multiply(a, b, t);
  matrix4_multiply(b, mt, f->model.from_centroid);
  const size_t count = std::min(hood.size(), static_cast<size_t>(*m / 3));
  for (size_t i = 0; i < count; ++i) {
    const size_t j = static_cast<size_t>(hood[i]);
    vec3_t p;
    matrix4_transform_point(p, mt, f->model.points[j]);
    vertex_residual(*f, j, p, range2, fvec + 3 * i);
  }
}

bool fit_model::has_modes_for(int32_t modes) const {
  return modes <= mode_count && model.point_count > 0 &&
         ssm_mean.size() >= 3 * static_cast<size_t>(model.point_count) &&
         ssm_basis.size() >= 3 * static_cast<size_t>(model.point_count) * static_cast<size_t>(mode_count);
}

void fit_model::restore_model_points() {
  if (flexibility == 0 || (!points_restored && page.registration_type == 0)) {
    model.points = model.loaded_points;
    compute_normals(model);
    points_restored = true;
  }
}

bool fit_model::run_registration(interp_progress* progress) {
  if (data.point_count <= 0) {
    wxLogWarning("First map some points from one of the objects");
    return false;
  }
  const int32_t f = page.flexibility;
  const bool local = page.registration_type == 1 && f >= 1 && lad_radius_hint > 0.0;
  // The page offers as many modes as the shape model has; a script can ask
  // for more, or for modes of a model loaded without its shape model file.
  if (f >= 1 && !local && !has_modes_for(f)) {
    wxLogWarning("A registration with %i shape model modes needs a shape model file with at least %i modes\n", f, f);
    return false;
  }
  lad_radius = f < 1 ? 0.0 : 5.0 / f * lad_radius_hint;
  flexibility = f;
  restore_model_points();
  const int32_t total = page.iterations;
  for (int32_t i = 0; i < total; ++i) {
    if (progress && !progress->update(i, wxString::Format("Iteration %i of %i", i, total))) break;
    registration_iteration();
  }
  return true;
}

void fit_model::registration_iteration() {
  const double range2 = search_range2(*this);
  if (grid_cell == 0.0 || model.point_count <= 0 || data.point_count <= 0) return;
  const bool local = page.registration_type == 1 && lad_radius > 0.0;
  if (!local && flexibility >= 1 && !has_modes_for(flexibility)) return;
  if (fitting_landmarks.size() >= 2)
    check_for_landmarks(false);
  else
    std::fill(model.landmark_vertices.begin(), model.landmark_vertices.end(), false);
  if (range2 > model.match_range2) find_correspondences();
  landmark_weight = std::sqrt(static_cast<double>(model.point_count)) / 100.0 * page.landmark_weighting *
                    page.landmark_weighting;
  fitting = this;
  if (local)
    local_fit(range2);
  else
    global_fit();
  fitting = nullptr;
  find_correspondences();
  rebuild_model_surface();
  base_res_t::make_pending_writes_happen();
}

void fit_model::global_fit() {
  int32_t m = 3 * model.point_count;
  std::vector<double> x;
  if (flexibility < 1) {
    double det = matrix4_determinant3(registration);
    if (det < 0.0) {
      mirrored = true;
      negate_first_row(registration);
      det = -det;
    } else {
      mirrored = false;
    }
    // A collapsed registration has no scale to divide out.
    if (!(det > 0.0) || !std::isfinite(det)) {
      if (mirrored) negate_first_row(registration);
      return;
    }
    const double s = std::pow(det, 1.0 / 3.0);
    matrix4_t rigid = registration;
    for (int i : kLinear) rigid[i] /= s;
    x.resize(7);
    matrix4_to_position(rigid, x[0], x[1], x[2], x[3], x[4], x[5]);
    x[6] = implant ? first_electrode_insertion : s;
  } else {
    x.assign(static_cast<size_t>(flexibility), 0.0);
    const size_t vars = 3 * static_cast<size_t>(model.point_count);
    for (size_t i = 0; i < vars; ++i) {
      const vec3_t& q = model.points[i / 3];
      const double dev = (i % 3 == 0 ? q.x : i % 3 == 1 ? q.y : q.z) - ssm_mean[i];
      const float* row = &ssm_basis[i * static_cast<size_t>(mode_count)];
      for (int32_t k = 0; k < flexibility; ++k) x[static_cast<size_t>(k)] += dev * row[k];
    }
  }
  int32_t n = static_cast<int32_t>(x.size());
  if (m < n) return;
  std::vector<double> fvec(static_cast<size_t>(m));
  double tol = kFitTolerance;
  int32_t info = 0;
  hm_lmdif(global_fit_residuals, &m, &n, x.data(), fvec.data(), &tol, &info, nullptr);

  if (flexibility < 1) {
    matrix4_from_position(registration, x[0], x[1], x[2], x[3], x[4], x[5]);
    if (implant) {
      first_electrode_insertion = x[6];
      build_implant(x[6], false, false);
      compute_normals(model);
    } else {
      for (int i : kLinear) registration[i] *= x[6];
    }
    if (mirrored) negate_first_row(registration);
  } else {
    for (size_t v = 0; v < model.points.size() && v < static_cast<size_t>(model.point_count); ++v)
      model.points[v] = {mode_shape(*this, 3 * v, x.data(), n), mode_shape(*this, 3 * v + 1, x.data(), n),
                         mode_shape(*this, 3 * v + 2, x.data(), n)};
    compute_normals(model);
  }
}

void fit_model::local_fit(double range2) {
  const std::vector<vec3_t>& pts = model.points;
  const size_t count = std::min(pts.size(), static_cast<size_t>(model.point_count));
  std::vector<vec3_t> current(pts.begin(), pts.begin() + static_cast<std::ptrdiff_t>(count));
  neighbours = points_within_radius(current, lad_radius);
  vertex_parameters.assign(count, {});
  for (size_t k = 0; k < count; ++k) {
    if (!(k < model.match_distance2.size() && model.match_distance2[k] < range2)) continue;
    const size_t size = neighbours[k].size();
    int32_t m = static_cast<int32_t>(3 * size);
    int32_t n = size >= 3 ? 6 : 3;
    if (m < n) continue;
    double x[6] = {0, 0, 0, 0, 0, 0};
    current_vertex = static_cast<int32_t>(k);
    std::vector<double> fvec(static_cast<size_t>(m));
    double tol = kFitTolerance;
    int32_t info = 0;
    hm_lmdif(local_fit_residuals, &m, &n, x, fvec.data(), &tol, &info, nullptr);
    for (int i = 0; i < 6; ++i) vertex_parameters[k][static_cast<size_t>(i)] = i < n ? x[i] : 0.0;
  }

  // Each vertex moves by the distance-weighted mean of its neighbours' corrections.
  std::vector<vec3_t> moved(current);
  for (size_t l = 0; l < count; ++l) {
    double mean[6] = {0, 0, 0, 0, 0, 0}, total = 0.0;
    for (int32_t e : neighbours[l]) {
      const size_t ei = static_cast<size_t>(e);
      const double w = model.radius > 0.0
                           ? std::max(0.0, 1.0 - vec3_length(current[l] - current[ei]) / model.radius)
                           : 1.0;
      total += w;
      for (int i = 0; i < 6; ++i) mean[i] += w * vertex_parameters[ei][static_cast<size_t>(i)];
    }
    if (total > 0.0)
      for (double& v : mean) v /= total;
    else
      std::fill(std::begin(mean), std::end(mean), 0.0);
    matrix4_t t, a, b;
    matrix4_from_position(t, mean[0], mean[1], mean[2], mean[3], mean[4], mean[5]);
    matrix4_multiply(model.to_centroid, a, t);
    matrix4_multiply(a, b, model.from_centroid);
    matrix4_transform_point(moved[l], b, current[l]);
  }
  std::copy(moved.begin(), moved.end(), model.points.begin());
  if (implant) regularise_implant();
  compute_normals(model);
  points_restored = false;
}

double fit_model::match_rms(int32_t* matched) const {
  const double range2 = search_range2(*this);
  double sum = 0.0;
  int32_t count = 0;
  for (double d2 : model.match_distance2)
    if (d2 < range2) {
      sum += d2;
      ++count;
    }
  if (matched) *matched = count;
  return count ? std::sqrt(sum / count) : 0.0;
}
