#include "visual/ortho_page.h"

#include <algorithm>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/radiobox.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/stattext.h>

#include "data/reslice_info.h"
#include "registry/resource_table.h"
#include "views/reslice_internals.h"
#include "visual/reslice_math.h"
#include "visual/reslice_page.h"
#include "visual/track_controls.h"
#include "visual/visual_ids.h"
#include "visual/visual_pages.h"

namespace {

// The right plane first, then the left one: every shared setting goes to
// both in this order.
constexpr int kPlanes[2] = {1, 2};

const wxString kCompounding[3] = {L"&Max", L"M&in", L"&Ave"};

image_saver plane_saver(int k) {
  return [k](const wxString& path, wxBitmapType type) {
    if (reslice_internals* b = reslice_builder_of(k)) b->reslice_file_name_chosen(path, type);
  };
}

}  // namespace

ortho_page::ortho_page(wxNotebook* notebook, int unit) : visual_panel(notebook, L"Ortho", true, false) {
  resource_table_t& t = *resource_table;
  base_functor* proc = procs_.make(this, &ortho_page::update);
  procs_.watch(proc, {t.RES_BUF_FRAMES, t.RES_RESLICE_OPACITY, t.OBJECT});
  for (int k = 0; k < 200; ++k) procs_.watch(proc, t.RES_SURFACE[k]);
  const reslice_info& p = reslice_plane(1);
  const wxSize slider_size(dialog_width(this, 100), -1);
  const int centred = wxALL | wxALIGN_CENTER_HORIZONTAL;

  auto* grid = new wxFlexGridSizer(2, 0, 0);
  move_left = new trackgrid(2, this, wxID_ANY, wxDefaultPosition, wxSize(unit, unit), 0, "trackgrid");
  move_right = new trackgrid(1, this, wxID_ANY, wxDefaultPosition, wxSize(unit, unit), 0, "trackgrid");
  grid->Add(move_left, 0, centred, 5);
  grid->Add(move_right, 0, centred, 5);
  grid->Add(new wxStaticText(this, wxID_ANY, L"Translate left"), 0, centred, 5);
  grid->Add(new wxStaticText(this, wxID_ANY, L"Translate right"), 0, centred, 5);
  offset_left = new trackzgrid(2, this, wxID_ANY, wxDefaultPosition, wxSize(unit, unit / 5), 0, "trackzgrid");
  offset_right = new trackzgrid(1, this, wxID_ANY, wxDefaultPosition, wxSize(unit, unit / 5), 0, "trackzgrid");
  grid->Add(offset_left, 0, centred, 5);
  grid->Add(offset_right, 0, centred, 5);
  grid->Add(new wxStaticText(this, wxID_ANY, L"Offset left"), 0, centred, 5);
  grid->Add(new wxStaticText(this, wxID_ANY, L"Offset right"), 0, centred, 5);
  sizer_->Add(grid, 0, centred, 5);

  auto* row = new wxBoxSizer(wxHORIZONTAL);
  row->Add(new wxStaticText(this, wxID_ANY, L"Slice thickness (mm): "), 0, wxALL, 5);
  thickness_text = new wxStaticText(this, wxID_ANY, reslice_thickness_text(p.half_thickness));
  row->Add(thickness_text, 0, wxALL, 5);
  sizer_->Add(row, 0, wxALL, 5);
  thickness_slider = new wxSlider(this, ID_ORTHO_THICKNESS, 0, 0, kThicknessSliderMax, wxDefaultPosition,
                                  slider_size, wxSL_HORIZONTAL);
  thickness_slider->SetPageSize(1);
  sizer_->Add(thickness_slider, 0, centred, 5);
  slab_.attach(thickness_slider, thickness_text, p);

  faster = new wxCheckBox(this, ID_ORTHO_FASTER, L"Faster, less accurate reslice");
  faster->SetValue(!p.accurate);
  sizer_->Add(faster, 0, centred, 5);
  compounding = new wxRadioBox(this, ID_ORTHO_COMPOUNDING, L"Compounding", wxDefaultPosition, wxDefaultSize, 3,
                               kCompounding, 1, wxRA_SPECIFY_ROWS);
  compounding->SetSelection(std::clamp(p.compounding, 0, 2));
  sizer_->Add(compounding, 0, centred, 5);

  row = new wxBoxSizer(wxHORIZONTAL);
  row->Add(new wxStaticText(this, wxID_ANY, L"Opacity in 3D display: "), 0, wxALL, 5);
  opacity_text = new wxStaticText(this, wxID_ANY, wxEmptyString);
  row->Add(opacity_text, 0, wxALL, 5);
  sizer_->Add(row, 0, wxALL, 5);
  opacity_slider = new wxSlider(this, ID_ORTHO_OPACITY, 0, 0, 100, wxDefaultPosition, slider_size, wxSL_HORIZONTAL);
  opacity_slider->SetPageSize(1);
  sizer_->Add(opacity_slider, 0, centred, 5);
  show_reslice_opacity(opacity_slider, opacity_text);

  row = new wxBoxSizer(wxHORIZONTAL);
  row->Add(new wxStaticText(this, wxID_ANY, L"Crop to surface: "), 0, wxALL, 5);
  crop = new wxChoice(this, ID_ORTHO_CROP_SURFACE, wxDefaultPosition, wxSize(dialog_width(this, 50), -1));
  crop->Append(L"(none)", crop_client_data(kCropNone));
  crop->SetSelection(0);
  crop->Disable();
  row->Add(crop, 0, wxALL, 5);
  sizer_->Add(row, 0, wxALIGN_CENTER_HORIZONTAL);
  show_outside = new wxCheckBox(this, ID_ORTHO_SHOW_OUTSIDE, L"Show data outside surface");
  show_outside->SetValue(p.show_outside_surface);
  sizer_->Add(show_outside, 0, centred, 5);

  sizer_->Add(new wxButton(this, ID_ORTHO_CENTRE_FRAME, L" Centre on current frame "), 0, wxALL | wxALIGN_CENTER,
              5);
  auto* saves = new wxFlexGridSizer(2, 0, 0);
  saves->Add(new wxButton(this, ID_ORTHO_SAVE_LEFT, L" Save left"), 0, wxALL, 5);
  saves->Add(new wxButton(this, ID_ORTHO_SAVE_RIGHT, L" Save right"), 0, wxALL, 5);
  sizer_->Add(saves, 0, centred, 5);
  fit_contents();
}

void ortho_page::update() {
  resource_table_t& t = *resource_table;
  if (t.RES_BUF_FRAMES->changed_in_flush()) {
    // The planes turn to the current frame; a defined plane keeps its centre.
    reslice_plane(2).locate_to_current_frame(false);
    reslice_plane(1).locate_to_current_frame(false);
    double th = 0.0;
    if (slab_.frames_changed(reslice_plane(1), th))
      for (int k : kPlanes) reslice_plane(k).set_thickness(th);
  }
  if (t.RES_RESLICE_OPACITY->changed_in_flush()) show_reslice_opacity(opacity_slider, opacity_text);
  const crop_refresh crop_state = crop_refresh_of_flush();
  if (!crop_state.needed) return;
  const int32_t object = refill_crop_choice(this, crop, crop_state.surface_replaced);
  for (int k : kPlanes)
    if (crop_state.surface_replaced || object != reslice_plane(k).crop_surface) reslice_plane(k).set_crop_surface(object);
}

// ---- commands

void ortho_page::OnOrthoThickness(wxScrollEvent& event) {
  const double th = slab_.show_position(event.GetPosition());
  if (!applies_reslice_value(event)) return;
  for (int k : kPlanes) reslice_plane(k).set_thickness(th);
}

void ortho_page::OnOrthoOpacity(wxScrollEvent& event) { apply_reslice_opacity(event.GetPosition(), opacity_text); }

void ortho_page::OnOrthoCompounding(wxCommandEvent& event) {
  for (int k : kPlanes) reslice_plane(k).set_compounding(event.GetSelection());
}

void ortho_page::OnOrthoFaster(wxCommandEvent& event) {
  for (int k : kPlanes) reslice_plane(k).set_accurate(!event.IsChecked());
}

void ortho_page::OnOrthoCropSurface(wxCommandEvent&) {
  const int selection = crop->GetSelection();
  if (selection == wxNOT_FOUND) return;
  const int32_t object = crop_object_of(crop->GetClientData(static_cast<unsigned>(selection)));
  for (int k : kPlanes) reslice_plane(k).set_crop_surface(object);
}

void ortho_page::OnOrthoShowOutside(wxCommandEvent& event) {
  for (int k : kPlanes) reslice_plane(k).set_show_outside_surface(event.IsChecked());
}

void ortho_page::OnOrthoCentreFrame(wxCommandEvent&) {
  for (int k : kPlanes) reslice_plane(k).locate_to_current_frame(true);
}

void ortho_page::OnOrthoSaveLeft(wxCommandEvent&) { save_image_dialog(this, L"Save left reslice as", plane_saver(2)); }

void ortho_page::OnOrthoSaveRight(wxCommandEvent&) {
  save_image_dialog(this, L"Save right reslice as", plane_saver(1));
}
