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
#include "views/view_mouse_common.h"

class contour_editor;

// The view's state that the paint, the overlays and the tools share.
struct review_view_state : view_mouse_state {
  bool image_dirty = false;
  frame_image_ref frame;  // the current frame's image

  // Drags of the tools besides zoom, pan and landmark drags; at most one is active.
  bool window_drag = false;
  bool thickness_drag = false;
  bool vertex_selecting = false;
  double drag_window_centre = 0.0, drag_window_width = 0.0;
  bool moved = false;
  double press_x = 0.0, press_y = 0.0;  // image position of the last press or entry

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
  void tool_press(const review_mouse_event& e, double x, double y);
  void pixel_readout(double x, double y);
  void window_drag_motion(const review_mouse_event& e, double x, double y);
  void window_drag_end(double x, double y);
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
