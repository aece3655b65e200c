// The centre view: the image the selected visualisation page computes for
// it (a reslice plane's or the panorama), through the display colour map,
// fitted to the window and placed at the top left. Which image it shows
// follows find_centre_source; the view never builds images itself.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <wx/glcanvas.h>

#include "views/centre_panels.h"
#include "views/plane_overlays.h"
#include "views/review_geometry.h"

class base_res_t;
class base_functor;
class glfont;
class shader;

class centre_canvas : public wxGLCanvas {
 public:
  centre_canvas(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size, long style,
                const wxString& name);
  ~centre_canvas() override;

  void changeproc();
  void fit_to_window(int32_t cw, int32_t ch);
  // Saves what the view shows (the visible image region) as an image file
  // of the toolkit type; false when nothing could be read or written.
  bool dump_window(const wxString& file_name, wxBitmapType type, wxString* why = nullptr);

  const review_geometry& geometry() const { return g_; }
  const centre_source& source() const { return source_; }
  bool image_shown() const { return image_shown_; }
  int paints() const { return paints_; }
  const plane_overlays& overlays() const { return overlays_; }

 private:
  void OnSize(wxSizeEvent& event);
  void OnPaint(wxPaintEvent& event);
  void OnEraseBackground(wxEraseEvent&) {}

  // Zoom (unless locked), scroll and visible region for the client size;
  // true when the zoom was fitted.
  bool fit_image(int32_t cw, int32_t ch);
  void init_gl();
  void render_scene();
  // The Thickness page's panel: the colour key and the measured line's profile.
  void draw_thickness_key();
  // The shown image's pixels, or null.
  const uint8_t* source_pixels();
  void watch(base_res_t* res);
  // The overlays over the shown plane or panorama, after the image.
  void draw_overlays();

  wxGLContext* context_ = nullptr;
  base_functor* proc_ = nullptr;
  std::vector<base_res_t*> watched_;
  review_geometry g_;
  centre_source source_;
  bool image_shown_ = false;
  bool needs_gl_init_ = true;
  std::vector<uint8_t> rgba_;
  shader* shaders_ = nullptr;
  glfont* font_ = nullptr;
  int paints_ = 0;
  plane_overlays overlays_{1};
  int32_t font_number_ = -1;
  int viewport_[4] = {0, 0, 1, 1};

  wxDECLARE_EVENT_TABLE();
};
