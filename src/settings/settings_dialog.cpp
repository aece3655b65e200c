#include "settings/settings_dialog.h"

#include <cmath>

#include <wx/sizer.h>
#include <wx/stattext.h>

settings_dialog::settings_dialog(wxWindow* parent, settings_host& host, const wxString& title,
                                 bool resizable, int orientation)
    : host_(host) {
  SetExtraStyle(0);  // command events travel on to the main window
  const long style = wxDEFAULT_DIALOG_STYLE | wxSTAY_ON_TOP | (resizable ? wxRESIZE_BORDER : 0);
  Create(parent, wxID_ANY, title, wxDefaultPosition, wxDefaultSize, style);
  SetSizer(new wxBoxSizer(orientation));
  SetAutoLayout(true);
}

settings_dialog::~settings_dialog() = default;

wxSize settings_dialog::dialog_units(int width, int height) const {
  const wxWindow* units = GetParent() ? GetParent() : this;
  const wxSize px = units->ConvertDialogToPixels(wxSize(width, height));
  return wxSize(width < 0 ? -1 : px.x, height < 0 ? -1 : px.y);
}

void settings_dialog::add(wxSizer* sizer, wxWindow* window, int flags) {
  sizer->Add(window, 0, wxALL | flags, 5);
}

wxSizer* settings_dialog::row(wxSizer* sizer, const wxString& label) {
  auto* line = new wxBoxSizer(wxHORIZONTAL);
  add(line, new wxStaticText(this, wxID_ANY, label), wxALIGN_CENTER_VERTICAL);
  sizer->Add(line, 0, 0, 0);
  return line;
}

int32_t slider_position(double value, double scale, double offset) {
  const double p = value * scale + offset;
  if (!std::isfinite(p)) return 0;
  if (p > 2e9) return 2000000000;
  if (p < -2e9) return -2000000000;
  return static_cast<int32_t>(std::lround(p));
}
