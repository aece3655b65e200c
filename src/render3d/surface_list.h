// The 3D view's surface pass decided without OpenGL: which objects are
// visited, which surfaces are listed and with what colour and opacity, in
// which order, and which of the pass's stages run.
#pragma once

#include <cstdint>
#include <vector>

class contour_object;
class surface_interp;

// Objects the pass visits, in order: the user objects 0 to max_objects - 1
// when see_draw, then the shape model's surface (object 200) when see_ssm.
std::vector<int32_t> surface_visit_order(bool see_draw, bool see_ssm, int32_t max_objects);

// A surface is drawn when it has a volume above 0 (an open mesh's is small
// but positive).
bool surface_listed(const surface_interp* s);
// Mapped thickness results are held (error array present, no conversion pending).
bool surface_has_thickness(const surface_interp& s);
// The surface's vertices carry their own colours (thickness or compounded data).
bool surface_coloured(const surface_interp& s);

struct surface_draw_entry {
  int32_t object = 0;
  float colour[4] = {0.0f, 0.0f, 0.0f, 0.0f};  // red, green, blue, opacity
};

struct surface_list_settings {
  bool programs_installed = false;
  int32_t shader = 0;  // RES_SHADER; 3 is "Clear Phong"
  bool wireframe = false;
  bool volume_page = false;
  std::vector<int32_t> faded;  // objects drawn faded
};

struct surface_draw_list {
  std::vector<surface_draw_entry> entries;  // highest opacity first
  bool opaque = false;       // an entry of opacity exactly 1
  bool translucent = false;  // an entry of opacity above 0 and not 1
};

// The entries of the listed objects (visit order) with their colour records,
// sorted by opacity, highest first, equal opacities in object order.
surface_draw_list make_surface_draw_list(const std::vector<int32_t>& listed, const contour_object* objects,
                                         const surface_list_settings& s);

struct surface_pass_plan {
  bool volume_active = false;  // programs installed and the Volume page shown
  bool peeling = false;        // depth peeling possible
  bool effects = false;        // shadows or ambient occlusion wanted
  bool translucent_content = false;
  bool skip = false;  // nothing to do: the pass returns at once
};

struct surface_pass_settings {
  bool programs_installed = false;
  bool shader_drawing = false;
  bool volume_page = false;
  int32_t layers = 6;           // RES_TRANSLUCENT_LAYERS
  int32_t occlusion_range = 0;  // RES_OCCLUSION_RANGE
  bool radiant_shadows = false;
  double reslice_opacity = 0.5;
};

surface_pass_plan plan_surface_pass(const surface_draw_list& list, const surface_pass_settings& s);

// ---- curves and the orientation marker --------------------------------------

// A curve's colour from its object's: light colours (channel sum at least
// 2.5) darkened by 1.5, others lightened towards white by a third.
void curve_display_colour(uint8_t red, uint8_t green, uint8_t blue, float alpha, float out[4]);

// An axis of the orientation marker points away from the viewer beyond the
// threshold: the z row of the modelview matrix (16 doubles, OpenGL order)
// applied to the axis is below -0.6.
bool orientation_axis_hidden(const double modelview[16], double x, double y, double z);
