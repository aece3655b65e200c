#include "settings/location_dlg.h"

#include <algorithm>
#include <array>
#include <cmath>

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/log.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "data/convert.h"
#include "medical/dicom_utility.h"
#include "registry/resource_table.h"
#include "settings/manual_positions.h"

namespace {

resource_table_t& rt() { return *resource_table; }

enum location_control_id : int {
  ID_POS_MANUAL_TRAN = 6160,
  ID_POS_MANUAL_SPAN = 6161,
  ID_POS_MANUAL_ROT = 6162,
  ID_POS_MANUAL_ANGLE = 6163,
  ID_POS_MANUAL_RADIUS = 6164,
  ID_IMAGE_WIDTH = 6165,
  ID_IMAGE_HEIGHT = 6166,
  ID_PIXEL_SIZE = 6167,
  ID_FRAME_SPACING = 6168,
  ID_POS_MANUAL = 6169,
};

const wchar_t* const kOverrideQuestion =
    L"This data set includes locations which were originally derived\nfrom the (non-Norvelith) data file. "
    L"Over-riding these will allow\nyou to manually adjust the locations in the Norvelith file without\naffecting "
    L"the original data file.\n\nDo you still want to over-ride these locations?";

int32_t clamped(double v, int32_t low, int32_t high) {
  if (!(v >= low)) return low;
  if (v > high) return high;
  return int32_t(v);
}

// An image side in whole millimetres, as the size sliders show it.
int32_t side_mm(int32_t pixels, double scale) { return clamped(int32_t(pixels * scale * 10 + 0.5), 5, 1000); }

wxString four_places(double v) { return wxString::Format(L"%.4lf", v); }

// A number typed in a field; false for empty or other text.
bool typed_number(const wxString& text, double& v) { return !text.empty() && text.ToCDouble(&v) && std::isfinite(v); }

bool frames_loaded() { return rt().RES_BUF_FRAMES->read() > 0; }

// The probe calibration: the image's offset from its position record.
std::array<double_res_t*, 6> calibration(resource_table_t& t) {
  return {t.RES_XTRANS, t.RES_YTRANS, t.RES_ZTRANS, t.RES_AZIMUTH, t.RES_ELEVATION, t.RES_ROLL};
}

}  // namespace

location_dlg::location_dlg(wxWindow* parent, settings_host& host)
    : settings_dialog(parent, host, L"Image location configuration:", false, wxHORIZONTAL) {
  resource_table_t& t = rt();
  base_functor* proc = procs_.make(this, &location_dlg::update);
  auto* column = new wxBoxSizer(wxVERTICAL);
  GetSizer()->Add(column, 0, 0, 0);
  auto slider = [this](wxSizer* line, int id, double value, int low, int high, int w) {
    auto* s = new wxSlider(this, id, clamped(std::lround(value), low, high), low, high, wxDefaultPosition,
                           dialog_units(w), wxSL_HORIZONTAL | wxSL_LABELS | wxSL_MIN_MAX_LABELS | wxSL_VALUE_LABEL);
    s->SetPageSize(1);
    add(line, s);
    return s;
  };
  auto field = [this](wxSizer* box, int id, double value) {
    auto* f = new wxTextCtrl(this, id, four_places(value), wxDefaultPosition, dialog_units(30), wxTE_PROCESS_ENTER);
    add(box, f);
    host_.send_enter_on_focus_loss(f);
    return f;
  };

  manual = new wxButton(this, ID_POS_MANUAL, L"Change location and size");
  add(column, manual, wxALIGN_CENTER_HORIZONTAL);
  location_info = new wxStaticText(this, wxID_ANY, L"(no images loaded)");
  add(column, location_info);

  auto* place = new wxStaticBoxSizer(wxVERTICAL, this, L"3D location");
  column->Add(place, 0, wxALL, 5);
  translate = new wxChoice(this, ID_POS_MANUAL_TRAN, wxDefaultPosition, dialog_units(60));
  for (const wchar_t* s : {L"none", L"elevational", L"lateral", L"axial"}) translate->Append(s);
  translate->SetSelection(t.RES_POS_MANUAL_TRAN->read(proc));
  add(row(place, L"Translate along:"), translate);
  span = slider(row(place, L"By (mm):"), ID_POS_MANUAL_SPAN, t.RES_POS_MANUAL_SPAN->read(proc), -1000, 1000, 100);
  rotate = new wxChoice(this, ID_POS_MANUAL_ROT, wxDefaultPosition, dialog_units(60));
  for (const wchar_t* s : {L"none", L"lateral", L"axial", L"elevational"}) rotate->Append(s);
  rotate->SetSelection(t.RES_POS_MANUAL_ROT->read(proc));
  add(row(place, L"Rotate around:"), rotate);
  angle = slider(row(place, L"By (deg):"), ID_POS_MANUAL_ANGLE, t.RES_POS_MANUAL_ANGLE->read(proc), -360, 360, 100);
  radius = slider(row(place, L"Offset (mm):"), ID_POS_MANUAL_RADIUS, t.RES_POS_MANUAL_RADIUS->read(proc), -200, 200,
                  90);
  add(place, new wxStaticText(this, wxID_ANY, L"Or set frame spacing (mm):"));
  spacing = field(place, ID_FRAME_SPACING, t.RES_ZSCALE->read(proc) * 10);

  size_info = new wxStaticText(this, wxID_ANY, L"(no images loaded)");
  add(column, size_info);
  auto* size = new wxStaticBoxSizer(wxVERTICAL, this, L"Image size");
  column->Add(size, 0, wxALL, 5);
  const int32_t w = t.RES_BUF_WIDTH->read(proc), h = t.RES_BUF_HEIGHT->read(proc);
  width = slider(row(size, L"Width (mm):"), ID_IMAGE_WIDTH, side_mm(w, t.RES_XSCALE->read(proc)), 5, 1000, 90);
  height = slider(row(size, L"Height (mm):"), ID_IMAGE_HEIGHT, side_mm(h, t.RES_YSCALE->read(proc)), 5, 1000, 90);
  add(size, new wxStaticText(this, wxID_ANY, L"Or set pixel size (mm):"));
  pixel_size = field(size, ID_PIXEL_SIZE, t.RES_XSCALE->read() * 10);
  procs_.watch(proc, {t.RES_POS_MANUAL_TRAN, t.RES_POS_MANUAL_SPAN, t.RES_POS_MANUAL_ROT, t.RES_POS_MANUAL_ANGLE,
                      t.RES_POS_MANUAL_RADIUS, t.RES_ZSCALE, t.RES_BUF_WIDTH, t.RES_XSCALE, t.RES_BUF_HEIGHT,
                      t.RES_YSCALE, t.RES_BUF_DICOM, t.RES_POS_REC, t.RES_BUF_FRAMES, t.RES_POS_MANUAL});

  manual->Hide();
  enable_controls();
  update_info();
  GetSizer()->Fit(this);
}

void location_dlg::enable_controls() {
  resource_table_t& t = rt();
  const bool allowed = frames_loaded() && (t.RES_POS_MANUAL->read() || !t.RES_POS_REC->read());
  for (wxWindow* c : std::initializer_list<wxWindow*>{translate, rotate, width, height, spacing, pixel_size})
    c->Enable(allowed);
  span->Enable(allowed && t.RES_POS_MANUAL_TRAN->read() > 0);
  angle->Enable(allowed && t.RES_POS_MANUAL_ROT->read() > 0);
  radius->Enable(allowed && t.RES_POS_MANUAL_ROT->read() > 0);
}

void location_dlg::update_info() {
  resource_table_t& t = rt();
  if (!frames_loaded()) {
    location_info->SetLabel(L"(no images loaded)");
    size_info->SetLabel(L"(no images loaded)");
    location_info->Disable();
    size_info->Disable();
    return;
  }
  const bool rec = t.RES_POS_REC->read();
  location_info->SetLabel(!rec                          ? L"(no locations defined)"
                          : t.RES_POS_MANUAL->read() ? L"Location has been manually defined"
                                                     : L"Location is defined by data");
  location_info->Enable(rec);
  size_info->SetLabel(wxString::Format(L"Image is %li by %li pixels", long(t.RES_BUF_WIDTH->read()),
                                       long(t.RES_BUF_HEIGHT->read())));
  size_info->Enable();
}

void location_dlg::update() {
  resource_table_t& t = rt();
  auto changed = [](base_res_t* r) { return r->changed_in_flush(); };
  const int32_t n = t.RES_BUF_FRAMES->read();
  if (changed(t.RES_BUF_FRAMES) || changed(t.RES_POS_MANUAL) || changed(t.RES_POS_REC)) update_info();
  if (changed(t.RES_POS_MANUAL_TRAN)) translate->SetSelection(t.RES_POS_MANUAL_TRAN->read());
  if (changed(t.RES_POS_MANUAL_ROT)) rotate->SetSelection(t.RES_POS_MANUAL_ROT->read());
  if (changed(t.RES_POS_MANUAL_SPAN) || changed(t.RES_BUF_FRAMES)) {
    const double s = t.RES_POS_MANUAL_SPAN->read();
    if (t.RES_POS_MANUAL_TRAN->read() == 1 && t.RES_POS_MANUAL_ROT->read() == 0 && n > 1 &&
        t.RES_POS_MANUAL->read() && t.RES_ZSCALE->read() == 0 && s / (n - 1) != 0)
      t.RES_ZSCALE->write(s / (n - 1) / 10);
    span->SetValue(clamped(std::lround(s), -1000, 1000));
  }
  if (changed(t.RES_POS_MANUAL_ANGLE)) angle->SetValue(t.RES_POS_MANUAL_ANGLE->read());
  if (changed(t.RES_POS_MANUAL_RADIUS)) radius->SetValue(t.RES_POS_MANUAL_RADIUS->read());
  if (changed(t.RES_BUF_WIDTH) || changed(t.RES_XSCALE))
    width->SetValue(side_mm(t.RES_BUF_WIDTH->read(), t.RES_XSCALE->read()));
  if (changed(t.RES_BUF_HEIGHT) || changed(t.RES_YSCALE))
    height->SetValue(side_mm(t.RES_BUF_HEIGHT->read(), t.RES_YSCALE->read()));
  if (changed(t.RES_XSCALE)) pixel_size->ChangeValue(four_places(t.RES_XSCALE->read() * 10));
  if ((changed(t.RES_BUF_FRAMES) || changed(t.RES_ZSCALE)) && n > 1) {
    const double z = t.RES_ZSCALE->read();
    spacing->ChangeValue(four_places(z * 10));
    if (z != 0) {
      // The manual settings describe the even stack.
      t.RES_POS_MANUAL_TRAN->write(1);
      translate->SetSelection(1);
      t.RES_POS_MANUAL_SPAN->write((n - 1) * z * 10);
      span->SetValue(clamped(std::lround(t.RES_POS_MANUAL_SPAN->read()), -1000, 1000));
      t.RES_POS_MANUAL_ANGLE->write(0);
      angle->SetValue(0);
      t.RES_POS_MANUAL_RADIUS->write(0);
      radius->SetValue(0);
      t.RES_POS_MANUAL_ROT->write(0);
      rotate->SetSelection(0);
    }
  }
  if (changed(t.RES_POS_REC) || changed(t.RES_BUF_FRAMES) || changed(t.RES_POS_MANUAL) ||
      changed(t.RES_POS_MANUAL_TRAN) || changed(t.RES_POS_MANUAL_ROT)) {
    enable_controls();
    manual->Show(frames_loaded() && t.RES_POS_REC->read() && dicom_utility::locations_from_file);
    manual->SetLabel(t.RES_POS_MANUAL->read() ? L"Reset to original values" : L"Change location and size");
    Layout();
    GetSizer()->Fit(this);
    Refresh();
  }
}

void location_dlg::set_manual_positions(double s) {
  resource_table_t& t = rt();
  if (t.RES_POS_MANUAL_TRAN->read() == 0 && t.RES_POS_MANUAL_ROT->read() == 0) {
    if (t.RES_POS_MANUAL->read()) {
      t.RES_POS_MANUAL->write_no_changeprocs(false);
      t.RES_POS_REC->write_no_changeprocs(false);
      base_res_t::make_pending_writes_happen();
    }
    return;
  }
  const int32_t n = t.RES_BUF_FRAMES->read();
  if (n < 1 || !frame_store) return;
  // A single frame has no neighbour: it is placed by the offset alone.
  manual_sweep sweep;
  sweep.frames = n;
  sweep.translate_axis = t.RES_POS_MANUAL_TRAN->read();
  sweep.rotate_axis = t.RES_POS_MANUAL_ROT->read();
  sweep.step = s != 0 ? s / 10 : n > 1 ? t.RES_POS_MANUAL_SPAN->read() / 10 / (n - 1) : 0.0;
  sweep.angle_step = n > 1 ? double(t.RES_POS_MANUAL_ANGLE->read()) / (n - 1) : 0.0;
  sweep.radius = t.RES_POS_MANUAL_RADIUS->read() / 10.0;
  sweep.image_width = t.RES_BUF_WIDTH->read() * t.RES_XSCALE->read();
  const std::vector<position_t> placed = manual_positions(sweep);
  for (int32_t i = 0; i < n; ++i) {
    if (frame_store->positions.size() < size_t(i) + 1) frame_store->positions.emplace_back();
    position_ref& p = frame_store->positions[size_t(i)];
    if (p)
      *p = placed[size_t(i)];
    else
      p = position_holder_t::create(placed[size_t(i)]);
  }

  // The probe calibration is kept for a restore of the file locations; the
  // frames' new places are announced by the positions event, not by a
  // changed calibration.
  if (!t.RES_POS_MANUAL->read()) {
    for (int k = 0; k < 6; ++k) kept_calibration_[k] = calibration(t)[k]->read();
    calibration_kept_ = true;
  }
  for (double_res_t* r : calibration(t)) r->write_no_changeprocs(0.0);
  t.RES_ZSCALE->write_no_changeprocs(sweep.translate_axis == 1 && sweep.rotate_axis == 0 ? sweep.step : 0.0);
  t.RES_POS_REC->write_no_changeprocs(true);
  t.RES_POS_MANUAL->write_no_changeprocs(true);
  t.IM->write_no_changeprocs();
  base_res_t::make_pending_writes_happen();
}

// --- handlers

void location_dlg::OnPosManualTran(wxCommandEvent& event) {
  rt().RES_POS_MANUAL_TRAN->write(event.GetInt());
  set_manual_positions(0);
}

void location_dlg::OnPosManualRot(wxCommandEvent& event) {
  rt().RES_POS_MANUAL_ROT->write(event.GetInt());
  set_manual_positions(0);
}

void location_dlg::OnPosManualSpan(wxScrollEvent& event) {
  resource_table_t& t = rt();
  t.RES_POS_MANUAL_SPAN->write(event.GetPosition());
  const int32_t n = t.RES_BUF_FRAMES->read();
  if (t.RES_POS_MANUAL_TRAN->read() == 1 && t.RES_POS_MANUAL_ROT->read() == 0 && n > 1)
    spacing->ChangeValue(four_places(t.RES_POS_MANUAL_SPAN->read() / (n - 1)));
  set_manual_positions(0);
}

void location_dlg::OnPosManualAngle(wxScrollEvent& event) {
  rt().RES_POS_MANUAL_ANGLE->write(event.GetPosition());
  set_manual_positions(0);
}

void location_dlg::OnPosManualRadius(wxScrollEvent& event) {
  rt().RES_POS_MANUAL_RADIUS->write(event.GetPosition());
  set_manual_positions(0);
}

void location_dlg::OnImageWidth(wxScrollEvent& event) {
  resource_table_t& t = rt();
  if (t.RES_BUF_WIDTH->read() <= 0) return;
  t.RES_XSCALE->write_no_changeprocs(event.GetPosition() * 0.1 / t.RES_BUF_WIDTH->read());
  t.RES_POS_MANUAL->write_no_changeprocs(true);
  base_res_t::make_pending_writes_happen();
}

void location_dlg::OnImageHeight(wxScrollEvent& event) {
  resource_table_t& t = rt();
  if (t.RES_BUF_HEIGHT->read() <= 0) return;
  t.RES_YSCALE->write_no_changeprocs(event.GetPosition() * 0.1 / t.RES_BUF_HEIGHT->read());
  t.RES_POS_MANUAL->write_no_changeprocs(true);
  base_res_t::make_pending_writes_happen();
}

void location_dlg::OnPixelSize(wxCommandEvent& event) {
  resource_table_t& t = rt();
  double v = 0;
  if (!typed_number(event.GetString(), v)) return;
  if (v == 0) {
    // A pixel of no size would make every length on the frames 0.
    wxLogWarning(L"The pixel size must not be 0.");
    pixel_size->ChangeValue(four_places(t.RES_XSCALE->read() * 10));
    return;
  }
  if (v < 0) pixel_size->ChangeValue(four_places(-v));
  t.RES_XSCALE->write_no_changeprocs(std::fabs(v) / 10);
  t.RES_YSCALE->write_no_changeprocs(std::fabs(v) / 10);
  t.RES_POS_MANUAL->write_no_changeprocs(true);
  base_res_t::make_pending_writes_happen();
}

void location_dlg::OnFrameSpacing(wxCommandEvent& event) {
  resource_table_t& t = rt();
  double v = 0;
  if (!typed_number(event.GetString(), v)) return;
  t.RES_POS_MANUAL_TRAN->write_no_changeprocs(1);
  t.RES_POS_MANUAL_SPAN->write_no_changeprocs((t.RES_BUF_FRAMES->read() - 1) * v);
  t.RES_POS_MANUAL_ANGLE->write_no_changeprocs(0);
  t.RES_POS_MANUAL_RADIUS->write_no_changeprocs(0);
  t.RES_ZSCALE->write_no_changeprocs(v / 10);
  t.RES_POS_MANUAL_ROT->write_no_changeprocs(0);
  base_res_t::make_pending_writes_happen();
  set_manual_positions(v);
}

void location_dlg::OnPosManual(wxCommandEvent&) {
  resource_table_t& t = rt();
  if (!frames_loaded() || !t.RES_POS_REC->read()) return;
  if (t.RES_POS_MANUAL->read()) {
    if (!dicom_utility::restore_file_locations()) return;
    if (calibration_kept_)
      for (int k = 0; k < 6; ++k) calibration(t)[k]->write_no_changeprocs(kept_calibration_[k]);
    calibration_kept_ = false;
    t.IM->write_no_changeprocs();
    check_for_image_stack();
    base_res_t::make_pending_writes_happen();
    return;
  }
  const bool yes = questions ? questions->override_file_locations(GetParent())
                             : wxMessageBox(kOverrideQuestion, L"Change location and size",
                                            wxYES_NO | wxNO_DEFAULT | wxICON_WARNING, GetParent()) == wxYES;
  if (yes) t.RES_POS_MANUAL->write(true);
}
