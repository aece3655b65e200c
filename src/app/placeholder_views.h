// The OpenGL views of the main window not built yet, as empty shells: each is a GL
// canvas with the program's attribute list that validates its paint events
// and draws nothing. The views themselves replace these classes.
#pragma once

#include <wx/glcanvas.h>

#include "registry/proc_registrations.h"

#include "views/centre_canvas.h"
#include "views/gl_view_support.h"
#include "views/corner_canvas.h"
#include "views/review_canvas.h"

class gl_view_shell : public wxGLCanvas {
 public:
  gl_view_shell(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size, long style,
                const wxString& name);
  ~gl_view_shell() override;

  // Paint events seen; the shells repaint when the current frame changes.
  int paints() const { return paints_; }

 protected:
  void on_paint(wxPaintEvent& event);
  void frame_changed();

  proc_registrations procs_;
  int paints_ = 0;
};

class outline_canvas : public gl_view_shell {
 public:
  using gl_view_shell::gl_view_shell;
};

