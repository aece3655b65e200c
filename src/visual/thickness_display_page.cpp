#include "visual/thickness_display_page.h"

#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include <algorithm>

#include "data/objects.h"
#include "registry/resource_table.h"
#include "surfaces/surface_interp.h"
#include "thickness/thickness.h"
#include "visual/reslice_controls.h"
#include "visual/surface_recolour.h"
#include "visual/thickness_results.h"
#include "visual/visual_ids.h"

namespace {

struct slider_row {
  const wchar_t* label;
  int id;
  int low, high;
  bool starts_enabled;
};

const slider_row kSliders[8] = {
    {L"Max thickness (0.1x mm):", ID_VIS_THICKNESS_SCALE_MM, 1, 500, true},
    {L"Density range (100x HU):", ID_VIS_THICKNESS_SCALE_HU, 1, 200, true},
    {L"Density offset (100x HU):", ID_VIS_THICKNESS_ZERO_HU, -100, 100, true},
    {L"Mass range (1000x HUmm):", ID_VIS_THICKNESS_SCALE_HUMM, 1, 100, true},
    {L"Smoothing:", ID_VIS_THICKNESS_SMOOTH, 0, 20, false},
    {L"Fill missing data (%):", ID_VIS_THICKNESS_FILL, 0, 100, false},
    {L"Reject angle above (deg):", ID_VIS_THICKNESS_REJECT_ANGLE, 5, 90, false},
    {L"Reject offset above (pixels):", ID_VIS_THICKNESS_REJECT_OFFSET, 1, 40, false},
};
constexpr int kFilterSliders = 4;  // the last four

bool changed(base_res_t* r) { return r->changed_in_flush(); }

bool has_thickness(const surface_interp* s) { return s && !s->cortical_thickness.empty(); }

}  // namespace

std::array<long_res_t*, 8> thickness_display_page::slider_resources() const {
  resource_table_t& t = *resource_table;
  return {t.RES_THICKNESS_SCALE_MM, t.RES_THICKNESS_SCALE_HU,      t.RES_THICKNESS_ZERO_HU,
          t.RES_THICKNESS_SCALE_HUMM, t.RES_THICKNESS_SMOOTH,      t.RES_THICKNESS_SMOOTH_FILL,
          t.RES_THICKNESS_OUTLIER_REJECT, t.RES_THICKNESS_DISTANCE_REJECT};
}

thickness_display_page::thickness_display_page(wxNotebook* notebook) : visual_panel(notebook, L"Thickness") {
  resource_table_t& t = *resource_table;
  base_functor* proc = procs_.make(this, &thickness_display_page::update);
  procs_.watch(proc, {t.RES_DICOM_UNITS, t.RES_THICKNESS_DISP_MAP, t.RES_THICKNESS_DISP_COL,
                      t.RES_THICKNESS_SCALE_MM, t.RES_THICKNESS_SCALE_HU, t.RES_THICKNESS_ZERO_HU,
                      t.RES_THICKNESS_SCALE_HUMM, t.RES_THICKNESS_SMOOTH, t.RES_THICKNESS_SMOOTH_FILL,
                      t.RES_THICKNESS_OUTLIER_REJECT, t.RES_THICKNESS_DISTANCE_REJECT, t.RES_THICKNESS_DISP_DATA,
                      t.RES_THICKNESS_DISP_FUNC, t.RES_THICKNESS_DISP_STEP, t.RES_DICOM_REDRAW,
                      t.RES_REDISPLAY_THICKNESS, t.RES_BUF_FRAMES});

  auto* box = new wxStaticBoxSizer(wxVERTICAL, this, L"Surface colour");
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  row->Add(new wxStaticText(this, wxID_ANY, L"Display: "), 0, wxALIGN_CENTER_VERTICAL);
  display = new wxChoice(this, ID_VIS_THICKNESS_DISPLAY, wxDefaultPosition, wxSize(dialog_width(this, 78), -1));
  for (const wxString& name : thickness_display_names(t.RES_DICOM_UNITS->read())) display->Append(name);
  display->SetSelection(static_cast<int>(t.RES_THICKNESS_DISP_MAP->read()));
  row->Add(display, 0);
  box->Add(row, 0, wxALL, 5);
  row = new wxBoxSizer(wxHORIZONTAL);
  row->Add(new wxStaticText(this, wxID_ANY, L"Use: "), 0, wxALIGN_CENTER_VERTICAL);
  colour = new wxChoice(this, ID_VIS_THICKNESS_COLOUR, wxDefaultPosition, wxSize(dialog_width(this, 90), -1));
  for (const wchar_t* name : kThicknessColourMaps) colour->Append(name);
  colour->SetSelection(static_cast<int>(t.RES_THICKNESS_DISP_COL->read()));
  row->Add(colour, 0);
  box->Add(row, 0, wxALL, 5);

  const std::array<long_res_t*, 8> values = slider_resources();
  for (int i = 0; i < 8; ++i) {
    const slider_row& s = kSliders[i];
    auto* label = new wxStaticText(this, wxID_ANY, s.label);
    if (i >= 1 && i <= 3) unit_labels[i - 1] = label;
    box->Add(label, 0, wxALL, 5);
    sliders[i] = new wxSlider(this, s.id, static_cast<int>(values[i]->read()), s.low, s.high, wxDefaultPosition,
                              wxSize(dialog_width(this, 100), -1), wxSL_HORIZONTAL | wxSL_LABELS);
    sliders[i]->SetPageSize(1);
    sliders[i]->Enable(s.starts_enabled);
    box->Add(sliders[i], 0, wxALL, 5);
  }
  sizer_->Add(box, 0, wxALL, 5);

  const thickness_result_lines lines = unmeasured_lines();
  for (int i = 0; i < 8; ++i) {
    results[i] = new wxStaticText(this, wxID_ANY, lines[i]);
    sizer_->Add(results[i], 0, wxALL, 5);
  }

  auto* line_box = new wxStaticBoxSizer(wxVERTICAL, this, L"Line display");
  show_data = new wxCheckBox(this, ID_VIS_THICKNESS_SHOW_DATA, L"original data");
  show_model = new wxCheckBox(this, ID_VIS_THICKNESS_SHOW_MODEL, L"optimised blurred model");
  show_deconvolved = new wxCheckBox(this, ID_VIS_THICKNESS_SHOW_DECONVOLVED, L"deconvolved model");
  show_data->SetValue(t.RES_THICKNESS_DISP_DATA->read());
  show_model->SetValue(t.RES_THICKNESS_DISP_FUNC->read());
  show_deconvolved->SetValue(t.RES_THICKNESS_DISP_STEP->read());
  for (wxCheckBox* c : {show_data, show_model, show_deconvolved}) line_box->Add(c, 0, wxALL, 5);
  sizer_->Add(line_box, 0, wxALL, 5);
  fit_contents();
}

void thickness_display_page::enable_filters(bool enable) {
  for (int i = 8 - kFilterSliders; i < 8; ++i) sliders[i]->Enable(enable);
}

void thickness_display_page::update() {
  resource_table_t& t = *resource_table;
  const bool redisplayed = changed(t.RES_REDISPLAY_THICKNESS);
  if (raised_ && redisplayed) {
    // The run our own raise asked for: the rest was done by the run before.
    raised_ = false;
    show_results();
    return;
  }
  raised_ = false;
  Freeze();
  const bool drawing = changed(t.RES_THICKNESS_DISP_DATA) || changed(t.RES_THICKNESS_DISP_FUNC) ||
                       changed(t.RES_THICKNESS_DISP_STEP) || changed(t.RES_DICOM_REDRAW);
  const bool scale = changed(t.RES_THICKNESS_DISP_MAP) || changed(t.RES_THICKNESS_SCALE_MM) ||
                     changed(t.RES_THICKNESS_SCALE_HU) || changed(t.RES_THICKNESS_ZERO_HU) ||
                     changed(t.RES_THICKNESS_SCALE_HUMM) || changed(t.RES_THICKNESS_DISP_COL);
  // Raised once per flush: a raise already made in this flush serves.
  if ((drawing || scale) && !redisplayed) {
    raised_ = true;
    t.RES_REDISPLAY_THICKNESS->write();
  }
  const wxString units = t.RES_DICOM_UNITS->read();
  if ((changed(t.RES_BUF_FRAMES) || changed(t.RES_DICOM_UNITS)) && t.RES_BUF_FRAMES->read() > 0) {
    const std::array<wxString, 3> labels = thickness_unit_labels(units);
    for (int i = 0; i < 3; ++i) unit_labels[i]->SetLabel(labels[i]);
    display->Clear();
    for (const wxString& name : thickness_display_names(units)) display->Append(name);
    display->SetSelection(static_cast<int>(t.RES_THICKNESS_DISP_MAP->read()));
  }
  if (changed(t.RES_THICKNESS_DISP_DATA)) show_data->SetValue(t.RES_THICKNESS_DISP_DATA->read());
  if (changed(t.RES_THICKNESS_DISP_FUNC)) show_model->SetValue(t.RES_THICKNESS_DISP_FUNC->read());
  if (changed(t.RES_THICKNESS_DISP_STEP)) show_deconvolved->SetValue(t.RES_THICKNESS_DISP_STEP->read());
  const std::array<long_res_t*, 8> values = slider_resources();
  bool settings = changed(t.RES_THICKNESS_DISP_MAP) || changed(t.RES_THICKNESS_DISP_COL);
  for (int i = 0; i < 8; ++i)
    if (changed(values[i])) {
      sliders[i]->SetValue(static_cast<int>(values[i]->read()));
      settings = true;
    }
  if (changed(t.RES_THICKNESS_DISP_MAP)) display->SetSelection(static_cast<int>(t.RES_THICKNESS_DISP_MAP->read()));
  if (changed(t.RES_THICKNESS_DISP_COL)) colour->SetSelection(static_cast<int>(t.RES_THICKNESS_DISP_COL->read()));
  if (settings) recolour_surfaces();
  if (changed(t.RES_REDISPLAY_THICKNESS) || changed(t.RES_DICOM_UNITS)) show_results();
  Thaw();
  fit_contents();
  Refresh();
}

void thickness_display_page::recolour_surfaces() {
  resource_table_t& t = *resource_table;
  const int32_t count = std::min<int32_t>(t.CURRENT_MAX_OBJECTS->read(), 200);
  const int kind = static_cast<int>(t.RES_THICKNESS_DISP_MAP->read());
  int32_t last = -1;
  for (int32_t k = 0; k < count; ++k) {
    surface_interp* s = t.RES_SURFACE[k]->read();
    if (!has_thickness(s)) continue;
    s->select_display_data(kind, nullptr, nullptr, nullptr);
    // The views redraw it; the pages that crop to it know it is the same surface.
    mark_surface_recoloured(k);
    t.RES_SURFACE[k]->write_no_changeprocs(s);
    last = k;
  }
  if (last >= 0) t.RES_SURFACE[last]->write(t.RES_SURFACE[last]->read());
}

void thickness_display_page::show_results() {
  resource_table_t& t = *resource_table;
  const wxString units = t.RES_DICOM_UNITS->read();
  const thickness* engine = t.RES_THICKNESS->read();
  const int32_t surface = t.RES_THICKNESS_SURF->read();
  thickness_result_lines lines;
  if (engine && engine->valid) {
    lines = single_line_lines(read_single_line(*engine), units);
  } else if (surface < 0 || surface >= 200) {
    lines = unmeasured_lines();
  } else {
    const contour_object* objects = t.RES_OBJECT->read();
    lines = surface_average_lines(objects ? objects[surface].name : wxString(), t.RES_SURFACE[surface]->read(),
                                  units);
  }
  for (int i = 0; i < 8; ++i) results[i]->SetLabel(lines[i]);
}

// ---- commands: each writes its resource; the change procedure does the rest.

void thickness_display_page::OnVisThicknessDisplay(wxCommandEvent& event) {
  resource_table->RES_THICKNESS_DISP_MAP->write(event.GetSelection());
}
void thickness_display_page::OnVisThicknessColour(wxCommandEvent& event) {
  resource_table->RES_THICKNESS_DISP_COL->write(event.GetSelection());
}
void thickness_display_page::OnVisThicknessScaleMM(wxScrollEvent& event) {
  resource_table->RES_THICKNESS_SCALE_MM->write(event.GetPosition());
}
void thickness_display_page::OnVisThicknessScaleHU(wxScrollEvent& event) {
  resource_table->RES_THICKNESS_SCALE_HU->write(event.GetPosition());
}
void thickness_display_page::OnVisThicknessZeroHU(wxScrollEvent& event) {
  resource_table->RES_THICKNESS_ZERO_HU->write(event.GetPosition());
}
void thickness_display_page::OnVisThicknessScaleHUMM(wxScrollEvent& event) {
  resource_table->RES_THICKNESS_SCALE_HUMM->write(event.GetPosition());
}
void thickness_display_page::OnVisThicknessSmooth(wxScrollEvent& event) {
  resource_table->RES_THICKNESS_SMOOTH->write(event.GetPosition());
}
void thickness_display_page::OnVisThicknessFill(wxScrollEvent& event) {
  resource_table->RES_THICKNESS_SMOOTH_FILL->write(event.GetPosition());
}
void thickness_display_page::OnVisThicknessRejectAngle(wxScrollEvent& event) {
  resource_table->RES_THICKNESS_OUTLIER_REJECT->write(event.GetPosition());
}
void thickness_display_page::OnVisThicknessRejectOffset(wxScrollEvent& event) {
  resource_table->RES_THICKNESS_DISTANCE_REJECT->write(event.GetPosition());
}
void thickness_display_page::OnVisThicknessShowData(wxCommandEvent& event) {
  resource_table->RES_THICKNESS_DISP_DATA->write(event.IsChecked());
}
void thickness_display_page::OnVisThicknessShowModel(wxCommandEvent& event) {
  resource_table->RES_THICKNESS_DISP_FUNC->write(event.IsChecked());
}
void thickness_display_page::OnVisThicknessShowDeconvolved(wxCommandEvent& event) {
  resource_table->RES_THICKNESS_DISP_STEP->write(event.IsChecked());
}
