// The centre view: the image the selected visualisation page computes for
// it (a reslice plane's or the panorama), through the display colour map,
// zoomed and scrolled from the top left, or on the Volume page the volume
// histogram with the transfer-function editor. Which image it shows follows
// find_centre_source; the view never builds images itself. Its mouse tools
// and keys are plane_view_tools and centre_key.
#pragma once

#include <cstdint>

#include "views/centre_panels.h"
#include "views/gl_view_canvas.h"
#include "views/plane_overlays.h"
#include "views/plane_view_tools.h"

class centre_canvas : public gl_tool_view<plane_tool_host> {
 public:
  centre_canvas(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size, long style,
                const wxString& name);
  ~centre_canvas() override;

  void changeproc();
  // Saves what the view shows (the visible image region) as an image file
  // of the toolkit type; false, with why set, when nothing could be read or
  // written (see dump_view_window).
  bool dump_window(const wxString& file_name, wxBitmapType type, wxString* why = nullptr);

  plane_view_state& state() { return state_; }
  const centre_source& source() const { return source_; }
  bool image_shown() const { return state_.image_shown; }
  const volume_histogram& histogram() const { return histogram_; }
  const plane_overlays& overlays() const { return overlays_; }

  // plane_tool_host
  bool panorama_shown() override;

 private:
  review_geometry& geometry() override { return state_.g; }
  void draw_scene() override;
  void OnMouse(wxMouseEvent& event);
  void OnKey(wxKeyEvent& event);

  // The shown image with the overlays of its mode.
  void draw_shown_image();
  // The current frame's strip of the panorama, in red.
  void draw_panorama_strip();
  // The overlays over the shown plane or panorama, after the image.
  void draw_overlays(const centre_source& source);
  void compute_volume_histogram();
  // The Volume page's panel; places the handles the mouse tools drag.
  void draw_volume_histogram();
  // The Thickness page's panel: the colour key and the measured line's profile.
  void draw_thickness_key();

  plane_view_state state_;
  plane_view_tools tools_;
  centre_source source_;
  volume_histogram histogram_;
  bool histogram_dirty_ = true;
  plane_overlays overlays_{1};

  wxDECLARE_EVENT_TABLE();
};
