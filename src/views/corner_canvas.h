// The corner view: reslice plane 1 (the second plane of the Ortho page)
// through the display colour map, zoomed and scrolled, with the plane's
// outline, the current frame's crossing line and the overlays of the plane
// views (plane_overlays). Its mouse tools and keys are plane_view_tools and
// corner_key.
#pragma once

#include <functional>
#include <vector>

#include <wx/glcanvas.h>

#include "data/geometry.h"
#include "views/plane_overlays.h"
#include "views/plane_view_tools.h"

class base_res_t;
class base_functor;
class glfont;
class shader;

class corner_canvas : public wxGLCanvas, public plane_tool_host {
 public:
  corner_canvas(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size, long style,
                const wxString& name);
  ~corner_canvas() override;

  void changeproc();
  void fit_to_window(int32_t cw, int32_t ch);
  // Saves the shown image as a file of the toolkit's bitmap type; false,
  // with why set, when it cannot (see dump_view_window).
  bool dump_window(const wxString& file_name, wxBitmapType type, wxString* why = nullptr);

  plane_view_state& state() { return state_; }
  const plane_overlays& overlays() const { return overlays_; }
  int paints() const { return paints_; }
  // Resources the view is registered on; none once it is destroyed.
  size_t watched() const { return watched_.size(); }

  // How the tools reach the main window's toolbar.
  void set_tool_selector(std::function<int32_t(int32_t)> selector) { select_tool_ = selector; }

  // plane_tool_host
  int32_t select_tool(int32_t n) override { return select_tool_ ? select_tool_(n) : -1; }
  void refresh() override { Refresh(true); }
  void take_focus() override { SetFocus(); }
  bool scroll_bar(bool horizontal, int32_t& pos, int32_t& range, int32_t& thumb) override;
  void scroll_thumb_track(bool horizontal, int32_t position) override;

 private:
  void OnSize(wxSizeEvent& event);
  void OnPaint(wxPaintEvent& event);
  void OnEraseBackground(wxEraseEvent&) {}
  void OnMouse(wxMouseEvent& event);
  void OnKey(wxKeyEvent& event);
  void OnScroll(wxScrollWinEvent& event);
  void scroll_to(int orientation, int32_t position);

  void render_scene();
  void draw_outline_and_frame_line();
  void watch(base_res_t* res);
  // Window point of image point (x, y), origin lower left.
  void image_to_window(double x, double y, double& wx, double& wy) const;

  wxGLContext* context_ = nullptr;
  plane_view_state state_;
  plane_view_tools tools_;
  plane_overlays overlays_{2};
  std::function<int32_t(int32_t)> select_tool_;
  base_functor* proc_ = nullptr;
  std::vector<base_res_t*> watched_;

  int viewport_[4] = {0, 0, 1, 1};
  bool needs_gl_init_ = true;
  bool viewport_changed_ = true;
  bool font_changed_ = false;
  shader* shaders_ = nullptr;
  glfont* font_ = nullptr;
  unsigned int texture_ = 0;
  matrix4_t projection_;
  std::vector<uint8_t> rgba_;
  int paints_ = 0;

  // The fit's memory of the last outer size and image size.
  int32_t fit_ww_ = -1, fit_wh_ = -1, fit_iw_ = -1, fit_ih_ = -1;
  bool fit_hbar_ = false, fit_vbar_ = false;
  bool resize_guard_ = false;

  wxDECLARE_EVENT_TABLE();
};
