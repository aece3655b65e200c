// The corner view: reslice plane 1 (the second plane of the Ortho page)
// through the display colour map, zoomed and scrolled, with the plane's
// outline, the current frame's crossing line and the overlays of the plane
// views (plane_overlays). Its mouse tools and keys are plane_view_tools and
// corner_key.
#pragma once

#include "views/gl_view_canvas.h"
#include "views/plane_overlays.h"
#include "views/plane_view_tools.h"

class corner_canvas : public gl_tool_view<plane_tool_host> {
 public:
  corner_canvas(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size, long style,
                const wxString& name);
  ~corner_canvas() override;

  void changeproc();
  // Saves the shown image as a file of the toolkit's bitmap type; false,
  // with why set, when it cannot (see dump_view_window).
  bool dump_window(const wxString& file_name, wxBitmapType type, wxString* why = nullptr);

  plane_view_state& state() { return state_; }
  const plane_overlays& overlays() const { return overlays_; }

 private:
  review_geometry& geometry() override { return state_.g; }
  void draw_scene() override;
  void OnMouse(wxMouseEvent& event);
  void OnKey(wxKeyEvent& event);

  void draw_outline_and_frame_line();

  plane_view_state state_;
  plane_view_tools tools_;
  plane_overlays overlays_{2};

  wxDECLARE_EVENT_TABLE();
};
