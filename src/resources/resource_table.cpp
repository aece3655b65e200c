#include "registry/resource_table.h"

#include <array>
#include <cmath>
#include <cwchar>
#include <utility>
#include <vector>

#include <wx/fileconf.h>

#include "data/calipers.h"
#include "data/curves.h"
#include "data/image_builder.h"
#include "data/data_io_ui.h"
#include "data/landmarks.h"
#include "data/objects.h"
#include "data/reslice_info.h"
#include "data/surface_store.h"
#include "medical/dicom_utility.h"
#include "models/fit_model.h"
#include "models/wrl_object.h"
#include "registry/app_types.h"
#include "segmentation/grassfire.h"
#include "segmentation/image_correlation.h"
#include "surfaces/surface_interp.h"
#include "surfaces/surface_section.h"
#include "thickness/thickness.h"

namespace {

// Integer resources that other code uses as indices or sizes. A configuration
// entry outside the range gives the built-in value, which is written over it.
// A line of a data or settings file outside it is skipped with a warning that
// names the setting, and the rest of the file loads: files written by a
// version with more fonts, shaders or filters stay readable. Clamping is not
// done, since the nearest value in range is a choice the user never made. A
// script's line outside the range is an error of the script and refused.
struct index_range_t {
  const wchar_t* name;
  int32_t lo, hi;
};

constexpr index_range_t kIndexRanges[] = {
    {L"RES_SHADER", -1, 3},                          // "None" and the four user shaders
    {L"RES_GLUT_FONT", 0, 10},                       // the eleven texture fonts
    {L"RES_ICON_SIZE", -1, 2},                       // automatic, small, medium, large
    {L"RES_MOUSE_MIDDLE_OVERRIDE", 0, TOOL_COUNT},   // none, or tool number + 1
    {L"RES_MOUSE_RIGHT_OVERRIDE", 0, TOOL_COUNT},
    {L"RES_TRANSLUCENT_LAYERS", 0, 20},              // depth-peeling layers
    {L"RES_OCCLUSION_RANGE", 0, 20},
    {L"RES_DICOM_FILTER", 0, 40},                    // smoothing kernel sizes
    {L"RES_DICOM_FILTER_Z", 0, 40},
};
constexpr size_t kIndexRangeCount = sizeof(kIndexRanges) / sizeof(kIndexRanges[0]);

wxString format_setting_double(double v) { return wxString::FromCDouble(v); }

bool in_range(const index_range_t& r, long v) { return v >= r.lo && v <= r.hi; }

// Parses the value as its class does, then withdraws it again when it lies
// outside the range.
bool parse_in_range(const index_range_t& r, wxString& text) {
  auto* res = dynamic_cast<long_res_t*>(base_res_t::find(r.name));
  if (!res) return false;
  const int32_t before = res->pending();
  if (!res->parse_value_no_changeprocs(text)) return false;
  const int32_t value = res->pending();
  if (in_range(r, value)) return true;
  res->write_no_changeprocs(before);
  auto* script = dynamic_cast<bool_res_t*>(base_res_t::find(L"RES_IN_SCRIPT"));
  if (script && script->read()) return false;
  data_report(wxLOG_Warning, wxString::Format(L"%s %ld is not one of %ld to %ld: the line is skipped and "
                                              L"the setting keeps its value.",
                                              r.name, static_cast<long>(value), static_cast<long>(r.lo),
                                              static_cast<long>(r.hi)));
  return true;
}

template <size_t I>
bool parse_ranged(wxString& text) {
  return parse_in_range(kIndexRanges[I], text);
}

template <size_t... I>
constexpr std::array<base_res_t::parse_proc_t, sizeof...(I)> ranged_parsers(
    std::index_sequence<I...>) {
  return {&parse_ranged<I>...};
}

// Floating-point settings with the range their controls give. Settings and
// configuration entries must be finite; these also within their range. A
// line outside it is skipped with the warning the index settings give.
struct double_range_t {
  const wchar_t* name;
  double lo, hi;
};

constexpr double_range_t kDoubleRanges[] = {
    {L"RES_THICKNESS_LINE", 0.1, 10},        // line length, 1 to 100 mm
    {L"RES_LIGHTING_UP_DOWN", -1, 1},
    {L"RES_LIGHTING_LEFT_RIGHT", -1, 1},
    {L"RES_LIGHTING_FRONT_SIDE", 0, 1},
    {L"RES_LIGHTING_AMBIENT", 0, 1},
    {L"RES_RESLICE_OPACITY", 0, 1},
    {L"RES_FOCUS_RANGE", 0, 1},
    {L"RES_FOCUS_DEPTH", 0, 1},
    {L"RES_VOLUME_CROP_X_LOW", 0, 100},      // percent of the volume
    {L"RES_VOLUME_CROP_X_HIGH", 0, 100},
    {L"RES_VOLUME_CROP_Y_LOW", 0, 100},
    {L"RES_VOLUME_CROP_Y_HIGH", 0, 100},
    {L"RES_VOLUME_CROP_Z_LOW", 0, 100},
    {L"RES_VOLUME_CROP_Z_HIGH", 0, 100},
};

value_verdict double_setting_verdict(const wchar_t* key, int32_t class_flags, double value,
                                     bool from_line) {
  const double_range_t* range = nullptr;
  for (const double_range_t& r : kDoubleRanges)
    if (std::wcscmp(r.name, key) == 0) range = &r;
  const bool setting = range || (class_flags & (RES_CLASS_CONFIG | RES_CLASS_SETTINGS)) != 0;
  if (!setting || (std::isfinite(value) && (!range || (value >= range->lo && value <= range->hi))))
    return value_verdict::take;
  if (!from_line) return value_verdict::refuse;
  auto* script = dynamic_cast<bool_res_t*>(base_res_t::find(L"RES_IN_SCRIPT"));
  if (script && script->read()) return value_verdict::refuse;
  const wxString shown = format_setting_double(value);
  data_report(wxLOG_Warning,
              range ? wxString::Format(L"%s %s is not within %s to %s: the line is skipped and the "
                                       L"setting keeps its value.",
                                       key, shown, format_setting_double(range->lo),
                                       format_setting_double(range->hi))
                    : wxString::Format(L"%s %s is not a finite number: the line is skipped and the "
                                       L"setting keeps its value.",
                                       key, shown));
  return value_verdict::skip;
}

bool configured_value_allowed(const wchar_t* key, long value) {
  for (const index_range_t& r : kIndexRanges)
    if (std::wcscmp(r.name, key) == 0) return in_range(r, value);
  return true;
}

}  // namespace

resource_table_t::resource_table_t() {
  set_config_value_check(&configured_value_allowed);
  set_double_value_check(&double_setting_verdict);
  make_data_file_resources();
  make_view_settings();
  make_parameters();
  make_run_time_state();
  attach_line_procedures();
  attach_range_checks();
  // The data layer deletes surfaces on reset and export without knowing
  // their class.
  set_surface_deleter([](surface_interp* s) { delete s; });
  // The volume export fills label volumes from the surfaces it cannot see.
  dicom_utility::surface_crossings = [](int object, int32_t frame,
                                        std::vector<std::vector<int32_t>>& rows) {
    if (!resource_table || object < 0 || object >= kSurfaceCount) return false;
    const surface_interp* s = resource_table->RES_SURFACE[object]->read();
    return s && scanline_crossings(*s, int(frame), 1, rows);
  };
  // The object imports trace label images with the segmentation's tracer.
  dicom_utility::label_tracer = &grassfire::trace_label_contours;
}

resource_table_t::~resource_table_t() {
  release_held_objects();
  base_res_t::delete_all();
  set_config_value_check(nullptr);
  set_double_value_check(nullptr);
  if (resource_table == this) resource_table = nullptr;
}

void resource_table_t::attach_range_checks() {
  static constexpr auto parsers = ranged_parsers(std::make_index_sequence<kIndexRangeCount>());
  for (size_t i = 0; i < kIndexRangeCount; ++i)
    base_res_t::find(kIndexRanges[i].name)->set_parse_proc(parsers[i]);
}

// Frees what the resources hold, while every resource still exists. The held
// values are taken from the pending slots: code that replaces or clears a
// held object deletes the old one and stores the new one, and a store not yet
// committed is only visible there.
void resource_table_t::release_held_objects() {
  // Builders first: they watch resources and point into the planes. Their
  // classes belong to the views; the virtual destructors reach them.
  delete RES_PANORAMA->pending();
  reslice_info* planes = RESLICE->pending();
  for (int k = kReslicePlaneCount - 1; k >= 0; --k) delete planes[k].builder;
  delete[] planes;

  // Surfaces update the curve set as they go, so the curves outlive them.
  contour_object* objects = RES_OBJECT->pending();
  for (int k = 0; k < NUM_OBJECTS; ++k) {
    objects[k].reset();
    delete RES_SURFACE[k]->pending();
  }
  delete[] objects;
  delete[] RES_VOLUME->pending();
  delete RES_LANDMARKS->pending();
  delete RES_THICKNESS->pending();
  delete RES_COMMENT->pending();
  delete RES_DICOM_FRAME_LIST->pending();
  delete RES_CURVE->pending();
  delete RES_FIT_MODEL->pending();
  delete RES_WRL_OBJECT->pending();
  delete RES_CORRELATION->pending();
}
