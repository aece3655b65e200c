// The overlays that the views of reslice planes (the centre view and the
// corner view) draw over their images: the surfaces' sections by the plane,
// landmarks and landmark curves near it, the calipers, the navigation box
// of a zoomed image and the scale bar. One copy serves both views; the
// review view draws the same scale bar.
//
// The routines run inside the view's paint with its GL context current, the
// projection the window's orthographic one and the model-view the identity.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <wx/string.h>

#include "data/contour.h"
#include "data/curves.h"
#include "data/landmarks.h"
#include "views/review_geometry.h"

class base_res_t;
class glfont;
class reslice_info;
struct plane_view_state;

// What a view lends the drawing for one paint: its image-to-window mapping
// and sizes, its font and its viewport.
struct overlay_target {
  const review_geometry* g = nullptr;
  glfont* font = nullptr;
  const int* viewport = nullptr;
};

// P: the height of the view's font in pixels; marks and lines follow it.
double overlay_font_size(const overlay_target& v);

// Text anchored at window point (wx, wy), offset in font sizes, in the
// current GL colour.
void overlay_text(const overlay_target& v, const wxString& text, double wx, double wy, double ox,
                  double oy);

// The length scale at the bottom left, for pixels of RES_XSCALE cm at the
// view's zoom; drawn only while RES_DISPLAY_COG is on.
void draw_scale_bar(const overlay_target& v);

// One landmark at image point (x, y): a surface landmark (with a dashed ring
// of radius ring image pixels) in its object's shade, a spine landmark pale
// yellow, others cyan; a point and its name. Point size and smoothing are the
// caller's; blending is set again after the name when blend is true.
void draw_landmark_mark(const overlay_target& v, const landmark_t& lm, double x, double y,
                        double ring, bool blend);

// The landmark curves of RES_CURVE near a plane: to_plane maps a curve point
// to image pixels, z its distance from the plane in pixels. Sets and resets
// its own drawing state.
void draw_curves_near_plane(const overlay_target& v,
                            const std::function<vec3_t(const curve_point&)>& to_plane);

// The navigation box of a zoomed image that does not fit the client area,
// while RES_DISPLAY_COG is on; invert: the image's rows are shown bottom up.
void draw_navigation_box(const overlay_target& v, bool invert);

// The dashed line between the two caliper points, in window coordinates, in
// the current GL colour.
void draw_caliper_line(double x1, double y1, double x2, double y2);

class plane_overlays {
 public:
  static constexpr int kSections = 201;  // objects 0..199, 200 the shape model

  // view_index: 1 for the centre view, 2 for the corner view; each draws and
  // measures only calipers of its own index.
  explicit plane_overlays(int32_t view_index);
  ~plane_overlays();
  plane_overlays(const plane_overlays&) = delete;
  plane_overlays& operator=(const plane_overlays&) = delete;

  // Set by the view before it draws. tools: the mouse tools' state with the
  // landmark being dragged, or null.
  void set_target(const review_geometry& g, glfont* font, const int viewport[4],
                  const plane_view_state* tools);

  // Resources whose changes the overlays follow, besides the plane's
  // redisplay flag; the view registers its change procedure on them.
  static std::vector<base_res_t*> watched_resources();
  // Takes the changes of the commit in progress for the shown plane k: a
  // redisplay of the plane, an object or surface change or a change of what
  // is shown makes the sections dirty (a changed surface drops its own
  // section at once). True when anything the overlays draw changed.
  bool note_changes(int32_t k);
  void mark_sections_dirty() { sections_dirty_ = true; }
  // The cached section of object k (null for none), as last cut.
  const frame_contours_t* section(int k) const;
  // Surfaces cut so far: a paint without changes cuts none.
  int cuts() const { return cuts_; }

  void draw_surface_sections(int32_t k);
  void draw_landmarks(const reslice_info& plane);
  void draw_landmark_curves(const reslice_info& plane);
  void draw_calipers();
  void draw_navigation_box();
  void draw_scale_bar();

 private:
  void image_to_window(double x, double y, double& wx, double& wy) const;
  double font_size() const { return overlay_font_size(target_); }
  void cut_sections(int32_t k);

  int32_t view_index_;
  overlay_target target_;
  const plane_view_state* tools_ = nullptr;
  std::unique_ptr<frame_contours_t> sections_[kSections];
  bool sections_dirty_ = true;
  int cuts_ = 0;
};
