#include "tasks/landmarks_page.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/filename.h>
#include <wx/grid.h>
#include <wx/listbox.h>
#include <wx/log.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "data/data_io_ui.h"
#include "data/file_menu_ui.h"
#include "data/objects.h"
#include "registry/hm_resource.h"
#include "registry/resource_table.h"
#include "surfaces/surface_interp.h"
#include "tasks/task_ids.h"

namespace {

resource_table_t& rt() { return *resource_table; }
landmarks& lms() { return *rt().RES_LANDMARKS->read(); }
curve_set& curves() { return *rt().RES_CURVE->read(); }

surface_interp* surface_of(int object) {
  if (object < 0 || object >= NUM_USER_OBJECTS) return nullptr;
  return rt().RES_SURFACE[object]->read();
}

// The program's dialogs in force: tests and batch runs answer them.
class installed_landmarks_dialogs final : public landmarks_page_dialogs {
 public:
  bool ask_yes_no(const wxString& caption, const wxString& text) override {
    return current_data_ui().ask_yes_no(caption, text);
  }
  bool ask_ok_cancel(const wxString& caption, const wxString& text) override {
    return current_file_menu_ui().ask_ok_cancel(caption, text);
  }
  bool choose_export_file(wxWindow*, wxString& path, int& filter) override {
    file_dialog_request request;
    request.message = L"Export landmarks as";
    request.wildcard = L"CSV file|*.csv|TXT file|*.txt";
    request.save = true;
    request.ask_overwrite = false;  // an existing file is appended to, after its own question
    file_dialog_result result;
    if (!current_file_menu_ui().choose_file(request, result)) return false;
    path = result.path;
    filter = result.filter_index;
    return true;
  }
};

wxGrid* make_grid(wxWindow* parent, int rows, int cols, const wchar_t* const* col_labels,
                  const wchar_t* const* row_labels) {
  auto* g = new wxGrid(parent, wxID_ANY);
  g->CreateGrid(rows, cols);
  g->EnableEditing(false);
  for (int c = 0; c < cols; ++c) g->SetColLabelValue(c, col_labels[c]);
  for (int r = 0; r < rows; ++r) g->SetRowLabelValue(r, row_labels[r]);
  const wxColour face = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      g->SetCellValue(r, c, kNoValue);
      g->SetCellBackgroundColour(r, c, face);
    }
  g->SetColLabelSize(wxGRID_AUTOSIZE);
  g->SetRowLabelSize(wxGRID_AUTOSIZE);
  g->AutoSize();
  return g;
}

}  // namespace

landmarks_page::landmarks_page(wxNotebook* notebook, task_page_host& host)
    : task_page(notebook, L"Landmarks", host), dialogs_(std::make_unique<installed_landmarks_dialogs>()) {
  auto* page = new wxBoxSizer(wxVERTICAL);
  auto* box = new wxStaticBoxSizer(wxVERTICAL, this, L"Landmarks");
  wxWindow* lb = box->GetStaticBox();
  auto* select_row = new wxBoxSizer(wxHORIZONTAL);
  select_row->Add(new wxStaticText(lb, wxID_ANY, L"Select:"), 0, wxALL, 2);
  landmark_list = new wxListBox(lb, ID_LANDMARKS_SELECT, wxDefaultPosition, dialog_units(80, 80),
                                0, nullptr, wxLB_MULTIPLE | wxLB_SORT);
  select_row->Add(landmark_list, 1, wxALL, 2);
  box->Add(select_row, 0, wxEXPAND);
  static const wchar_t* const row_letters[] = {L"A", L"B", L"C"};
  for (int r = 0; r < landmark_rows::ROWS; ++r) {
    auto* line = new wxBoxSizer(wxHORIZONTAL);
    line->Add(new wxStaticText(lb, wxID_ANY, row_letters[r], wxDefaultPosition, dialog_units(6)), 0,
              wxALL | wxALIGN_CENTER_VERTICAL, 2);
    row_name[r] = new wxTextCtrl(lb, ID_LANDMARKS_NAME_1 + r, wxEmptyString, wxDefaultPosition,
                                 dialog_units(45), wxTE_PROCESS_ENTER);
    row_name[r]->SetEditable(false);
    host_.send_enter_on_focus_loss(row_name[r]);
    line->Add(row_name[r], 0, wxALL, 1);
    line->Add(new wxButton(lb, ID_LANDMARKS_DELETE_1 + r, L"Delete", wxDefaultPosition, dialog_units(24)),
              0, wxALL, 1);
    line->Add(new wxButton(lb, ID_LANDMARKS_FIND_1 + r, L"Find", wxDefaultPosition, dialog_units(24)), 0,
              wxALL, 1);
    box->Add(line, 0);
  }
  static const wchar_t* const abc[] = {L"A", L"B", L"C"};
  static const wchar_t* const position_rows[] = {L"x (mm)", L"y (mm)", L"z (mm)", L"Angle (o)"};
  static const wchar_t* const pair_cols[] = {L"AB", L"AC", L"BC"};
  static const wchar_t* const distance_rows[] = {L"Dist. (mm)"};
  position_grid = make_grid(lb, 4, 3, abc, position_rows);
  distance_grid = make_grid(lb, 1, 3, pair_cols, distance_rows);
  for (wxGrid* g : {position_grid, distance_grid}) {
    g->SetRowLabelSize(dialog_units(40).x);
    box->Add(g, 0, wxALL, 2);
  }
  delete_all = new wxButton(lb, ID_LANDMARKS_DELETE_ALL, L"Delete all landmarks", wxDefaultPosition,
                            dialog_units(80));
  export_button = new wxButton(lb, ID_LANDMARKS_EXPORT, L"Export landmarks", wxDefaultPosition,
                               dialog_units(80));
  box->Add(delete_all, 0, wxALL | wxALIGN_CENTER_HORIZONTAL, 2);
  box->Add(export_button, 0, wxALL | wxALIGN_CENTER_HORIZONTAL, 2);
  delete_all->Disable();
  export_button->Disable();
  snap = new wxCheckBox(lb, ID_LANDMARKS_SNAP, L"Snap mouse clicks to frames");
  snap->SetValue(rt().RES_SNAP_LANDMARKS->read());
  box->Add(snap, 0, wxALL, 2);
  page->Add(box, 0, wxEXPAND | wxALL, 2);

  auto* cbox = new wxStaticBoxSizer(wxVERTICAL, this, L"Curves");
  wxWindow* cb = cbox->GetStaticBox();
  auto* curve_row = new wxBoxSizer(wxHORIZONTAL);
  curve_row->Add(new wxStaticText(cb, wxID_ANY, L"Select:"), 0, wxALL, 2);
  curve_list = new wxListBox(cb, ID_CURVE_SELECT, wxDefaultPosition, dialog_units(80, 80), 0, nullptr,
                             wxLB_SINGLE | wxLB_SORT);
  curve_row->Add(curve_list, 1, wxALL, 2);
  cbox->Add(curve_row, 0, wxEXPAND);
  auto* name_row = new wxBoxSizer(wxHORIZONTAL);
  curve_name = new wxTextCtrl(cb, ID_CURVE_NAME, wxEmptyString, wxDefaultPosition, dialog_units(53),
                              wxTE_PROCESS_ENTER);
  curve_name->SetEditable(false);
  host_.send_enter_on_focus_loss(curve_name);
  name_row->Add(curve_name, 0, wxALL, 1);
  name_row->Add(new wxButton(cb, ID_CURVE_DELETE, L"Delete", wxDefaultPosition, dialog_units(24)), 0,
                wxALL, 1);
  name_row->Add(new wxButton(cb, ID_CURVE_FIND, L"Find", wxDefaultPosition, dialog_units(24)), 0, wxALL,
                1);
  cbox->Add(name_row, 0);
  auto* split_row = new wxBoxSizer(wxHORIZONTAL);
  curve_closed = new wxCheckBox(cb, ID_CURVE_CLOSED, L"closed");
  curve_closed->Disable();
  curve_object = new wxChoice(cb, ID_CURVE_OBJECT, wxDefaultPosition, dialog_units(45));
  const contour_object* obj = rt().RES_OBJECT->read();
  const long count = std::min<long>(rt().CURRENT_MAX_OBJECTS->read(), NUM_USER_OBJECTS);
  for (long i = 0; i < count; ++i) curve_object->Append(obj[i].name);
  curve_object->Disable();
  split_row->Add(curve_closed, 0, wxALL | wxALIGN_CENTER_VERTICAL, 2);
  split_row->Add(curve_object, 0, wxALL, 1);
  split_row->Add(new wxButton(cb, ID_CURVE_SPLIT, L"Split", wxDefaultPosition, dialog_units(24)), 0,
                 wxALL, 1);
  cbox->Add(split_row, 0);
  page->Add(cbox, 0, wxEXPAND | wxALL, 2);
  SetSizer(page);

  resource_table_t& t = rt();
  procs_.watch(procs_.make(this, &landmarks_page::update_landmark_list), {t.LANDMARK, t.FIDUCIAL});
  procs_.watch(procs_.make(this, &landmarks_page::update_curve_list), t.CURVE);
  for (const landmark_t& lm : lms()) landmark_list->Append(landmark_key(lm));
  fit_contents();
}

// ---- rows and grids -----------------------------------------------------------

std::vector<wxString> landmarks_page::selected_texts() const {
  std::vector<wxString> texts;
  for (unsigned i = 0; i < landmark_list->GetCount(); ++i)
    if (landmark_list->IsSelected(int(i))) texts.push_back(landmark_list->GetString(i));
  return texts;
}

void landmarks_page::show_rows() {
  for (int r = 0; r < landmark_rows::ROWS; ++r) {
    if (row_name[r]->GetValue() != rows.shown[size_t(r)]) row_name[r]->ChangeValue(rows.shown[size_t(r)]);
    row_name[r]->SetEditable(rows.used[size_t(r)]);
  }
}

void landmarks_page::set_cell(wxGrid* grid, int row, int col, const wxString& text) {
  grid->SetCellValue(row, col, text);
  grid->SetCellBackgroundColour(row, col,
                                text == kNoValue ? wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE)
                                                 : grid->GetDefaultCellBackgroundColour());
}

void landmarks_page::update_landmark_grid() {
  const landmark_grid g = landmark_grid_values(rows, lms());
  for (int c = 0; c < landmark_rows::ROWS; ++c)
    for (int r = 0; r < 4; ++r)
      if (g.position[size_t(c)][size_t(r)]) set_cell(position_grid, r, c, *g.position[size_t(c)][size_t(r)]);
  for (int c = 0; c < 3; ++c)
    if (g.distance[size_t(c)]) set_cell(distance_grid, 0, c, *g.distance[size_t(c)]);
  if (!g.locate_enabled) return;  // a row's landmark has gone: the rest stays
  if (selection_changed) selection_changed(rows.key, rows.used, *g.locate_enabled);
  for (wxGrid* grid : {position_grid, distance_grid}) {
    grid->AutoSize();
    grid->SetRowLabelSize(dialog_units(40).x);
  }
  fit_contents();
}

void landmarks_page::update_landmark_list() {
  landmark_list_filled = false;
  landmark_list->Clear();
  landmark_list_filled = true;
  for (const landmark_t& lm : lms()) landmark_list->Append(landmark_key(lm));
  for (const wxString& text : rows.rebuild(lms())) {
    const int i = landmark_list->FindString(text, true);
    if (i != wxNOT_FOUND) landmark_list->SetSelection(i);
  }
  show_rows();
  const bool any = lms().size() > 0;
  delete_all->Enable(any);
  export_button->Enable(any);
  update_landmark_grid();
}

void landmarks_page::OnLandmarksSelect(wxCommandEvent&) {
  std::vector<wxString> selected = selected_texts();
  const wxString deselect = rows.select(selected, landmark_list_filled);
  if (!deselect.empty()) {
    const int i = landmark_list->FindString(deselect, true);
    if (i != wxNOT_FOUND) landmark_list->Deselect(i);
  }
  show_rows();
  update_landmark_grid();
}

void landmarks_page::OnLandmarksName(wxCommandEvent& event) {
  const int r = event.GetId() - ID_LANDMARKS_NAME_1;
  if (r < 0 || r >= landmark_rows::ROWS) return;
  bool fiducial = false;
  const rename_result result = rename_landmark(lms(), rows, r, row_name[r]->GetValue(), fiducial);
  if (result == rename_result::refused) row_name[r]->ChangeValue(rows.shown[size_t(r)]);
  if (result != rename_result::renamed) return;
  (fiducial ? rt().FIDUCIAL : rt().LANDMARK)->write();
}

void landmarks_page::OnLandmarksDelete(wxCommandEvent& event) {
  const int r = event.GetId() - ID_LANDMARKS_DELETE_1;
  if (r < 0 || r >= landmark_rows::ROWS || !rows.used[size_t(r)]) return;
  size_t pos = 0;
  if (!lms().find_by_name(rows.key[size_t(r)], pos)) return;
  const bool fiducial = lms()[pos].kind == LM_FIDUCIAL;
  lms().items.erase(lms().items.begin() + long(pos));
  (fiducial ? rt().FIDUCIAL : rt().LANDMARK)->write();
}

void landmarks_page::OnLandmarksFind(wxCommandEvent& event) {
  const int r = event.GetId() - ID_LANDMARKS_FIND_1;
  if (r < 0 || r >= landmark_rows::ROWS || !rows.used[size_t(r)]) return;
  size_t pos = 0;
  if (!lms().find_by_name(rows.key[size_t(r)], pos)) return;
  const landmark_t& lm = lms()[pos];
  resource_table_t& t = rt();
  if (lm.kind == LM_2D) {
    const long frame = landmark_frame(lm.z);
    if (frame < 0 || frame >= t.RES_BUF_FRAMES->read()) return;
    t.FINDING_LOCATION->write_no_changeprocs();
    t.FIND_LOCATION_X->write_no_changeprocs(long(lm.x / t.RES_XSCALE->read()));
    t.FIND_LOCATION_Y->write_no_changeprocs(long(lm.y / t.RES_YSCALE->read()));
    t.RES_BUF_CURRENT_FRAME->write(frame);
    return;
  }
  const double point[3] = {lm.x, lm.y, lm.z};
  if (find_location) find_location(point);
}

void landmarks_page::OnLandmarksExport(wxCommandEvent&) {
  wxString path;
  int filter = 0;
  if (!dialogs_->choose_export_file(this, path, filter)) return;
  if (!wxFileName(path).GetFullName().Contains(".")) path += filter == 1 ? ".txt" : ".csv";
  if (wxFileName::FileExists(path) &&
      !dialogs_->ask_ok_cancel(L"Append landmarks",
                               L" This file already exists - landmarks will be appended.\n Select OK "
                               L"to proceed and append data."))
    return;
  resource_table_t& t = rt();
  const std::vector<wxString> lines =
      landmark_export_lines(lms(), t.RES_OBJECT->read(), NUM_USER_OBJECTS,
                            t.RES_ASCII_FILENAME->read().GetFullPath());
  wxString error;
  if (!append_landmark_export(path, lines, error)) wxLogError("%s", error);
}

void landmarks_page::OnLandmarksDeleteAll(wxCommandEvent&) {
  if (!rt().RES_EXPERT_MODE->read() &&
      !dialogs_->ask_yes_no(L"Delete landmarks", L"Delete all landmarks in this data set?"))
    return;
  lms().remove_data_landmarks();
  lms().remove_fiducials();
  rt().LANDMARK->write_no_changeprocs();
  rt().FIDUCIAL->write();
}

void landmarks_page::OnLandmarksSnap(wxCommandEvent& event) {
  rt().RES_SNAP_LANDMARKS->write(event.IsChecked());
}

// ---- curves -----------------------------------------------------------------------

void landmarks_page::show_curve(int index) {
  const curve_t& c = curves()[size_t(index)];
  curve_closed->SetValue(c.closed);
  curve_closed->Enable();
  curve_object->SetSelection(c.object >= 0 && unsigned(c.object) < curve_object->GetCount() ? c.object
                                                                                             : wxNOT_FOUND);
  curve_object->Enable();
  curve_name->ChangeValue(c.name);
  curve_name->SetEditable(true);
}

void landmarks_page::show_no_curve() {
  curve_selection_key.clear();
  curve_name->ChangeValue(wxEmptyString);
  curve_name->SetEditable(false);
  curve_closed->Disable();
  curve_object->SetSelection(wxNOT_FOUND);
  curve_object->Disable();
}

void landmarks_page::update_curve_list() {
  const curve_list_state s = rebuild_curve_list(curves(), curve_list->GetCount(), curve_selection_key);
  curve_list->Clear();
  for (const wxString& item : s.items) curve_list->Append(item);
  if (!s.select.empty()) curve_list->SetStringSelection(s.select);
  if (s.keep_controls) return;
  if (s.show >= 0)
    show_curve(s.show);
  else
    show_no_curve();
}

void landmarks_page::OnCurveSelect(wxCommandEvent&) {
  const wxString item = curve_list->GetStringSelection();
  if (item == curve_selection_key) return;
  const int k = curve_of_item(curves(), item);
  if (k < 0) {
    show_no_curve();
    return;
  }
  curve_selection_key = item;
  show_curve(k);
}

void landmarks_page::OnCurveName(wxCommandEvent&) {
  if (find_curve(curves(), curve_selection_key) < 0) return;
  if (!rename_curve(curves(), curve_selection_key, curve_object->GetSelection(), curve_name->GetValue())) {
    curve_name->ChangeValue(curve_selection_key.AfterFirst(':'));
    return;
  }
  rt().CURVE->write();
}

void landmarks_page::remap_curves(int object) {
  if (surface_interp* s = surface_of(object)) s->map_curves_to_surface(false);
}

void landmarks_page::OnCurveDelete(wxCommandEvent&) {
  const int k = find_curve(curves(), curve_selection_key);
  if (k < 0) return;
  const int object = curves()[size_t(k)].object;
  curves().curves.erase(curves().curves.begin() + k);
  remap_curves(object);
  rt().CURVE->write();
}

void landmarks_page::OnCurveFind(wxCommandEvent&) {
  const int k = find_curve(curves(), curve_selection_key);
  if (k < 0 || curves()[size_t(k)].points.empty()) return;
  const curve_point& p = curves()[size_t(k)].points.front();
  const double point[3] = {p.x, p.y, p.z};
  if (find_location) find_location(point);
}

void landmarks_page::OnCurveSplit(wxCommandEvent&) {
  int k = -1;
  for (size_t i = 0; i < curves().size() && k < 0; ++i)
    if (curve_key(curves()[i]) == curve_selection_key && surface_of(curves()[i].object))
      k = static_cast<int>(i);
  if (k < 0) return;
  const int object = curves()[size_t(k)].object;
  surface_interp* s = surface_of(object);
  if (!s->split_along_curve(curves()[size_t(k)])) {
    wxLogError(
        "Surface splitting was not successful.\n\nThe curve must be closed in order to split the "
        "surface.\nAlternatively, try defining more points between any two marked red,\nor reducing the "
        "convexity at any single point marked red.");
    return;
  }
  // The same surface written again: everything that shows it is redrawn.
  rt().RES_SURFACE[object]->write(s);
}

void landmarks_page::OnCurveClosed(wxCommandEvent& event) {
  const int k = find_curve(curves(), curve_selection_key, true);
  if (k < 0) return;
  curve_t& c = curves()[size_t(k)];
  c.closed = event.IsChecked();
  remap_curves(c.object);
  rt().CURVE->write();
}

void landmarks_page::OnCurveObject(wxCommandEvent&) {
  int old_object = -1;
  const long n = curve_object->GetSelection();
  switch (move_curve(curves(), curve_selection_key, n, rt().CURRENT_MAX_OBJECTS->read(), old_object)) {
    case curve_move::nothing:
      return;
    case curve_move::refused: {
      const int k = find_curve(curves(), curve_selection_key, true);
      if (k >= 0) curve_object->SetSelection(curves()[size_t(k)].object);
      return;
    }
    case curve_move::moved:
      remap_curves(old_object);
      remap_curves(int(n));
      rt().CURVE->write();
      return;
  }
}
