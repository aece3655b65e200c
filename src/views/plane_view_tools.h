// Mouse tools of the views that show reslice planes (the centre view, index
// 1, and the corner view, index 2) and the keys of the three 2D views.
//
// The tools work on the view's state and on resources; the window and other
// windows are reached through plane_tool_host, so the whole of it runs in
// tests without a display.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <wx/string.h>

#include "data/calipers.h"
#include "data/geometry.h"
#include "data/reslice_info.h"
#include "views/overlay_math.h"
#include "views/review_geometry.h"
#include "views/review_tools.h"
#include "views/view_mouse_common.h"

// What the tools need beyond the review view's host.
class plane_tool_host : public review_tool_host {
 public:
  // The centre view shows a panoramic panorama instead of a plane.
  virtual bool panorama_shown() { return false; }
  // Sets the Volume page's "Colour mapping" choice to its first entry.
  virtual void select_first_colour_mapping() {}
};

// A handle of the Volume page's histogram panel: its window position (origin
// lower left) and the data value and opacity one window pixel stands for.
// An x scale of 0 marks a handle that is not shown.
struct volume_handle_t {
  double x = 0.0, y = 0.0;
  double scale_x = 0.0, scale_y = 0.0;
};

// The geometry g has one zoom for both axes and is never inverted.
struct plane_view_state : view_mouse_state {
  static constexpr int32_t kHandles = 12;  // 0 low and 1 high end of the window, 2.. volume rows

  int32_t view_index = 1;  // 1 centre view, 2 corner view

  bool rotate_drag = false;
  bool handle_drag = false;
  int32_t handle = -1;

  volume_handle_t handles[kHandles];
  double histogram_low = 0.0, histogram_high = 0.0;  // raw values
};

// Which plane of RESLICE the centre view shows: 0, else 3, else 2 by the
// builders that exist; -1 for none.
int32_t centre_shown_plane();

// Turns plane by the angles a (about its up axis), t (tilt about its in-plane
// x axis) and b (within the plane), in degrees, and moves it by m cm along
// its normal.
void plane_step(reslice_info& plane, double a, double t, double b, double m);

// The status text of the calipers of a plane view (index 1 or 2) with square
// pixels of xscale cm: empty with only the first point set, the distance with
// both. False when the view has nothing to report (calipers of another view,
// or no point set).
bool plane_calipers_text(const calipers_t& c, int32_t view_index, double xscale, wxString& text);

// A landmark drawn in a plane view: its index in the list, its image point
// (the drag position while it is dragged) and its distance z (cm) from the
// plane. Landmarks within the slab are drawn, surface landmarks within ten
// slabs (with a ring of radius |z| / xscale), 2D landmarks never.
struct plane_landmark_t {
  size_t index = 0;
  double x = 0.0, y = 0.0, z = 0.0;
  int32_t kind = 0;
};
std::vector<plane_landmark_t> plane_landmarks(const reslice_info& plane, double xscale,
                                              const plane_view_state& state);

// The keys. Each returns false for a key it does not handle, which the
// caller then passes on. code is a wxKeyCode or a character.
bool review_key(int code);
bool centre_key(int code, bool shift);
bool corner_key(int code);

class plane_view_tools {
 public:
  plane_view_tools(plane_view_state& state, plane_tool_host& host) : s_(state), host_(host) {}

  void on_mouse(const review_mouse_event& e);

 private:
  bool is_centre() const { return s_.view_index == 1; }
  // The plane the tools work on, or null.
  reslice_info* shown_plane() const;
  void tool_press(const review_mouse_event& e, double x, double y, double r);
  void zoom_motion(const review_mouse_event& e);
  void zoom_end(const review_mouse_event& e);
  void wheel_zoom(const review_mouse_event& e);
  void write_zoom_at(double z, int32_t mx, int32_t my);
  void rotate_motion(const review_mouse_event& e);
  void end_rotate();
  void handle_press(const review_mouse_event& e);
  void handle_motion(const review_mouse_event& e);
  void end_handle_drag();
  void measure_press(double x, double y);
  bool hit_landmark(const reslice_info& plane, double x, double y, double r, size_t& index) const;
  void mark_press(reslice_info& plane, double x, double y, double r);
  void landmark_drop(reslice_info& plane, double x, double y);
  void erase_press(const reslice_info& plane, double x, double y, double r);
  // The frame whose line passes nearest (x, y), moving the point onto it,
  // while snapping is on; -1 otherwise.
  int32_t snap(const reslice_info& plane, double& x, double& y) const;
  // RES_CENTRE_ZOOM or RES_CORNER_ZOOM.
  double_res_t* zoom_resource() const;

  plane_view_state& s_;
  plane_tool_host& host_;
};
