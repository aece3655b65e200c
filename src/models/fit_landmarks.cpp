// The fit of the model's fitting landmarks to the landmarks the user placed
// under the same names: a similarity transform (an implant: a rigid one)
// by least squares, restarted from random orientations while the scale (or
// insertion length) comes out of bounds.
#include <wx/log.h>

#include <cstdlib>

#include "data/hm_lmder.h"
#include "data/landmarks.h"
#include "data/objects.h"
#include "models/fit_model.h"
#include "registry/res_values.h"
#include "registry/resource_table.h"
#include "surfaces/surface_from_model.h"
#include "surfaces/surface_interp.h"

namespace {

// The model being fitted; the residual function reaches it through here.
fit_model* fitting = nullptr;

constexpr int kMaxRuns = 101;

}  // namespace

void landmark_fit_residuals(int32_t* m, int32_t* n, double* x, double* fvec, int32_t* /*iflag*/) {
  fit_model* f = fitting;
  if (!f && resource_table) f = resource_table->RES_FIT_MODEL->read();
  if (!f) return;
  matrix4_t r;
  matrix4_from_position(r, x[0], x[1], x[2], x[3], x[4], *n == 6 ? 0.0 : x[5]);
  if (!f->implant)
    for (int i : {0, 1, 2, 4, 5, 6, 8, 9, 10}) r[i] *= x[*n - 1];
  if (f->mirrored) r[0] = -r[0], r[4] = -r[4], r[8] = -r[8];
  int32_t k = 0;
  for (const fit_landmark_t& l : f->fitting_landmarks) {
    if (!l.placed || k + 3 > *m) continue;
    vec3_t p;
    matrix4_transform_point(p, r, l.model_position);
    fvec[k++] = p.x - l.target.x;
    fvec[k++] = p.y - l.target.y;
    fvec[k++] = p.z - l.target.z;
  }
}

bool fit_model::check_for_landmarks(bool show) {
  if (fitting_landmarks.size() < 2) {
    wxLogWarning("First load a shape model\n");
    return false;
  }
  std::fill(model.landmark_vertices.begin(), model.landmark_vertices.end(), false);
  wxString missing = "First place a landmark on one of:\n";
  placed_landmarks = 0;
  const landmarks* placed = resource_table ? resource_table->RES_LANDMARKS->read() : nullptr;
  for (fit_landmark_t& f : fitting_landmarks) {
    f.placed = false;
    const landmark_t* found = nullptr;
    if (placed)
      for (const landmark_t& l : placed->items)
        if (l.name == f.name) {
          found = &l;
          break;
        }
    const size_t v = static_cast<size_t>(f.vertex);
    if (!found || f.vertex < 0 || v >= model.points.size()) {
      missing += f.name + "\n";
      continue;
    }
    f.placed = true;
    f.target = {10.0 * found->x, 10.0 * found->y, 10.0 * found->z};
    f.model_position = model.points[v];
    if (v < model.landmark_vertices.size()) model.landmark_vertices[v] = true;
    if (v < model.landmark_targets.size()) model.landmark_targets[v] = f.target;
    ++placed_landmarks;
  }
  if (placed_landmarks < 2) {
    if (show) wxLogWarning("%s", missing);
    return false;
  }
  return true;
}

void fit_model::fit_to_landmarks() {
  if (!check_for_landmarks(true)) return;
  model.points = model.loaded_points;
  compute_normals(model);
  points_restored = true;
  matrix4_identity(registration);
  // Every other fit is mirrored in x, so that the user can try either
  // handedness of the model by fitting again.
  mirrored = !mirrored;

  int32_t m = 3 * placed_landmarks;
  int32_t n = placed_landmarks == 2 ? 6 : 7;
  const double start = implant ? first_electrode_insertion : 1.0;
  double x[7] = {0, 0, 0, 0, 0, 0, 0};
  x[n - 1] = start;
  std::vector<double> fvec(static_cast<size_t>(m));
  double tol = 1e-5;
  fitting = this;
  for (int run = 1;; ++run) {
    int32_t info = 0;
    hm_lmdif(landmark_fit_residuals, &m, &n, x, fvec.data(), &tol, &info, nullptr);
    const double s = x[n - 1];
    if (s > 0 && (s < 8 || !implant)) break;
    if (run >= kMaxRuns) break;
    x[0] = x[1] = x[2] = 0.0;
    for (int i = 3; i <= n - 2; ++i) x[i] = (std::rand() % 32768) / 32767.0 * 360.0 - 180.0;
    x[n - 1] = start;
  }
  fitting = nullptr;

  const double s = x[n - 1];
  matrix4_from_position(registration, x[0], x[1], x[2], x[3], x[4], n == 6 ? 0.0 : x[5]);
  if (implant) {
    first_electrode_insertion = s;
    build_implant(s, false, false);
    compute_normals(model);
  } else {
    for (int i : {0, 1, 2, 4, 5, 6, 8, 9, 10}) registration[i] *= s;
  }
  if (mirrored) registration[0] = -registration[0], registration[4] = -registration[4],
                registration[8] = -registration[8];
  if (data.point_count > 0) find_correspondences();
  rebuild_model_surface();
}

void fit_model::rebuild_model_surface(bool show_red) {
  if (!resource_table) return;
  auto* res = resource_table->RES_SURFACE[200];
  if (surface_interp* old = res->pending()) {
    res->write_no_changeprocs(nullptr);
    delete old;
  }
  auto* s = new surface_interp(200);
  surface_from_model(*s, model.points, model.normals, model.triangles, registration);
  if (show_red) {
    contour_object& o = resource_table->RES_OBJECT->read()[200];
    o.colour = rgba_colour_t(255, 0, 0, 255);
    o.opacity = 1.0;
  }
  res->write(s);
}

void fit_model::set_search_range() {
  const double range = page.search_range / range_divisor;
  if (range * range > model.match_range2 && data.point_count > 0) find_correspondences();
  if (!resource_table) return;
  auto* surface = resource_table->RES_SURFACE[200];
  surface->write_no_changeprocs(surface->read());
  base_res_t::make_pending_writes_happen();
}
