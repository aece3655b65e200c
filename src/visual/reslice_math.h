// The arithmetic of the Reslice and Ortho pages, apart from their windows:
// the slab thickness a slider position stands for, the quarter turns, the
// plane through three landmarks and the crop choice's list of surfaces.
#pragma once

#include <cstdint>
#include <vector>

#include <wx/string.h>

#include "data/geometry.h"

// Positions of the pages' thickness sliders.
constexpr int kThicknessSliderMax = 200;

// Half the diagonal of a frame of w x h pixels of sx x sy cm, in cm: the
// thickest slab the slider offers. 50 cm when the frames give nothing.
double reslice_slab_limit(int32_t w, int32_t h, double sx, double sy);
// The slab's half-thickness (cm) of slider position v: fine steps near 0.
double reslice_half_thickness(int v, double limit);
// The slider position nearest to half-thickness t (cm), within 0..200.
int reslice_thickness_position(double t, double limit);
// A value beside a reslice slider: " %5.2lf  ".
wxString reslice_value_text(double value);
// The full slab thickness in mm of half-thickness t (cm), as its text.
inline wxString reslice_thickness_text(double t) { return reslice_value_text(20.0 * t); }

struct plane_axes {
  vec3_t normal, centre, up;
};

// Quarter turns of a plane: about its horizontal axis (normal := up,
// up := -normal), about its up axis (normal := normal x up) and about its
// normal (up := up x normal).
plane_axes quarter_turn_x(const plane_axes& p);
plane_axes quarter_turn_y(const plane_axes& p);
plane_axes quarter_turn_z(const plane_axes& p);

// The plane through landmarks a, b and c: centred on a, its up direction from
// b to a. b equal to a counts as a + (0, 1, 0); points on one line give the
// normal (0, 0, 1).
plane_axes plane_through_landmarks(const vec3_t& a, vec3_t b, const vec3_t& c);

// One entry of a crop choice: its label and the object it stands for
// (-1 none, -2 all surfaces).
struct crop_item {
  wxString label;
  int32_t object;
};
constexpr int32_t kCropNone = -1;
constexpr int32_t kCropAll = -2;

// "(none)", the names of objects 0 to count - 1 that have a surface, then
// "(all)" when at least one is listed.
std::vector<crop_item> crop_items(const std::vector<wxString>& names, const std::vector<bool>& has_surface);
// The position of object's entry, 0 ("(none)") when it is not listed.
int crop_position(const std::vector<crop_item>& items, int32_t object);
// The client data of the crop choices: a shared table whose entry for object
// k holds k (and two entries for none and all), so that entries point at
// integers that live for the whole run.
void* crop_client_data(int32_t object);
int32_t crop_object_of(const void* client_data);
