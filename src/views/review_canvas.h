// The review view: the current frame of the frame store through the display
// colour map, zoomed and scrolled, with the contours, landmarks, calipers,
// navigation box and mask region drawn over it. The window feeds its events
// to review_tools and draws what review_view_state and the resources hold.
#pragma once

#include <functional>
#include <vector>

#include <wx/glcanvas.h>

#include "data/geometry.h"
#include "views/contour_editor.h"
#include "views/plane_overlays.h"
#include "views/review_mask.h"
#include "views/review_tools.h"

class base_res_t;
class base_functor;
class glfont;
class shader;

class review_canvas : public wxGLCanvas, public review_tool_host {
 public:
  review_canvas(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size, long style,
                const wxString& name);
  ~review_canvas() override;

  void changeproc();
  void fit_to_window(int32_t cw, int32_t ch);
  void set_viewport_projection();
  void make_view_image();
  double screen_y(double v) const { return state_.g.screen_y(v); }
  // Saves what the view shows; false, with why set, when it cannot (see
  // dump_view_window).
  bool dump_window(const wxString& file_name, wxBitmapType type, wxString* why = nullptr);

  // The masking of the data with the edited contour (or the region already
  // in the mask region).
  bool mask_data(mask_ui& ui);
  // The same with the question and progress in dialogs over the top window.
  bool mask_data();

  // How the tools reach the main window's toolbar and pages.
  void set_tool_selector(std::function<int32_t(int32_t)> selector) { select_tool_ = selector; }

  // The view's state and the path it draws with, for the window's owner and tests.
  review_view_state& state() { return state_; }
  contour_editor& contour_editing() { return *contour_editor_; }
  bool gl3_path() const { return gl3_path_ && view_texture_ != 0; }
  // Draws with the raster-position path even where OpenGL 3 is present.
  void force_raster_path(bool on) { force_raster_ = on; }
  int paints() const { return paints_; }
  // Paint events that came while another view was painting.
  int deferred_paints() const { return deferred_paints_; }
  mask_region_t& mask_region() { return mask_; }

  // review_tool_host
  int32_t select_tool(int32_t n) override;
  void refresh() override { Refresh(true); }
  void take_focus() override { SetFocus(); }
  bool scroll_bar(bool horizontal, int32_t& pos, int32_t& range, int32_t& thumb) override;
  void scroll_thumb_track(bool horizontal, int32_t position) override;
  // The Fit shape model page's next landmark to place, from the model.
  wxString undefined_landmarks() override;

 private:
  void OnSize(wxSizeEvent& event);
  void OnPaint(wxPaintEvent& event);
  void OnEraseBackground(wxEraseEvent&) {}
  void OnMouse(wxMouseEvent& event);
  void OnKey(wxKeyEvent& event);
  void OnScroll(wxScrollWinEvent& event);
  void scroll_to(int orientation, int32_t position);

  void init_gl();
  // Steps of the paint that draw: set-up, background, frame and overlays.
  void render_scene();
  void reload_frame();
  void put_image_on_screen();
  void draw_frame_border();
  void draw_overlays();
  void draw_contour(const contour_t* c, const uint8_t colour[3]);
  void draw_surface_section(int object);
  void draw_shape_model_points();
  void draw_landmarks();
  void draw_landmark_curves();
  void draw_thickness_line();
  void draw_calipers();
  void draw_navigation_box();
  void draw_scale_bar();
  void draw_mask_region();
  // What the shared overlay drawing needs of the view.
  overlay_target overlay() const;
  bool light_background() const;
  // P: the height of the view's font in pixels; sizes of marks follow it.
  double font_size() const;
  // Text anchored at window point (wx, wy), offset in font sizes, in the current GL colour.
  void draw_text(const wxString& text, double wx, double wy, double ox, double oy);
  void watch(base_res_t* res);

  wxGLContext* context_ = nullptr;
  review_view_state state_;
  review_tools tools_;
  std::unique_ptr<contour_editor_ui> contour_ui_;
  std::unique_ptr<contour_editor> contour_editor_;
  mask_region_t mask_;
  std::function<int32_t(int32_t)> select_tool_;
  base_functor* proc_ = nullptr;
  std::vector<base_res_t*> watched_;

  int viewport_[4] = {0, 0, 1, 1};
  bool needs_gl_init_ = true;
  bool viewport_changed_ = true;
  bool font_changed_ = false;
  shader* shaders_ = nullptr;
  glfont* font_ = nullptr;
  bool gl3_path_ = false;
  bool force_raster_ = false;
  unsigned int view_texture_ = 0;
  matrix4_t projection_;
  std::vector<uint8_t> rgba_;
  bool have_rgba_ = false;
  int32_t image_pixels_ = 0;
  int paints_ = 0;
  int deferred_paints_ = 0;

  // The fit's memory of the last outer size, image size and scroll bars.
  int32_t fit_ww_ = -1, fit_wh_ = -1, fit_iw_ = -1, fit_ih_ = -1;
  bool fit_hbar_ = false, fit_vbar_ = false;
  bool resize_guard_ = false;

  wxDECLARE_EVENT_TABLE();
};
