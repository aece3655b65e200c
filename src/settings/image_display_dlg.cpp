#include "settings/image_display_dlg.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include <wx/button.h>
#include <wx/log.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "medical/dicom_utility.h"
#include "registry/resource_table.h"

namespace {

resource_table_t& rt() { return *resource_table; }

enum display_control_id : int {
  ID_DICOM_WIN_CENTRE = 7450,
  ID_DICOM_WIN_WIDTH = 7451,
  ID_DICOM_UNITS = 7452,
  ID_DICOM_HUM = 7453,
  ID_DICOM_HUB = 7454,
  ID_DICOM_FILTER = 7455,
  ID_DICOM_FILTER_Z = 7456,
  ID_DICOM_CALIBRATE = 7457,
};

// Keeps a slider bound well inside what a slider's integers can hold.
int32_t slider_bound(double v) {
  if (!std::isfinite(v)) return v < 0 ? -1000000000 : 1000000000;
  return int32_t(std::max(-1e9, std::min(1e9, std::trunc(v))));
}

wxString format(const wchar_t* f, double v) { return wxString::Format(f, v); }

}  // namespace

window_slider_ranges window_ranges(bool buf_dicom, bool data_8bit, const wxString& units, double hum, double hub) {
  if (!buf_dicom || data_8bit) return {0, 255, 1, 255};
  if (units == L"HU") return {-1000, 3000, 1, 4000};
  if (units == L"GY") return {0, 100, 1, 100};
  const double top = hum * 65535.0 + hub;
  window_slider_ranges r{slider_bound(hub), slider_bound(top), 1, slider_bound(top - hub)};
  if (r.centre_high <= r.centre_low) r.centre_high = r.centre_low + 1;
  if (r.width_high <= r.width_low) r.width_high = r.width_low + 1;
  return r;
}

int32_t window_slider_position(double value, int32_t low, int32_t high) {
  if (!(value >= low)) return low;  // also a value that is not a number
  if (value > high) return high;
  return int32_t(std::trunc(value));
}

display_enabling display_controls_enabled(bool buf_dicom, bool data_8bit, bool cmap_labels,
                                          const wxString& value_units, const wxString& units) {
  const bool windowed = buf_dicom && !data_8bit && !cmap_labels;
  const bool uncalibrated = value_units == L"??";
  return {!cmap_labels && uncalibrated, windowed && uncalibrated, windowed, windowed && units == L"HU"};
}

wxString bmd_equation_text(double offset, double scale) {
  return wxString::Format(L" = ( HU %+.3lf ) / %.3lf", -offset, scale);
}

image_display_dlg::image_display_dlg(wxWindow* parent, settings_host& host)
    : settings_dialog(parent, host, L"Image display configuration:", false, wxVERTICAL) {
  resource_table_t& t = rt();
  base_functor* proc = procs_.make(this, &image_display_dlg::update);
  wxSizer* top = GetSizer();
  auto text = [this](wxSizer* line, const wxString& label) {
    auto* s = new wxStaticText(this, wxID_ANY, label);
    add(line, s, wxALIGN_CENTER_VERTICAL);
    return s;
  };
  auto field = [this](wxSizer* line, int id, const wxString& value) {
    auto* f = new wxTextCtrl(this, id, value, wxDefaultPosition, dialog_units(30), wxTE_PROCESS_ENTER);
    add(line, f, wxALIGN_CENTER_VERTICAL);
    host_.send_enter_on_focus_loss(f);
    return f;
  };
  auto slider = [this](wxSizer* box, int id, int value, int low, int high, int page) {
    auto* s = new wxSlider(this, id, std::max(low, std::min(high, value)), low, high, wxDefaultPosition,
                           dialog_units(100), wxSL_HORIZONTAL | wxSL_LABELS | wxSL_MIN_MAX_LABELS | wxSL_VALUE_LABEL);
    s->SetPageSize(page);
    add(box, s, wxALIGN_CENTER_HORIZONTAL);
    return s;
  };

  auto* convert = new wxStaticBoxSizer(wxVERTICAL, this, L"Convert image data");
  top->Add(convert, 0, wxALL, 5);
  auto* line = new wxBoxSizer(wxHORIZONTAL);
  convert->Add(line, 0, 0, 0);
  text(line, L"from Raw to");
  units = field(line, ID_DICOM_UNITS, t.RES_DICOM_UNITS->read(proc));
  text(line, L":");
  line = new wxBoxSizer(wxHORIZONTAL);
  convert->Add(line, 0, 0, 0);
  text(line, L" =");
  hum = field(line, ID_DICOM_HUM, format(L"%.3lf", t.RES_DICOM_HUM->read(proc)));
  text(line, L" x Raw + ");
  hub = field(line, ID_DICOM_HUB, format(L"%.0lf", t.RES_DICOM_HUB->read(proc)));
  range_label = text(convert, L"from HU to display brightness:");
  text(convert, L" Window centre (mid-grey):");
  centre = slider(convert, ID_DICOM_WIN_CENTRE, int(t.RES_DICOM_WIN_CENTRE->read(proc)), -1000, 3000, 100);
  text(convert, L" Window width (range):");
  width = slider(convert, ID_DICOM_WIN_WIDTH, int(t.RES_DICOM_WIN_WIDTH->read(proc)), 1, 4000, 100);
  text(convert, L"from HU to BMD (mg/cm^3):");
  const double scale = t.RES_DICOM_BMD_SCALE->read(proc);
  equation = text(convert, bmd_equation_text(t.RES_DICOM_BMD_OFFSET->read(proc), scale));
  calibrate = new wxButton(this, ID_DICOM_CALIBRATE, L"Calibrate for BMD", wxDefaultPosition, dialog_units(80));
  add(convert, calibrate, wxALIGN_CENTER_HORIZONTAL);
  phantom = text(convert, t.RES_DICOM_BMD_PHANTOM->read(proc) + L" phantom.");
  convert->GetItem(phantom)->SetFlag(wxALL | wxALIGN_CENTER_HORIZONTAL);

  auto* smooth = new wxStaticBoxSizer(wxVERTICAL, this, L"Smooth image data");
  top->Add(smooth, 0, wxALL, 5);
  text(smooth, L"within each image (xy):");
  filter = slider(smooth, ID_DICOM_FILTER, t.RES_DICOM_FILTER->read(proc), 0, 40, 1);
  text(smooth, L"across images (z):");
  filter_z = slider(smooth, ID_DICOM_FILTER_Z, t.RES_DICOM_FILTER_Z->read(proc), 0, 40, 1);
  procs_.watch(proc, {t.RES_DICOM_UNITS, t.RES_DICOM_HUM, t.RES_DICOM_HUB, t.RES_DICOM_WIN_CENTRE,
                      t.RES_DICOM_WIN_WIDTH, t.RES_DICOM_BMD_SCALE, t.RES_DICOM_BMD_OFFSET, t.RES_DICOM_BMD_PHANTOM,
                      t.RES_DICOM_FILTER, t.RES_DICOM_FILTER_Z, t.RES_BUF_FRAMES, t.RES_CMAP_LABELS});

  for (wxWindow* w : std::initializer_list<wxWindow*>{units, hum, hub, width, centre, filter, filter_z, calibrate})
    w->Disable();
  top->Fit(this);
}

void image_display_dlg::set_ranges() {
  resource_table_t& t = rt();
  const window_slider_ranges r = window_ranges(t.RES_BUF_DICOM->read(), dicom_utility::data_8bit,
                                               t.RES_DICOM_UNITS->read(), t.RES_DICOM_HUM->read(),
                                               t.RES_DICOM_HUB->read());
  centre->SetRange(r.centre_low, r.centre_high);
  width->SetRange(r.width_low, r.width_high);
}

void image_display_dlg::update() {
  resource_table_t& t = rt();
  auto changed = [](base_res_t* r) { return r->changed_in_flush(); };
  const wxString u = t.RES_DICOM_UNITS->read();
  if (changed(t.RES_DICOM_UNITS)) {
    units->ChangeValue(u);
    range_label->SetLabel(wxString::Format(L"from %s to display brightness : ", u));
  }
  const bool ranges = changed(t.RES_DICOM_UNITS) || changed(t.RES_DICOM_HUM) || changed(t.RES_DICOM_HUB) ||
                      changed(t.RES_BUF_FRAMES);
  if (ranges) set_ranges();
  if (ranges || changed(t.RES_DICOM_WIN_WIDTH))
    width->SetValue(window_slider_position(t.RES_DICOM_WIN_WIDTH->read(), width->GetMin(), width->GetMax()));
  if (ranges || changed(t.RES_DICOM_WIN_CENTRE))
    centre->SetValue(window_slider_position(t.RES_DICOM_WIN_CENTRE->read(), centre->GetMin(), centre->GetMax()));
  if (changed(t.RES_DICOM_HUM) || changed(t.RES_DICOM_HUB)) {
    hum->ChangeValue(format(L"%.3lf", t.RES_DICOM_HUM->read()));
    hub->ChangeValue(format(L"%.0lf", t.RES_DICOM_HUB->read()));
  }
  if (changed(t.RES_DICOM_FILTER)) filter->SetValue(t.RES_DICOM_FILTER->read());
  if (changed(t.RES_DICOM_FILTER_Z)) filter_z->SetValue(t.RES_DICOM_FILTER_Z->read());
  if (changed(t.RES_DICOM_BMD_PHANTOM) || changed(t.RES_DICOM_BMD_SCALE) || changed(t.RES_DICOM_BMD_OFFSET)) {
    phantom->SetLabel(t.RES_DICOM_BMD_PHANTOM->read() + L" phantom.");
    equation->SetLabel(bmd_equation_text(t.RES_DICOM_BMD_OFFSET->read(), t.RES_DICOM_BMD_SCALE->read()));
  }
  if (changed(t.RES_BUF_FRAMES) || changed(t.RES_CMAP_LABELS)) {
    const display_enabling e =
        display_controls_enabled(t.RES_BUF_DICOM->read(), dicom_utility::data_8bit, t.RES_CMAP_LABELS->read(),
                                 dicom_utility::value_units, u);
    units->Enable(e.units);
    hum->Enable(e.conversion);
    hub->Enable(e.conversion);
    for (wxSlider* s : {centre, width, filter, filter_z}) s->Enable(e.sliders);
    calibrate->Enable(e.calibrate);
  }
  Layout();
}

// --- handlers

void image_display_dlg::OnDICOMUnits(wxCommandEvent& event) {
  rt().RES_DICOM_UNITS->write_no_changeprocs(event.GetString());
  base_res_t::make_pending_writes_happen();
}

void image_display_dlg::OnDICOMHum(wxCommandEvent& event) {
  resource_table_t& t = rt();
  double value = t.RES_DICOM_HUM->read();
  double typed = 0;
  if (!event.GetString().ToCDouble(&typed) || !std::isfinite(typed))
    wxLogWarning(L"Raw data multiplier in conversion to %s not a number", t.RES_DICOM_UNITS->read());
  else if (typed <= 0)
    wxLogWarning(L"Raw data multiplier in conversion to %s must be greater than zero", t.RES_DICOM_UNITS->read());
  else
    t.RES_DICOM_HUM->write_no_changeprocs(value = typed);
  hum->ChangeValue(format(L"%.3lf", value));
  t.RES_DICOM_REDRAW->write_no_changeprocs();
  base_res_t::make_pending_writes_happen();
}

void image_display_dlg::OnDICOMHub(wxCommandEvent& event) {
  resource_table_t& t = rt();
  double value = t.RES_DICOM_HUB->read();
  double typed = 0;
  if (!event.GetString().ToCDouble(&typed) || !std::isfinite(typed)) {
    wxLogWarning(L"Raw data offset in conversion to %s not a number", t.RES_DICOM_UNITS->read());
  } else {
    if (value == -32768.0)
      wxLogWarning(L"Raw data offset in conversion to %s is currently -32768.0.\nThis is required for internal "
                   L"conversion between signed and unsigned integers.\nPlease be careful what you change this "
                   L"value to.",
                   t.RES_DICOM_UNITS->read());
    t.RES_DICOM_HUB->write_no_changeprocs(value = typed);
  }
  hub->ChangeValue(format(L"%.3lf", value));
  t.RES_DICOM_REDRAW->write_no_changeprocs();
  base_res_t::make_pending_writes_happen();
}

namespace {

template <class Res, class V>
void write_and_redraw(Res* res, V value) {
  if (value == res->read()) return;
  res->write_no_changeprocs(value);
  rt().RES_DICOM_REDRAW->write_no_changeprocs();
  base_res_t::make_pending_writes_happen();
}

}  // namespace

void image_display_dlg::OnDICOMWinCentre(wxScrollEvent& event) {
  write_and_redraw(rt().RES_DICOM_WIN_CENTRE, double(event.GetPosition()));
}
void image_display_dlg::OnDICOMWinWidth(wxScrollEvent& event) {
  // The slider starts at 1: a width of 0 or less never reaches the windowing.
  write_and_redraw(rt().RES_DICOM_WIN_WIDTH, double(std::max(1, event.GetPosition())));
}
void image_display_dlg::OnDICOMFilter(wxScrollEvent& event) {
  write_and_redraw(rt().RES_DICOM_FILTER, int32_t(event.GetPosition()));
}
void image_display_dlg::OnDICOMFilterZ(wxScrollEvent& event) {
  write_and_redraw(rt().RES_DICOM_FILTER_Z, int32_t(event.GetPosition()));
}
