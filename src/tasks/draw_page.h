// The Draw task page: the current object and the commands on objects and
// their surfaces, the settings by which surfaces and contours are made, and
// one row of properties per object in use.
#pragma once

#include <cstdint>
#include <vector>

#include <wx/bitmap.h>

#include "data/objects.h"
#include "registry/resource_table.h"
#include "tasks/task_page.h"

class wxButton;
class wxCheckBox;
class wxChoice;
class wxCommandEvent;
class wxFlexGridSizer;
class wxScrollEvent;
class wxSizer;
class wxSlider;
class wxStaticText;
class wxTextCtrl;
class interp_progress;
class surface_interp;

class draw_page final : public task_page {
 public:
  draw_page(wxNotebook* notebook, task_page_host& host);

  // The change procedure: brings the page in line with the objects and the
  // settings that changed in the commit.
  void update();
  // Rows for objects 0 to count - 1 (at most 200): appended when the count
  // grows, rebuilt from row 0 when it shrinks.
  void create_object_properties(int32_t count);
  // The threshold grid's label cells in the units of 16-bit data.
  void update_threshold_label();
  int32_t row_count() const { return static_cast<int32_t>(rows.size()); }

  // --- commands
  void OnCurrentObject(wxCommandEvent& event);
  void OnFindContours(wxScrollEvent& event);
  void OnObjectName(wxCommandEvent& event);
  void OnObjectOpacity(wxCommandEvent& event);
  void OnObjectCap(wxCommandEvent& event);
  void OnUpdateCurrentSurface(wxCommandEvent& event);
  void OnUpdateAllSurface(wxCommandEvent& event);
  void OnRevertCurrentSurface(wxCommandEvent& event);
  void OnRevertAllSurface(wxCommandEvent& event);
  void OnSaveCurrentSurface(wxCommandEvent& event);
  void OnSaveAllSurface(wxCommandEvent& event);
  void OnSurfaceResolution(wxCommandEvent& event);
  void OnSurfaceSmoothing(wxCommandEvent& event);
  void OnSurfaceConnectObjects(wxCommandEvent& event);
  void OnSurfaceConnectHoles(wxCommandEvent& event);
  void OnSurfaceCover(wxCommandEvent& event);
  void OnSurfaceCompoundType(wxCommandEvent& event);
  void OnSurfaceCompoundThick(wxScrollEvent& event);
  void OnSegmentType(wxCommandEvent& event);
  void OnSegmentFrame(wxScrollEvent& event);
  void OnSegmentRange(wxScrollEvent& event);
  void OnSegmentObjects(wxScrollEvent& event);
  void OnSegmentConnected(wxCommandEvent& event);
  void OnSegmentRidges(wxCommandEvent& event);
  void OnSegmentValleys(wxCommandEvent& event);
  void OnJumpThresh(wxScrollEvent& event);
  void OnConcavityStrength(wxScrollEvent& event);
  void OnSimplifyThresh(wxScrollEvent& event);
  void OnCmapGreyLo(wxScrollEvent& event);
  void OnCmapGreyHi(wxScrollEvent& event);
  void OnCmapGreyAnti(wxScrollEvent& event);
  void OnCmapRedLo(wxScrollEvent& event);
  void OnCmapRedHi(wxScrollEvent& event);
  void OnCmapBlueLo(wxScrollEvent& event);
  void OnCmapBlueHi(wxScrollEvent& event);
  void OnApplyToAllObjects(wxCommandEvent& event);
  void OnCmapBinary(wxCommandEvent& event);
  void OnCmapLabels(wxCommandEvent& event);

  // One-shot: the next refresh returns at once, so that a slider being
  // dragged is not set back.
  bool skip_refresh = false;
  // The next refresh reports the current contour's statistics.
  bool show_contour_stats = false;
  // What the next surface update rebuilds: the shape or only compounding.
  bool surface_shape_changed = false;
  bool compounding_changed = false;

  // When set, surface updates report to this instead of opening a progress
  // dialog (scripted progress in tests).
  interp_progress* scripted_progress = nullptr;

  // --- controls
  wxButton *update_all = nullptr, *revert_all = nullptr, *save_all = nullptr;
  wxButton *delete_all = nullptr, *reset_all = nullptr, *pack = nullptr;
  wxButton *create_from_labels = nullptr, *import_contours = nullptr;
  wxChoice* object_choice = nullptr;
  wxButton *update_current = nullptr, *revert_current = nullptr, *save_current = nullptr;
  wxButton *delete_current = nullptr, *reset_current = nullptr, *find = nullptr;
  wxButton* import_surface = nullptr;
  wxSlider* find_contours = nullptr;
  wxStaticText *position_line = nullptr, *area_line = nullptr, *perimeter_line = nullptr;
  wxStaticText* volume_line = nullptr;
  wxChoice *resolution = nullptr, *smoothing = nullptr, *compound_type = nullptr;
  wxCheckBox *connect_objects = nullptr, *connect_holes = nullptr, *cover = nullptr;
  wxSlider* compound_thick = nullptr;
  wxCheckBox *show_thresholds = nullptr, *show_labels = nullptr;
  wxFlexGridSizer* threshold_grid = nullptr;
  wxSlider *grey_lo = nullptr, *grey_hi = nullptr, *grey_anti = nullptr;
  wxSlider *red_lo = nullptr, *red_hi = nullptr, *blue_lo = nullptr, *blue_hi = nullptr;
  wxStaticText *threshold_unit = nullptr, *threshold_values = nullptr;
  wxChoice* segment_type = nullptr;
  wxSlider *segment_frame = nullptr, *segment_range = nullptr, *segment_objects = nullptr;
  wxCheckBox *segment_connected = nullptr, *segment_ridges = nullptr, *segment_valleys = nullptr;
  wxSlider *jump_thresh = nullptr, *concavity = nullptr, *simplify = nullptr;
  wxCheckBox* apply_to_all = nullptr;

  // One object's row and the colour and material its swatch was drawn from.
  struct object_row {
    wxButton* colour = nullptr;
    wxTextCtrl* name = nullptr;
    wxSlider* opacity = nullptr;
    wxCheckBox* cap = nullptr;
    rgba_colour_t swatch_colour;
    double swatch_metallic = -1, swatch_anisotropy = -1, swatch_roughness = -1;
  };
  std::vector<object_row> rows;

 private:
  void build_all_objects_group(wxSizer* page);
  void build_current_object_group(wxSizer* page);
  void build_surface_group(wxSizer* page);
  void build_contour_group(wxSizer* page);
  void build_row(int32_t i);
  void draw_swatch(object_row& row, const contour_object& object);
  void show_threshold_grid();
  void set_info_lines(bool contours_changed);
  void set_button_states();
  // Writes value to a slider's resource unless it holds it already; the
  // refresh that follows is skipped so that the drag goes on undisturbed.
  void slider_write(long_res_t* res, int32_t value);
  // Builds object k's surface (a derived layer again from its source);
  // false when nothing was built or the build failed or was cancelled (the
  // old surface stays).
  bool build_surface(int32_t k, interp_progress* progress);
  // Compounding set again, display data recomputed and the surface written
  // back (pending), when object k has one.
  void redisplay_surface(int32_t k);
  void set_compounding(surface_interp* s) const;
  int32_t object_of(const wxCommandEvent& event, int first) const;

  // The display windowing of 16-bit data as it was before label mode, put
  // back when label mode ends.
  struct windowing_t {
    double centre = 0, width = 0;
    long filter = 0, filter_z = 0;
    bool saved = false;
  } before_labels_;

  wxSizer* rows_sizer_ = nullptr;
  wxSizer* page_sizer_ = nullptr;
};
