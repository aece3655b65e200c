#include "app/placeholder_views.h"

#include <wx/dcclient.h>

#include "registry/resource_table.h"

gl_view_shell::gl_view_shell(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
                             long style, const wxString& name)
    : wxGLCanvas(parent, id, gl_attributes, pos, size, style, name) {
  Bind(wxEVT_PAINT, &gl_view_shell::on_paint, this);
  Bind(wxEVT_ERASE_BACKGROUND, [](wxEraseEvent&) {});
  procs_.watch(procs_.make(this, &gl_view_shell::frame_changed), resource_table->RES_BUF_CURRENT_FRAME);
}

gl_view_shell::~gl_view_shell() {
  if (resource_table)
    procs_.clear();
  else
    procs_.abandon();
}

void gl_view_shell::on_paint(wxPaintEvent&) {
  wxPaintDC dc(this);
  ++paints_;
}

void gl_view_shell::frame_changed() { Refresh(false); }
