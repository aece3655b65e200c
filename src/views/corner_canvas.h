// The corner view: reslice plane 1 (the second plane of the Ortho page)
// through the display colour map, zoomed and scrolled, with the plane's
// outline and the current frame's crossing line. Its mouse tools and keys
// are plane_view_tools and corner_key.
#pragma once

#include "views/gl_view_canvas.h"
#include "views/plane_view_tools.h"

class corner_canvas : public gl_tool_view<plane_tool_host> {
 public:
  corner_canvas(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size, long style,
                const wxString& name);
  ~corner_canvas() override;

  void changeproc();
  // Saves the shown image as a file of the toolkit's bitmap type.
  bool dump_window(const wxString& file_name, wxBitmapType type);

  plane_view_state& state() { return state_; }

 private:
  review_geometry& geometry() override { return state_.g; }
  void draw_scene() override;
  void OnMouse(wxMouseEvent& event);
  void OnKey(wxKeyEvent& event);

  void draw_outline_and_frame_line();
  void draw_calipers();
  void draw_landmarks();
  void draw_landmark_curves();
  void draw_navigation_box();
  void draw_scale_bar();

  plane_view_state state_;
  plane_view_tools tools_;

  wxDECLARE_EVENT_TABLE();
};
