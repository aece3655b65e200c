// The shape model and the rest of the data: data points taken from an
// object's contours, the fitted model mapped back into an object as
// contours or as a surface with its landmarks, and the registration moved,
// scaled and mirrored by hand.
#include <wx/log.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "data/curves.h"
#include "data/dynabuf.h"
#include "data/landmarks.h"
#include "data/objects.h"
#include "models/fit_model.h"
#include "models/fit_object_edit.h"
#include "registry/res_values.h"
#include "registry/resource_table.h"
#include "surfaces/surface_from_model.h"
#include "surfaces/surface_interp.h"
#include "surfaces/surface_section.h"
#include "surfaces/surface_sources.h"

namespace {

constexpr int kLinear[9] = {0, 1, 2, 4, 5, 6, 8, 9, 10};
// Contour vertices farther apart than this many pixel widths get points between.
constexpr double kPointSpacing = 6.0;
// An implant grows by hand up to this first electrode insertion (mm).
constexpr double kLongestInsertion = 30.0;

bool have_model_surface() {
  if (resource_table && resource_table->RES_SURFACE[200]->read()) return true;
  wxLogWarning("First load a shape model\n");
  return false;
}

bool user_object(int64_t o) {
  if (o >= 0 && o < NUM_USER_OBJECTS) return true;
  wxLogWarning("There is no object %lld: objects are numbered 0 to %d\n", static_cast<long long>(o),
               NUM_USER_OBJECTS - 1);
  return false;
}

}  // namespace

void fit_model::rewrite_model_surface() {
  if (!resource_table) return;
  auto* surface = resource_table->RES_SURFACE[200];
  surface->write_no_changeprocs(surface->read());
  base_res_t::make_pending_writes_happen();
}

void fit_model::points_from_object(int32_t o) {
  if (fitting_landmarks.size() < 2) {
    wxLogWarning("First load a shape model\n");
    return;
  }
  if (!user_object(o) || !resource_table) return;
  resource_table_t& t = *resource_table;
  data.loaded_points.clear();
  data.normals.clear();
  data.point_count = 0;
  const int32_t side = page.match_side;
  const double sx = t.RES_XSCALE->read(), sy = t.RES_YSCALE->read();
  const matrix4_t calibration = surface_calibration_from_resources();
  contour_object& object = t.RES_OBJECT->read()[o];
  const int32_t frames = static_cast<int32_t>(t.RES_BUF_FRAMES->read());
  auto add = [this](const vec3_t& p, const vec3_t& n) {
    data.loaded_points.push_back(vec3_scalar_mul(10.0, p));
    data.normals.push_back(n);
    ++data.point_count;
  };
  for (int32_t i = 0; i < frames; ++i) {
    if (!frame_store || static_cast<size_t>(i) >= frame_store->positions.size()) break;
    const position_t* pos = frame_store->positions[static_cast<size_t>(i)].get();
    if (!pos) continue;
    frame_contours_t* list = object.find_frame(i);
    if (!list) continue;
    matrix4_t probe, k;
    matrix4_from_position_t(probe, *pos);
    matrix4_multiply(probe, k, calibration);
    vec3_t origin;
    matrix4_transform_point(origin, k, vec3_t{});
    const std::vector<contour_t>& contours = list->contours;
    for (size_t ci = 0; ci < contours.size(); ++ci) {
      const contour_t& c = contours[ci];
      if (c.vertices.empty()) continue;
      // A contour inside an odd number of others bounds a hole: its normals
      // turn the other way.
      int enclosing = 0;
      for (size_t cj = 0; cj < contours.size(); ++cj)
        if (cj != ci && !contours[cj].vertices.empty() && contours[cj].contains(c.vertices.front())) ++enclosing;
      const bool flip = (enclosing % 2 == 0) != (c.area() < 0.0);
      const size_t n = c.vertices.size();
      for (size_t vi = 0; vi < n; ++vi) {
        const vec2_t& v = c.vertices[vi];
        const vec2_t& p = c.vertices[vi == 0 ? n - 1 : vi - 1];
        const vec2_t& q = c.vertices[vi + 1 == n ? 0 : vi + 1];
        vec3_t P, Q;
        matrix4_transform_point(P, k, vec3_t{v.x * sx, v.y * sy, 0.0});
        matrix4_transform_point(Q, k, vec3_t{p.x * sx, p.y * sy, 0.0});
        double a = sx * (p.x - q.x), b = sy * (q.y - p.y);
        const double len = std::sqrt(a * a + b * b);
        if (len != 0.0) a /= len, b /= len;
        vec3_t n2{b, a, 0.0};
        if (flip) n2 = vec3_scalar_mul(-1.0, n2);
        if (side == 1) n2 = vec3_scalar_mul(-1.0, n2);
        vec3_t normal;
        if (side != 0) {
          vec3_t w;
          matrix4_transform_point(w, k, n2);
          normal = w - origin;
          if (vec3_length(normal) != 0.0) normal = vec3_normalise(normal);
        }
        const double gap = vec3_length(P - Q), spacing = kPointSpacing * std::fabs(sx);
        if (spacing > 0.0 && gap > spacing) {
          const int32_t between = static_cast<int32_t>(gap / spacing);
          for (int32_t j = 1; j <= between; ++j)
            add(Q + vec3_scalar_mul(static_cast<double>(j) / (between + 1), P - Q), normal);
        }
        add(P, normal);
      }
    }
  }
  model.match_range2 = -1.0;
  if (data.point_count > 0) {
    data.active_is_loaded = true;
    compute_bounds(data);
    build_search_grid();
    page.search_range = page.search_range_max;
    find_correspondences();
  }
  rewrite_model_surface();
}

void fit_model::contours_to_object(uint32_t o) {
  if (!resource_table) return;
  resource_table_t& t = *resource_table;
  const int32_t selection = page.frames;
  const int32_t current = static_cast<int32_t>(t.RES_BUF_CURRENT_FRAME->read());
  if (!have_model_surface() || !user_object(o)) return;
  auto* own = t.RES_SURFACE[o];
  if (surface_interp* old = own->pending()) {
    own->write_no_changeprocs(nullptr);
    delete old;
  }
  const surface_interp& shape = *t.RES_SURFACE[200]->read();
  contour_object& object = t.RES_OBJECT->read()[o];
  // A step of 0 would leave no frame to map; it counts as every frame.
  const int32_t every = std::max(1, page.every_n_frames);
  const double accuracy = page.contour_accuracy / 10.0;
  const int32_t frames = static_cast<int32_t>(t.RES_BUF_FRAMES->read());
  for (int32_t i = 0; i < frames; ++i) {
    if ((selection == 1 && i > current) || (selection == 2 && i < current)) continue;
    for (auto it = object.frames.begin(); it != object.frames.end(); ++it) {
      if (it->frame != i) continue;
      const bool drawn = std::any_of(it->contours.begin(), it->contours.end(),
                                     [](const contour_t& c) { return !c.vertices.empty(); });
      if (drawn) object.frames.erase(it);
      break;
    }
    if ((i - current) % every != 0) continue;
    std::unique_ptr<frame_contours_t> section = plane_cross_section(shape, i, 1, accuracy);
    if (!section) continue;
    for (const contour_t& c : section->contours)
      if (c.vertices.size() >= 2) object.add_contour(i, c);
  }
  t.CONT->write();
}

void fit_model::map_surface_to_object(int32_t o) {
  if (!resource_table) return;
  resource_table_t& t = *resource_table;
  // Without a model there is no surface to map.
  if (!t.RES_SURFACE[200]->read() || model.triangles.empty() || model.points.empty()) {
    wxLogWarning("First load a shape model\n");
    return;
  }
  if (!user_object(o)) return;
  empty_model_object(t, o);
  auto* own = t.RES_SURFACE[o];
  if (surface_interp* old = own->pending()) {
    own->write_no_changeprocs(nullptr);
    delete old;
  }
  auto s = std::make_unique<surface_interp>(o);
  surface_from_model(*s, model.points, model.normals, model.triangles, registration);
  contour_object& object = t.RES_OBJECT->read()[o];
  add_sections_within_image(*s, object);

  const std::array<int32_t, 3>& first = model.triangles.front();
  vec3_t a, b;
  matrix4_transform_point(a, registration, model.points[static_cast<size_t>(first[0])]);
  matrix4_transform_point(b, registration, model.points[static_cast<size_t>(first[1])]);
  const double step = vec3_length(b - a);
  landmarks& marks = *t.RES_LANDMARKS->read();
  for (const fit_landmark_t& f : fitting_landmarks) {
    const size_t v = static_cast<size_t>(f.vertex);
    if (f.vertex < 0 || v >= model.points.size() || v >= model.normals.size()) continue;
    vec3_t x, y;
    matrix4_transform_point(x, registration, model.points[v]);
    matrix4_transform_point(y, registration, model.points[v] + vec3_scalar_mul(step, model.normals[v]));
    vec3_t normal = vec3_scalar_mul(0.1, y - x);
    if (vec3_length(normal) != 0.0) normal = vec3_normalise(normal);
    marks.add_surface_landmark(vec3_scalar_mul(0.1, x), normal, o, "fitted " + f.name);
  }
  s->map_curves_to_surface(false);
  own->write_no_changeprocs(s.release());
  t.LANDMARK->write();
  t.CONT->write();
  object.name = "fitted shape model";
  object.opacity = 0.5;
  t.OBJECT->write();
  t.CURVE->write();
  base_res_t::make_pending_writes_happen();
}

void fit_model::set_scaled_registration_matrix(const matrix4_t& m, double factor) {
  if (!have_model_surface()) return;
  // A wheel turned by twenty notches at once would give no finite scale.
  if (!(factor > 0.0) || !std::isfinite(factor)) return;
  if (implant) {
    double length = first_electrode_insertion;
    if (factor < 1.0 || length < kLongestInsertion) {
      length *= factor;
      first_electrode_insertion = length;
    }
    build_implant(length, false, false);
    compute_normals(model);
    factor = 1.0;
  }
  matrix4_t a;
  matrix4_multiply(m, a, model.to_centroid);
  for (int i : kLinear) a[i] *= factor;
  matrix4_multiply(a, registration, model.from_centroid);
  if (data.point_count > 0) find_correspondences();
  rebuild_model_surface();
  base_res_t::make_pending_writes_happen();
}

void fit_model::reflect_registration_matrix() {
  if (!have_model_surface()) return;
  matrix4_t mirror, a, b;
  matrix4_identity(mirror);
  mirror[0] = -1.0;
  matrix4_multiply(registration, a, model.to_centroid);
  matrix4_multiply(a, b, mirror);
  matrix4_multiply(b, registration, model.from_centroid);
  if (data.point_count > 0) find_correspondences();
  // Redrawn whether or not data points exist: the model has moved.
  rebuild_model_surface();
  base_res_t::make_pending_writes_happen();
}
