#include "visual/reslice_math.h"

#include <algorithm>
#include <cmath>

double reslice_slab_limit(int32_t w, int32_t h, double sx, double sy) {
  const double limit = (w * sx + h * sy) * 0.5 / std::sqrt(2.0);
  return limit > 0.0 ? limit : 50.0;
}

double reslice_half_thickness(int v, double limit) {
  return static_cast<double>(v) * v / 40000.0 * limit;
}

int reslice_thickness_position(double t, double limit) {
  if (!(t > 0.0) || !(limit > 0.0)) return 0;
  const double v = std::sqrt(t * 40000.0 / limit);
  if (!(v < kThicknessSliderMax)) return kThicknessSliderMax;
  return static_cast<int>(std::lround(v));
}

wxString reslice_value_text(double value) { return wxString::Format(" %5.2lf  ", value); }

plane_axes quarter_turn_x(const plane_axes& p) {
  return {p.up, p.centre, vec3_t{-p.normal.x, -p.normal.y, -p.normal.z}};
}

plane_axes quarter_turn_y(const plane_axes& p) { return {vec3_cross(p.normal, p.up), p.centre, p.up}; }

plane_axes quarter_turn_z(const plane_axes& p) { return {p.normal, p.centre, vec3_cross(p.up, p.normal)}; }

namespace {

vec3_t unit_or_zero(const vec3_t& v) {
  const double length = vec3_length(v);
  if (length == 0.0) return {0.0, 0.0, 0.0};
  return {v.x / length, v.y / length, v.z / length};
}

vec3_t minus(const vec3_t& a, const vec3_t& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

}  // namespace

plane_axes plane_through_landmarks(const vec3_t& a, vec3_t b, const vec3_t& c) {
  if (a.x == b.x && a.y == b.y && a.z == b.z) b = {a.x, a.y + 1.0, a.z};
  vec3_t n = unit_or_zero(vec3_cross(minus(a, c), minus(a, b)));
  if (n.x == 0.0 && n.y == 0.0 && n.z == 0.0) n = {0.0, 0.0, 1.0};
  return {n, a, unit_or_zero(minus(a, b))};
}

std::vector<crop_item> crop_items(const std::vector<wxString>& names, const std::vector<bool>& has_surface) {
  std::vector<crop_item> items{{L"(none)", kCropNone}};
  const size_t count = std::min(names.size(), has_surface.size());
  for (size_t k = 0; k < count; ++k)
    if (has_surface[k]) items.push_back({names[k], static_cast<int32_t>(k)});
  if (items.size() > 1) items.push_back({L"(all)", kCropAll});
  return items;
}

int crop_position(const std::vector<crop_item>& items, int32_t object) {
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i].object == object) return static_cast<int>(i);
  return 0;
}

namespace {

constexpr int32_t kCropObjects = 200;

// Entry 0 is "(all)", 1 "(none)", 2 + k object k.
struct crop_table {
  int32_t values[kCropObjects + 2];
  crop_table() {
    values[0] = kCropAll;
    values[1] = kCropNone;
    for (int32_t k = 0; k < kCropObjects; ++k) values[k + 2] = k;
  }
};

crop_table& table() {
  static crop_table shared;
  return shared;
}

}  // namespace

void* crop_client_data(int32_t object) {
  if (object < kCropAll || object >= kCropObjects) object = kCropNone;
  return &table().values[object + 2];
}

int32_t crop_object_of(const void* client_data) {
  return client_data ? *static_cast<const int32_t*>(client_data) : kCropNone;
}
