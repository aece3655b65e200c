// The three small OpenGL track controls of the visualisation pages, each
// driving one reslice plane of RESLICE: the rotation sphere (trackball) turns
// it in the 3D view's frame, the grid (trackgrid) moves it within itself and
// the line grid (trackzgrid) along its normal, by dragging or arrow keys. A
// drag reslices coarsely (RES_DYNAMIC_UPDATE) until the button is let go.
#pragma once

#include <memory>

#include <wx/glcanvas.h>

#include "data/geometry.h"
#include "visual/track_math.h"

class outline_canvas;
class reslice_info;
struct GLUquadric;

// What the three controls share: the OpenGL context, the driven plane, the
// paint frame, the mouse dispatch with its drag bracket, and Tab.
class track_canvas : public wxGLCanvas {
 public:
  track_canvas(int reslice_index, wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
               long style, const wxString& name);
  ~track_canvas() override;
  track_canvas(const track_canvas&) = delete;
  track_canvas& operator=(const track_canvas&) = delete;

  // Arrow keys act on the plane, Tab moves the focus, other keys pass on.
  // Public: scripts send synthesized key events.
  virtual void OnKeyDown(wxKeyEvent& event) = 0;

  int reslice_index() const { return reslice_index_; }
  // Paints that drew (for tests).
  int paints() const { return paints_; }

  // True while one of the track controls is painting; another control's
  // paint then only asks to be drawn again.
  static bool paint_in_progress;

 protected:
  // The driven plane, or null when the registry is gone.
  reslice_info* plane() const;
  // The plane can be moved: it is defined and has a builder.
  bool plane_usable() const;
  // Tab and Shift+Tab: focus to the next or previous control; true when the
  // key was one of them.
  bool tab_key(wxKeyEvent& event);
  void repaint_now();

  virtual void init_gl() = 0;
  virtual void draw() = 0;
  virtual void begin_drag(wxMouseEvent& event);
  virtual void drag(wxMouseEvent& event) = 0;
  void end_drag();

  std::unique_ptr<wxGLContext> gl_context_;
  int last_mouse_x_ = 0, last_mouse_y_ = 0;
  bool first_paint_ = true;

 private:
  void OnPaint(wxPaintEvent& event);
  void OnEraseBackground(wxEraseEvent&) {}
  void OnMouse(wxMouseEvent& event);

  int reslice_index_ = 0;
  int paints_ = 0;

  wxDECLARE_EVENT_TABLE();
};

class trackball final : public track_canvas {
 public:
  trackball(int reslice_index, wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
            long style, const wxString& name);
  ~trackball() override;

  void OnKeyDown(wxKeyEvent& event) override;

  // The 3D view whose orientation turns are seen in; none is the identity.
  void set_view(const outline_canvas* view) { view_ = view; }
  const track_rotation& rotation() const { return rotation_; }

 private:
  void init_gl() override;
  void draw() override;
  void drag(wxMouseEvent& event) override;
  // Turns the plane by the increment q, when it is defined with a builder.
  void apply(const track_rotation& q);

  GLUquadric* quadric_ = nullptr;
  track_rotation rotation_;
  const outline_canvas* view_ = nullptr;
};

class trackgrid final : public track_canvas {
 public:
  trackgrid(int reslice_index, wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
            long style, const wxString& name);

  void OnKeyDown(wxKeyEvent& event) override;

  double grid_offset_x() const { return grid_offset_x_; }
  double grid_offset_y() const { return grid_offset_y_; }

 private:
  void init_gl() override;
  void draw() override;
  void drag(wxMouseEvent& event) override;

  double grid_offset_x_ = 0.0, grid_offset_y_ = 0.0;
};

class trackzgrid final : public track_canvas {
 public:
  trackzgrid(int reslice_index, wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
             long style, const wxString& name);

  void OnKeyDown(wxKeyEvent& event) override;

  double grid_offset() const { return grid_offset_; }

 private:
  void init_gl() override;
  void draw() override;
  void begin_drag(wxMouseEvent& event) override;
  void drag(wxMouseEvent& event) override;

  double grid_offset_ = 0.0;
  // The plane's move for a drag across the whole control, taken when a drag
  // begins on a defined plane.
  vec3_t step_vector_{0.0, 0.0, 0.0};
};
