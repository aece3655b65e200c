#include "visual/track_pages.h"

#include <wx/sizer.h>
#include <wx/stattext.h>

#include "visual/track_controls.h"

namespace {

// A centred fixed label under a track control.
void add_label(wxWindow* page, wxSizer* sizer, const wchar_t* text) {
  sizer->Add(new wxStaticText(page, wxID_ANY, text), 0, wxALL | wxALIGN_CENTER_HORIZONTAL, 5);
}

}  // namespace

pressure_page::pressure_page(wxNotebook* notebook, bool present, int unit)
    : visual_panel(notebook, L"Pressure", present) {
  move_normal = new trackzgrid(3, this, wxID_ANY, wxDefaultPosition, wxSize(2 * unit, unit / 4), 0, "trackzgrid");
  sizer_->Add(move_normal, 0, wxALL | wxALIGN_CENTER_HORIZONTAL, 5);
  add_label(this, sizer_, L"Translate normal to plane");
  fit_contents();
}

panorama_page::panorama_page(wxNotebook* notebook, bool present) : visual_panel(notebook, L"Panorama", present) {
  // No panorama exists yet.
  state = new wxStaticText(this, wxID_ANY, L"Data appears to be 3D,\nnot panoramic");
  sizer_->Add(state, 0, wxALL | wxALIGN_LEFT, 5);
  fit_contents();
}

void panorama_page::show_panoramic(bool panoramic) {
  state->SetLabel(panoramic ? L"Data does appear to be panoramic" : L"Data appears to be 3D, not panoramic");
  fit_contents();
}
