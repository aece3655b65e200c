#include "models/fit_model.h"

#include <algorithm>
#include <cmath>

#include "data/landmarks.h"
#include "registry/res_values.h"
#include "registry/resource_table.h"

fit_model::fit_model() {
  matrix4_identity(registration);
  for (fit_mesh_t* m : {&model, &data}) {
    matrix4_identity(m->to_centroid);
    matrix4_identity(m->from_centroid);
  }
  data.active_is_loaded = true;
}

void fit_model::compute_bounds(fit_mesh_t& mesh) {
  const std::vector<vec3_t>& pts = mesh.active_points();
  const size_t n = std::min(pts.size(), static_cast<size_t>(std::max(0, mesh.point_count)));
  mesh.box_min = {1e10, 1e10, 1e10};
  mesh.box_max = {-1e10, -1e10, -1e10};
  vec3_t sum;
  for (size_t i = 0; i < n; ++i) {
    const vec3_t& p = pts[i];
    mesh.box_min = {std::min(mesh.box_min.x, p.x), std::min(mesh.box_min.y, p.y),
                    std::min(mesh.box_min.z, p.z)};
    mesh.box_max = {std::max(mesh.box_max.x, p.x), std::max(mesh.box_max.y, p.y),
                    std::max(mesh.box_max.z, p.z)};
    sum += p;
  }
  if (n == 0) return;
  mesh.centroid = vec3_scalar_mul(1.0 / static_cast<double>(n), sum);
  matrix4_translation(mesh.to_centroid, mesh.centroid.x, mesh.centroid.y, mesh.centroid.z);
  matrix4_inverse_translation(mesh.from_centroid, mesh.centroid.x, mesh.centroid.y, mesh.centroid.z);
  float largest = 0.0f;
  for (size_t i = 0; i < n; ++i) {
    const vec3_t d = pts[i] - mesh.centroid;
    largest = std::max(largest, static_cast<float>(vec3_dot(d, d)));
  }
  mesh.radius = std::sqrt(largest);
}

wxString fit_model::undefined_landmarks() const {
  wxString result = "none";
  const landmarks* placed = resource_table ? resource_table->RES_LANDMARKS->read() : nullptr;
  auto has_namesake = [&](const wxString& name) {
    size_t pos = 0;
    return placed && placed->find_by_name(name, pos);
  };
  for (const fit_landmark_t& f : fitting_landmarks)
    if (!has_namesake(f.name)) {
      result = f.name;
      break;
    }
  // An electrode array is placed from its tip back: once the first landmark
  // is placed, the last one still missing comes next.
  if (implant && !fitting_landmarks.empty() && has_namesake(fitting_landmarks.front().name))
    for (auto it = fitting_landmarks.rbegin(); it != fitting_landmarks.rend(); ++it)
      if (!has_namesake(it->name)) {
        result = it->name;
        break;
      }
  return result;
}

void fit_model::add_data_point(const vec3_t& world_cm) {
  data.loaded_points.push_back(vec3_scalar_mul(10.0, world_cm));
  data.normals.push_back(vec3_t{});
  ++data.point_count;
}

void fit_model::remove_data_points(const std::vector<int32_t>& sorted_indices) {
  for (auto it = sorted_indices.rbegin(); it != sorted_indices.rend(); ++it) {
    const int32_t i = *it;
    if (i < 0 || static_cast<size_t>(i) >= data.loaded_points.size()) continue;
    data.loaded_points.erase(data.loaded_points.begin() + i);
    if (static_cast<size_t>(i) < data.normals.size()) data.normals.erase(data.normals.begin() + i);
    --data.point_count;
  }
}
