// What the three 2D OpenGL views (review, centre and corner) share: the
// toolkit's events (size, paint, scrolling), the change procedure's
// registrations, the fit of the image to the window with its scroll bars and
// the paint skeleton. The OpenGL lifetime (context, shader set, font,
// textures) is a gl_view_context and the view image's way to the screen a
// gl_view_image, both members. Each view supplies its geometry, its zoom
// resource and what it draws.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <wx/colour.h>
#include <wx/glcanvas.h>

#include "data/geometry.h"
#include "registry/hm_resource.h"
#include "views/review_geometry.h"
#include "views/gl_view_image.h"
#include "views/review_tools.h"

class double_res_t;
class gl_view_context;
class glfont;
class shader;

class gl_view_canvas : public wxGLCanvas {
 public:
  ~gl_view_canvas() override;

  // Viewport 0, 0, client size and the orthographic projection over it.
  void set_viewport_projection();
  // Zoom (unless locked), visible region and scroll bars for the client size.
  void fit_to_window(int32_t cw, int32_t ch);

  // How the tools reach the main window's toolbar.
  void set_tool_selector(std::function<int32_t(int32_t)> selector) { select_tool_ = selector; }

  int paints() const { return paints_; }
  // Paint events that came while another view was painting.
  int deferred_paints() const { return deferred_paints_; }
  // The image reaches the screen by a texture and a framebuffer blit.
  bool gl3_path() const { return image_.gl3_path(); }
  // Draws with the raster-position path even where OpenGL 3 is present.
  void force_raster_path(bool on) { image_.force_raster_path(on); }
  // Resources the view is registered on; none once it is destroyed.
  size_t watched() const { return watched_.size(); }
  // P: the height of the view's font in pixels; sizes of marks follow it.
  double font_size() const;

 protected:
  // view_name names the view in the debug messages of unusable device contexts.
  gl_view_canvas(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size, long style,
                 const wxString& name, const char* view_name, double_res_t* zoom_resource);

  // The view's change procedure; registered on the resources given to watch().
  template <class T>
  void set_changeproc(T* view, void (T::*procedure)()) {
    auto* functor = new pmf_functor<T>(view, procedure);
    proc_ = functor;
    free_proc_ = [functor] { delete functor; };
  }
  void watch(base_res_t* res);
  // Removes every registration; views call it first thing in their
  // destructors, so that no commit reaches a half-destroyed view.
  void unwatch_all();

  virtual review_geometry& geometry() = 0;
  const review_geometry& geometry() const { return const_cast<gl_view_canvas*>(this)->geometry(); }
  // RES_YSCALE / RES_XSCALE for the review view, 1 for the plane views.
  virtual double view_aspect() const { return 1.0; }
  // Takes a fitted zoom: the plane views round the display size as a zoom
  // change does.
  virtual void adopt_fit(const review_fit_t& fit, double aspect) { geometry().set_zoom(fit.zoom, aspect); }
  // The fit placed the image anew (zoom, client size or scroll).
  virtual void placement_changed() {}
  // What the view draws after the common start of a paint.
  virtual void draw_scene() = 0;

  // A new value of the view's zoom resource, in a change procedure: reported
  // in the status bar by format ("... %.2lf"); the image point in the middle
  // of the client area stays there unless positioned (the tools placed the
  // scroll offsets already, cleared here). True when the zoom changed.
  bool follow_zoom_resource(const char* format, bool& positioned);
  // Scrolls a display larger than the client area to its middle; true when
  // it did on either axis.
  bool centre_display();
  // RES_BACKGROUND changed in this commit: the window takes it; true then.
  bool follow_background();
  // The end of a change procedure: the refit, then the repaint at once.
  void apply_changes(bool redraw, bool refit);
  // The end of the plane views' change procedures: the background, a new
  // zoom (reported by zoom_format) and FINDING_LOCATION (centres the
  // display), then apply_changes.
  void finish_plane_changes(const char* zoom_format, bool& positioned, bool redraw, bool refit);

  // Toolbar tool n selected as if clicked; the previous tool, -1 without a toolbar.
  int32_t select_with_toolbar(int32_t n) { return select_tool_ ? select_tool_(n) : -1; }
  // Position, range and thumb of a scroll bar; false when the window has none.
  bool scroll_bar_state(bool horizontal, int32_t& pos, int32_t& range, int32_t& thumb);
  // Scrolls to bar position; then refits and repaints at once.
  void scroll_to(int orientation, int32_t position);

  void OnSize(wxSizeEvent& event);
  void OnPaint(wxPaintEvent& event);
  void OnEraseBackground(wxEraseEvent&) {}
  void OnScroll(wxScrollWinEvent& event);

  // The scene into the back buffer: the set-up the paint needs, the
  // background, then draw_scene.
  void render_scene();
  void init_gl();
  // The visible part of image (image width x height bytes, row 0 at the top)
  // through the display colour map into the RGBA buffer, rows bottom-up, and
  // into the view texture on the OpenGL 3 path. False when nothing is shown.
  bool make_image(const uint8_t* image, bool masked) { return image_.make(image, masked, geometry()); }
  // Puts the RGBA buffer at the top left of the client area.
  void put_image() { image_.put(geometry()); }
  bool have_image() const { return image_.have(); }
  void drop_image() { image_.clear(); }
  // Renders the scene again into the back buffer and saves its image part as
  // an RGB file of the toolkit type (JPEG at quality 95).
  bool save_view(const wxString& file_name, wxBitmapType type, wxString* why = nullptr);

  // The plane views (centre and corner): window point of image point (x, y),
  // origin lower left; the image's right and lower edges, the lower one at
  // image row bottom; where the current frame crosses reslice plane index,
  // in red.
  void image_to_window(double x, double y, double& wx, double& wy) const;
  void draw_image_border(double bottom);
  void draw_frame_line(int32_t plane);

  // The toolkit's mouse event as the tools take it.
  static review_mouse_event mouse_event(const wxMouseEvent& event);

  // Text anchored at window point (wx, wy), offset in font sizes, in the current GL colour.
  void draw_text(const wxString& text, double wx, double wy, double ox, double oy);
  // RES_BACKGROUND, grey when it does not parse.
  static wxColour background_colour();
  // Each of the background's components exceeds 220.
  static bool light_background();

  // The view's font, null before the first paint.
  glfont* font() const;
  int viewport_[4] = {0, 0, 1, 1};
  matrix4_t projection_;
  bool viewport_changed_ = true;
  bool font_changed_ = false;

 private:
  const char* view_name_;
  double_res_t* zoom_resource_;
  base_functor* proc_ = nullptr;
  std::function<void()> free_proc_;
  std::vector<base_res_t*> watched_;
  std::function<int32_t(int32_t)> select_tool_;

  std::unique_ptr<gl_view_context> gl_;
  gl_view_image image_;
  int paints_ = 0;
  int deferred_paints_ = 0;

  // The fit's memory of the last outer size, image size and scroll bars.
  int32_t fit_ww_ = -1, fit_wh_ = -1, fit_iw_ = -1, fit_ih_ = -1;
  bool fit_hbar_ = false, fit_vbar_ = false;
  bool resize_guard_ = false;

  wxDECLARE_EVENT_TABLE();
};

// A view whose mouse tools reach the window through Host (review_tool_host
// or one derived from it).
template <class Host>
class gl_tool_view : public gl_view_canvas, public Host {
 public:
  int32_t select_tool(int32_t n) override { return select_with_toolbar(n); }
  void refresh() override { Refresh(true); }
  void take_focus() override { SetFocus(); }
  bool scroll_bar(bool horizontal, int32_t& pos, int32_t& range, int32_t& thumb) override {
    return scroll_bar_state(horizontal, pos, range, thumb);
  }
  void scroll_thumb_track(bool horizontal, int32_t position) override {
    scroll_to(horizontal ? wxHORIZONTAL : wxVERTICAL, position);
  }

 protected:
  using gl_view_canvas::gl_view_canvas;
};
