#include "render3d/surface_list.h"

#include <algorithm>

#include "data/objects.h"
#include "surfaces/surface_interp.h"

namespace {

constexpr int32_t kModelObject = 200;
constexpr float kFadedOpacity = 0.15f;
// "Clear Phong" draws every surface through the translucent pass.
constexpr int32_t kClearPhong = 3;
constexpr float kAlmostOpaque = 0.9999f;

}  // namespace

std::vector<int32_t> surface_visit_order(bool see_draw, bool see_ssm, int32_t max_objects) {
  const int32_t last_user = std::clamp<int32_t>(max_objects, 0, kModelObject);
  std::vector<int32_t> order;
  if (see_draw)
    for (int32_t j = 0; j < last_user; ++j) order.push_back(j);
  if (see_ssm) order.push_back(kModelObject);
  return order;
}

bool surface_listed(const surface_interp* s) { return s && s->volume > 0.0; }

bool surface_has_thickness(const surface_interp& s) { return !s.fit_error.empty() && !s.fwhm_pending; }

bool surface_coloured(const surface_interp& s) { return surface_has_thickness(s) || s.compound_depth != 0.0; }

surface_draw_list make_surface_draw_list(const std::vector<int32_t>& listed, const contour_object* objects,
                                         const surface_list_settings& s) {
  surface_draw_list list;
  for (int32_t j : listed) {
    surface_draw_entry e;
    e.object = j;
    float opacity = 1.0f;
    if (objects) {
      const contour_object& o = objects[j];
      e.colour[0] = o.colour.Red() / 255.0f;
      e.colour[1] = o.colour.Green() / 255.0f;
      e.colour[2] = o.colour.Blue() / 255.0f;
      opacity = static_cast<float>(o.opacity);
    }
    if (std::find(s.faded.begin(), s.faded.end(), j) != s.faded.end()) opacity = kFadedOpacity;
    e.colour[3] = opacity;
    list.entries.push_back(e);
  }
  std::stable_sort(list.entries.begin(), list.entries.end(),
                   [](const surface_draw_entry& a, const surface_draw_entry& b) { return a.colour[3] > b.colour[3]; });
  for (surface_draw_entry& e : list.entries) {
    float& a = e.colour[3];
    if (s.programs_installed && s.shader == kClearPhong && a == 1.0f) a = kAlmostOpaque;
    if (s.wireframe && a > 0.0f) a = 1.0f;
    if (s.volume_page && a < 1.0f) a = 0.0f;
    if (a == 1.0f) list.opaque = true;
    if (a > 0.0f && a != 1.0f) list.translucent = true;
  }
  return list;
}

surface_pass_plan plan_surface_pass(const surface_draw_list& list, const surface_pass_settings& s) {
  surface_pass_plan p;
  p.volume_active = s.programs_installed && s.volume_page;
  p.peeling = s.shader_drawing && s.layers >= 1 && !p.volume_active;
  p.effects = s.shader_drawing && !p.volume_active && (s.occlusion_range >= 1 || s.radiant_shadows);
  p.translucent_content = list.translucent || (p.peeling && s.reslice_opacity < 1.0);
  p.skip = list.entries.empty() && !(p.peeling && p.translucent_content) && !p.volume_active;
  return p;
}

void curve_display_colour(uint8_t red, uint8_t green, uint8_t blue, float alpha, float out[4]) {
  const float c[3] = {red / 255.0f, green / 255.0f, blue / 255.0f};
  const bool light = c[0] + c[1] + c[2] >= 2.5f;
  for (int k = 0; k < 3; ++k) out[k] = light ? c[k] / 1.5f : (c[k] + 2.0f) / 3.0f;
  out[3] = alpha;
}

bool orientation_axis_hidden(const double modelview[16], double x, double y, double z) {
  return modelview[2] * x + modelview[6] * y + modelview[10] * z < -0.6;
}
