#include "visual/reslice_page.h"

#include <algorithm>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/radiobox.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/stattext.h>

#include "data/landmarks.h"
#include "data/reslice_info.h"
#include "registry/resource_table.h"
#include "views/reslice_internals.h"
#include "visual/reslice_math.h"
#include "visual/track_controls.h"
#include "visual/visual_ids.h"
#include "visual/visual_pages.h"

reslice_info& reslice_plane(int k) { return resource_table->RESLICE->read()[k]; }

reslice_internals* reslice_builder_of(int k) {
  return dynamic_cast<reslice_internals*>(reslice_plane(k).builder);
}

namespace {

// A centred fixed label under a track control.
void add_label(wxWindow* page, wxSizer* sizer, const wchar_t* text) {
  sizer->Add(new wxStaticText(page, wxID_ANY, text), 0, wxALL | wxALIGN_CENTER_HORIZONTAL, 5);
}

const wxString kCompounding[3] = {L"&Max", L"M&in", L"&Ave"};

}  // namespace

reslice_page::reslice_page(wxNotebook* notebook, int unit, const outline_canvas* view)
    : visual_panel(notebook, L"Reslice") {
  resource_table_t& t = *resource_table;
  base_functor* proc = procs_.make(this, &reslice_page::update);
  procs_.watch(proc, {t.RES_BUF_FRAMES, t.RES_RESLICE_OPACITY, t.OBJECT});
  for (int k = 0; k < 200; ++k) procs_.watch(proc, t.RES_SURFACE[k]);
  const reslice_info& p = plane();
  const wxSize slider_size(dialog_width(this, 100), -1);
  const wxSize button_size(dialog_width(this, 100), -1);
  const int centred = wxALL | wxALIGN_CENTER_HORIZONTAL;

  auto* grid = new wxFlexGridSizer(2, 0, 0);
  rotate = new trackball(0, this, wxID_ANY, wxDefaultPosition, wxSize(unit, unit), 0, "trackball");
  rotate->set_view(view);
  move = new trackgrid(0, this, wxID_ANY, wxDefaultPosition, wxSize(unit, unit), 0, "trackgrid");
  grid->Add(rotate, 0, centred, 5);
  grid->Add(move, 0, centred, 5);
  add_label(this, grid, L"Rotate");
  add_label(this, grid, L"Translate in plane");
  sizer_->Add(grid, 0, centred, 5);
  move_normal = new trackzgrid(0, this, wxID_ANY, wxDefaultPosition, wxSize(2 * unit, unit / 4), 0, "trackzgrid");
  sizer_->Add(move_normal, 0, centred, 5);
  add_label(this, sizer_, L"Translate normal to plane");

  auto* row = new wxBoxSizer(wxHORIZONTAL);
  row->Add(new wxStaticText(this, wxID_ANY, L"Slice thickness (mm): "), 0, wxALL, 5);
  thickness_text = new wxStaticText(this, wxID_ANY, reslice_thickness_text(p.half_thickness));
  row->Add(thickness_text, 0, wxALL, 5);
  sizer_->Add(row, 0, wxALL, 5);
  thickness_slider = new wxSlider(this, ID_RESLICE_THICKNESS, 0, 0, kThicknessSliderMax, wxDefaultPosition,
                                  slider_size, wxSL_HORIZONTAL);
  thickness_slider->SetPageSize(1);
  sizer_->Add(thickness_slider, 0, centred, 5);
  slab_.attach(thickness_slider, thickness_text, p);

  faster = new wxCheckBox(this, ID_RESLICE_FASTER, L"Faster, less accurate reslice");
  faster->SetValue(!p.accurate);
  sizer_->Add(faster, 0, centred, 5);
  compounding = new wxRadioBox(this, ID_RESLICE_COMPOUNDING, L"Compounding", wxDefaultPosition, wxDefaultSize, 3,
                               kCompounding, 1, wxRA_SPECIFY_ROWS);
  compounding->SetSelection(std::clamp(p.compounding, 0, 2));
  sizer_->Add(compounding, 0, centred, 5);

  row = new wxBoxSizer(wxHORIZONTAL);
  row->Add(new wxStaticText(this, wxID_ANY, L"Opacity in 3D display: "), 0, wxALL, 5);
  opacity_text = new wxStaticText(this, wxID_ANY, wxEmptyString);
  row->Add(opacity_text, 0, wxALL, 5);
  sizer_->Add(row, 0, wxALL, 5);
  opacity_slider = new wxSlider(this, ID_RESLICE_OPACITY, 0, 0, 100, wxDefaultPosition, slider_size,
                                wxSL_HORIZONTAL);
  opacity_slider->SetPageSize(1);
  sizer_->Add(opacity_slider, 0, centred, 5);
  show_reslice_opacity(opacity_slider, opacity_text);

  sizer_->Add(new wxStaticText(this, wxID_ANY, L"Reslice width (pixels)"), 0, wxALL, 10);
  width_slider = new wxSlider(this, ID_RESLICE_WIDTH, reslice_info::clamp_size(p.width), reslice_info::kMinSize,
                              reslice_info::kMaxSize, wxDefaultPosition, slider_size,
                              wxSL_HORIZONTAL | wxSL_LABELS);
  width_slider->SetPageSize(1);
  sizer_->Add(width_slider, 0, centred, 5);
  sizer_->Add(new wxStaticText(this, wxID_ANY, L"Reslice height (pixels)"), 0, wxALL, 10);
  height_slider = new wxSlider(this, ID_RESLICE_HEIGHT, reslice_info::clamp_size(p.height),
                               reslice_info::kMinSize, reslice_info::kMaxSize, wxDefaultPosition, slider_size,
                               wxSL_HORIZONTAL | wxSL_LABELS);
  height_slider->SetPageSize(1);
  sizer_->Add(height_slider, 0, centred, 5);
  sizer_->Add(new wxButton(this, ID_RESLICE_AUTO_CENTRE, L" Auto centre and size ", wxDefaultPosition, button_size),
              0, centred, 5);

  row = new wxBoxSizer(wxHORIZONTAL);
  row->Add(new wxStaticText(this, wxID_ANY, L"Crop to surface: "), 0, wxALL, 5);
  crop = new wxChoice(this, ID_RESLICE_CROP_SURFACE, wxDefaultPosition, wxSize(dialog_width(this, 50), -1));
  crop->Append(L"(none)", crop_client_data(kCropNone));
  crop->SetSelection(0);
  crop->Disable();
  row->Add(crop, 0, wxALL, 5);
  sizer_->Add(row, 0, wxALIGN_CENTER_HORIZONTAL);
  show_outside = new wxCheckBox(this, ID_RESLICE_SHOW_OUTSIDE, L"Show data outside surface");
  show_outside->SetValue(p.show_outside_surface);
  sizer_->Add(show_outside, 0, centred, 5);

  row = new wxBoxSizer(wxHORIZONTAL);
  row->Add(new wxStaticText(this, wxID_ANY, L"Rotate about:"), 0, wxALL, 5);
  const wxSize turn_size(dialog_width(this, 20), -1);
  row->Add(new wxButton(this, ID_RESLICE_ROTATE_X, L"X", wxDefaultPosition, turn_size), 0, wxALL, 5);
  row->Add(new wxButton(this, ID_RESLICE_ROTATE_Y, L"Y", wxDefaultPosition, turn_size), 0, wxALL, 5);
  row->Add(new wxButton(this, ID_RESLICE_ROTATE_Z, L"Z", wxDefaultPosition, turn_size), 0, wxALL, 5);
  sizer_->Add(row, 0, wxALIGN_CENTER_HORIZONTAL);
  locate_landmarks = new wxButton(this, ID_RESLICE_LOCATE_LANDMARKS, L" Locate to selected landmarks ",
                                  wxDefaultPosition, button_size);
  locate_landmarks->Disable();
  sizer_->Add(locate_landmarks, 0, centred, 5);
  sizer_->Add(new wxButton(this, ID_RESLICE_LOCATE_FRAME, L" Locate to current frame ", wxDefaultPosition,
                           button_size),
              0, centred, 5);
  sizer_->Add(new wxButton(this, ID_RESLICE_LOCATE_MIN_VOXELS, L" Locate for minimum voxels ", wxDefaultPosition,
                           button_size),
              0, centred, 5);
  sizer_->Add(new wxButton(this, ID_RESLICE_SAVE, L" Save reslice "), 0, centred, 5);
  fit_contents();
}

reslice_info& reslice_page::plane() const { return reslice_plane(0); }

reslice_internals* reslice_page::builder() const { return reslice_builder_of(0); }

void reslice_page::update() {
  resource_table_t& t = *resource_table;
  if (t.RES_BUF_FRAMES->changed_in_flush()) {
    plane().locate_to_current_frame(false);
    double th = 0.0;
    if (slab_.frames_changed(plane(), th)) plane().set_thickness(th);
  }
  if (t.RES_RESLICE_OPACITY->changed_in_flush()) show_reslice_opacity(opacity_slider, opacity_text);
  const crop_refresh crop_state = crop_refresh_of_flush();
  if (!crop_state.needed) return;
  const int32_t object = refill_crop_choice(this, crop, crop_state.surface_replaced);
  // A new or removed surface ends cropping; so does an object that left the list.
  if (crop_state.surface_replaced || object != plane().crop_surface) plane().set_crop_surface(object);
}

void reslice_page::set_selected_landmarks(const std::array<wxString, 3>& names,
                                          const std::array<bool, 3>& selected, bool usable) {
  landmark_names_ = names;
  landmark_selected_ = selected;
  locate_landmarks->Enable(usable);
}

void reslice_page::set_size_controls(int32_t width, int32_t height) {
  width_slider->SetValue(reslice_info::clamp_size(width));
  height_slider->SetValue(reslice_info::clamp_size(height));
}

void reslice_page::show_plane_size() { set_size_controls(plane().width, plane().height); }

// ---- commands

void reslice_page::OnResliceThickness(wxScrollEvent& event) {
  if (!builder()) return;
  const double th = slab_.show_position(event.GetPosition());
  if (applies_reslice_value(event)) plane().set_thickness(th);
}

void reslice_page::OnResliceOpacity(wxScrollEvent& event) { apply_reslice_opacity(event.GetPosition(), opacity_text); }

void reslice_page::OnResliceCompounding(wxCommandEvent& event) { plane().set_compounding(event.GetSelection()); }

void reslice_page::OnResliceFaster(wxCommandEvent& event) { plane().set_accurate(!event.IsChecked()); }

void reslice_page::OnResliceWidth(wxScrollEvent& event) {
  if (applies_reslice_value(event)) plane().set_width(event.GetPosition());
}

void reslice_page::OnResliceHeight(wxScrollEvent& event) {
  if (applies_reslice_value(event)) plane().set_height(event.GetPosition());
}

void reslice_page::OnResliceCropSurface(wxCommandEvent&) {
  const int selection = crop->GetSelection();
  if (selection == wxNOT_FOUND) return;
  plane().set_crop_surface(crop_object_of(crop->GetClientData(static_cast<unsigned>(selection))));
}

void reslice_page::OnResliceShowOutside(wxCommandEvent& event) {
  plane().set_show_outside_surface(event.IsChecked());
}

void reslice_page::OnResliceRotateX(wxCommandEvent&) {
  reslice_info& p = plane();
  const plane_axes turned = quarter_turn_x({p.normal, p.centre, p.up});
  p.set_plane(turned.normal, turned.centre, turned.up, true);
}

void reslice_page::OnResliceRotateY(wxCommandEvent&) {
  reslice_info& p = plane();
  p.set_normal(quarter_turn_y({p.normal, p.centre, p.up}).normal, true);
}

void reslice_page::OnResliceRotateZ(wxCommandEvent&) {
  reslice_info& p = plane();
  p.set_up_vector(quarter_turn_z({p.normal, p.centre, p.up}).up);
}

void reslice_page::OnResliceLocateFrame(wxCommandEvent&) { plane().locate_to_current_frame(true); }

void reslice_page::OnResliceLocateMinVoxels(wxCommandEvent&) {
  plane().fit_to_data(true);
  show_plane_size();
}

void reslice_page::OnResliceAutoCentre(wxCommandEvent&) {
  plane().fit_to_data(false);
  show_plane_size();
}

void reslice_page::OnResliceLocateLandmarks(wxCommandEvent&) {
  if (!builder()) return;
  for (bool selected : landmark_selected_)
    if (!selected) return;
  const landmarks* marks = resource_table->RES_LANDMARKS->read();
  vec3_t points[3];
  for (int i = 0; i < 3; ++i) {
    size_t pos = 0;
    // A name that is not in the list counts as the origin.
    if (marks && marks->find_by_name(landmark_names_[i], pos)) {
      const landmark_t& l = marks->items[pos];
      points[i] = {l.x, l.y, l.z};
    }
  }
  const plane_axes p = plane_through_landmarks(points[0], points[1], points[2]);
  plane().set_plane(p.normal, p.centre, p.up, true);
}

void reslice_page::OnResliceSave(wxCommandEvent&) {
  save_image_dialog(this, L"Save reslice as", [](const wxString& path, wxBitmapType type) {
    if (reslice_internals* b = reslice_builder_of(0)) b->reslice_file_name_chosen(path, type);
  });
}
