// The review view's mouse tools other than contour work: button overrides,
// the Drag tool's read-out, panning and window/level drag, drag and wheel
// zoom, the Measure tool's calipers, and landmarks (Mark, drag, Erase).
//
// The tools work on the view's state and on resources; everything that needs
// the window or other windows goes through review_tool_host, so that the
// whole of it runs in tests without a display.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <wx/string.h>

#include "data/contour.h"
#include "data/dynabuf.h"
#include "views/review_geometry.h"

class contour_editor;

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

// The view's state that the paint, the overlays and the tools share.
struct review_view_state {
  review_geometry g;
  bool image_shown = false;
  bool image_dirty = false;
  bool zoom_positioned = false;  // the tools placed the scroll offsets for the zoom they write
  frame_image_ref frame;         // the current frame's image

  // Drags of the tools; at most one is active.
  bool window_drag = false;
  bool pan_drag = false;
  bool zoom_drag = false;
  bool thickness_drag = false;
  bool vertex_selecting = false;
  int32_t drag_start_x = 0, drag_start_y = 0;
  int32_t drag_scroll_x = 0, drag_scroll_y = 0;
  double drag_zoom = 1.0;
  double drag_window_centre = 0.0, drag_window_width = 0.0;
  bool moved = false;
  double press_x = 0.0, press_y = 0.0;  // image position of the last press or entry
  int32_t saved_tool = -1;               // 1-based tool to reselect, -1 for none

  // A landmark being dragged: its index in RES_LANDMARKS and where it is drawn.
  bool landmark_drag = false;
  size_t landmark_index = 0;
  double landmark_drag_x = 0.0, landmark_drag_y = 0.0;

  // Contour work, read by the overlays.
  bool click_drawing = false;
  bool freehand_drawing = false;
  bool mask_outline = false;
  std::unique_ptr<contour_t> edited_contour;
  std::vector<const contour_t*> selected_contours;
  std::vector<int32_t> selected_vertices;
  const contour_t* continued_contour = nullptr;
  size_t continuation_vertex = 0;
  int32_t continued_object = -1;
  int32_t continuation_direction = 1;
};

class review_tools {
 public:
  review_tools(review_view_state& state, review_tool_host& host) : s_(state), host_(host) {}

  void on_mouse(const review_mouse_event& e);
  // The Draw, Select and Erase tools' contour work; none when null.
  void set_contour_editor(contour_editor* editor) { contours_ = editor; }

  // The status text for the window/level of 16-bit data at a pixel.
  static wxString window_readout(int32_t column, int32_t row, int32_t raw_value);

 private:
  bool released_or_left(const review_mouse_event& e) const;
  void tool_press(const review_mouse_event& e, double x, double y);
  void pixel_readout(double x, double y);
  void window_drag_motion(const review_mouse_event& e, double x, double y);
  void window_drag_end(double x, double y);
  void pan_motion(const review_mouse_event& e);
  void zoom_drag_motion(const review_mouse_event& e);
  void zoom_drag_end(const review_mouse_event& e);
  void wheel_zoom(const review_mouse_event& e);
  void write_zoom_at(double z, int32_t mx, int32_t my);
  void measure_press(double x, double y);
  bool hit_landmark(double x, double y, double r, size_t& index);
  void mark_press(double x, double y, double r);
  void landmark_drop(double x, double y);
  void erase_press(double x, double y, double r);
  // The shape model's data points: a click adds one, the Erase tool picks
  // and a drag collects them, the release deletes what was picked.
  void add_data_point(double x, double y);
  bool select_data_points(double x, double y, double r);
  void data_point_selection_motion(double x, double y, double r);
  void data_point_selection_end();
  bool pixel_inside(double x, double y, int32_t& column, int32_t& row) const;

  review_view_state& s_;
  review_tool_host& host_;
  contour_editor* contours_ = nullptr;
};
