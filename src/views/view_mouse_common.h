// What the mouse tools of the three 2D views have in common: the mouse event
// and the host they work through, the drag bookkeeping both kinds of view
// keep, the button overrides, panning, drag and wheel zoom, the calipers'
// clicks and the raising of a landmark change. What differs between the
// review view and the views of reslice planes stays with their tools.
#pragma once

#include <cstddef>
#include <cstdint>

#include <wx/string.h>

#include "data/calipers.h"
#include "registry/res_values.h"
#include "views/review_geometry.h"
#include "views/view_tool_numbers.h"

class landmarks;

// What the tools need of the window and of the rest of the program.
class review_tool_host {
 public:
  virtual ~review_tool_host() = default;
  // Selects toolbar tool n (1-based) as if clicked; the previously selected
  // tool's number, or -1 when nothing changed.
  virtual int32_t select_tool(int32_t n) = 0;
  virtual void refresh() = 0;
  virtual void take_focus() {}
  // Position, range and thumb of a scroll bar; false when the window has none.
  virtual bool scroll_bar(bool horizontal, int32_t& pos, int32_t& range, int32_t& thumb) {
    return false;
  }
  // A thumb-track event of the bar with the new position.
  virtual void scroll_thumb_track(bool horizontal, int32_t position) {}
  // The text of the Fit shape model page's "Undefined landmarks:" value; empty
  // when the page does not exist.
  virtual wxString undefined_landmarks() { return wxString(); }
  // The vertebra level and part chosen on the Spine page; false when none.
  virtual bool pending_spine_level(int32_t& level, int32_t& part) { return false; }
};

// One mouse event, in window pixels with the origin at the top left.
struct review_mouse_event {
  enum kind_t { PRESS, RELEASE, DOUBLE_CLICK, MOTION, ENTER, LEAVE, WHEEL, OTHER };
  kind_t kind = OTHER;
  int32_t button = 0;  // 1 left, 2 middle, 3 right, 4 and 5 the extra buttons
  int32_t x = 0;
  int32_t y = 0;
  bool button_held = false;  // any of the five buttons is down
  int32_t wheel_rotation = 0;
  int32_t wheel_delta = 120;
};

inline bool is_press(const review_mouse_event& e) {
  return e.kind == review_mouse_event::PRESS || e.kind == review_mouse_event::DOUBLE_CLICK;
}
inline bool is_release_or_leave(const review_mouse_event& e) {
  return e.kind == review_mouse_event::RELEASE || e.kind == review_mouse_event::LEAVE;
}
inline bool is_held_motion(const review_mouse_event& e) {
  return e.kind == review_mouse_event::MOTION && e.button_held;
}

// The state every 2D view's tools keep: the geometry they read and scroll,
// the tool a button override replaced, and the drags of both kinds of view.
struct view_mouse_state {
  review_geometry g;
  bool image_shown = false;
  bool zoom_positioned = false;  // the tools placed the scroll offsets for the zoom they write
  int32_t saved_tool = -1;       // 1-based tool to reselect, -1 for none

  bool zoom_drag = false;
  bool pan_drag = false;
  // Window position where the drag started, advanced while panning.
  int32_t drag_start_x = 0, drag_start_y = 0;
  // Scroll offsets and zoom at the start of a zoom drag or wheel step.
  int32_t drag_scroll_x = 0, drag_scroll_y = 0;
  double drag_zoom = 1.0;

  // A landmark being dragged: its index in RES_LANDMARKS and where it is drawn.
  bool landmark_drag = false;
  size_t landmark_index = 0;
  double landmark_drag_x = 0.0, landmark_drag_y = 0.0;
};

// The display window of 16-bit data never narrows below one unit: the width
// divides every windowing of the data.
constexpr double kMinWindowWidth = 1.0;

// How near, in image pixels, a point must lie to the mouse to be hit.
double selection_range(const review_geometry& g);

// The start of every mouse event: a release or leave gives back the tool a
// middle or right press replaced; such a press selects the button's override
// tool; the view then takes the keyboard focus.
void apply_button_overrides(view_mouse_state& s, const review_mouse_event& e,
                            review_tool_host& host);

// Hands an event to an active drag: a release or leave ends it, a motion with
// a button held moves it, anything else is swallowed. False when the drag is
// not active, so the next state may take the event.
template <class End, class Motion>
bool route_drag(bool active, const review_mouse_event& e, End end, Motion motion) {
  if (!active) return false;
  if (is_release_or_leave(e))
    end();
  else if (is_held_motion(e))
    motion();
  return true;
}

// Pans by a held drag: the scroll offsets directly, or the scroll bars when
// RES_USE_SCROLLBARS is on (the mouse's move divided by the axis's zoom when
// that exceeds 1). zoom_y is the vertical zoom the bars scroll by; image_dirty,
// when given, is set when the offsets moved.
void pan_motion(view_mouse_state& s, const review_mouse_event& e, review_tool_host& host,
                double zoom_y, bool* image_dirty);

// The start of a zoom drag or wheel step at window point (mx, my), the view's
// zoom being zoom.
void start_zoom_step(view_mouse_state& s, int32_t mx, int32_t my, double zoom);
// The zoom a horizontal drag to mx gives: 100 pixels right double it, 100
// left halve it.
double drag_zoom_to(const view_mouse_state& s, int32_t mx);
// The zoom a wheel event gives, scroll_zoom percent a step.
double wheel_zoom_to(const view_mouse_state& s, const review_mouse_event& e, double scroll_zoom);
// Scrolls so that the image point under the start of the step stays under
// (mx, my) at zoom z.
void place_zoom_scroll(view_mouse_state& s, double z, int32_t mx, int32_t my);
// A zoom drag released where it started, over an image: a click that fits.
bool zoom_drag_is_click(const view_mouse_state& s, int32_t mx, int32_t my);
// The zoom at which the whole image fits the client area; aspect is
// RES_YSCALE / RES_XSCALE.
double fit_zoom(const review_geometry& g, double aspect);
// With RES_LOCK_ZOOM on, the other views' zooms (review, centre, corner and
// 3D, in that order) follow own, the zoom of the view that changed.
void follow_locked_zoom(double_res_t* own);

// A Measure click of view `view` (0 review, 1 centre, 2 corner): the second
// point of a pair the view started, else the first point of a new pair.
void caliper_click(calipers_t& c, int32_t view, double x, double y);

// The dragged landmark is drawn at (x, y).
void move_dragged_landmark(view_mouse_state& s, double x, double y, review_tool_host& host);
// Raises FIDUCIAL for a fiducial, LANDMARK for any other kind.
void raise_landmark_change(int32_t kind);
// Deletes landmark `index` of the list and raises the change.
void erase_landmark(landmarks& list, size_t index);
