// The review view: the current frame of the frame store through the display
// colour map, zoomed and scrolled, with the contours, landmarks, calipers,
// navigation box and mask region drawn over it. The window feeds its events
// to review_tools and draws what review_view_state and the resources hold.
#pragma once

#include <memory>

#include "views/contour_editor.h"
#include "views/gl_view_canvas.h"
#include "views/plane_overlays.h"
#include "views/review_mask.h"
#include "views/review_tools.h"

class review_canvas : public gl_tool_view<review_tool_host> {
 public:
  review_canvas(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size, long style,
                const wxString& name);
  ~review_canvas() override;

  void changeproc();
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

  // The view's state and the path it draws with, for the window's owner and tests.
  review_view_state& state() { return state_; }
  contour_editor& contour_editing() { return *contour_editor_; }
  mask_region_t& mask_region() { return mask_; }
  // The Fit shape model page's next landmark to place, from the model.
  wxString undefined_landmarks() override;

 private:
  review_geometry& geometry() override { return state_.g; }
  double view_aspect() const override;
  void adopt_fit(const review_fit_t& fit, double aspect) override;
  void placement_changed() override { state_.image_dirty = true; }
  // The frame and its overlays.
  void draw_scene() override;
  void OnMouse(wxMouseEvent& event);
  void OnKey(wxKeyEvent& event);

  void reload_frame();
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

  review_view_state state_;
  review_tools tools_;
  // Outlives the editor, which points at it.
  std::unique_ptr<click_segmenter> segmenter_;
  std::unique_ptr<contour_editor_ui> contour_ui_;
  std::unique_ptr<contour_editor> contour_editor_;
  mask_region_t mask_;
  int32_t image_pixels_ = 0;

  wxDECLARE_EVENT_TABLE();
};
