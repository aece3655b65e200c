#include "settings/mouse_dlg.h"

#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/sizer.h>
#include <wx/slider.h>

#include "registry/resource_table.h"
#include "settings/settings_ids.h"

namespace {

// A row's index is the value stored: 0 none, else the tool number plus one.
const wchar_t* const kToolRows[] = {L"none", L"drag", L"select", L"mark", L"draw", L"measure", L"erase", L"zoom"};

resource_table_t& rt() { return *resource_table; }

}  // namespace

mouse_dlg::mouse_dlg(wxWindow* parent, settings_host& host)
    : settings_dialog(parent, host, L"Mouse and key presses:", false, wxVERTICAL) {
  resource_table_t& t = rt();
  wxSizer* top = GetSizer();
  middle = tool_choice(row(top, L"Middle button tool override:"), ID_MOUSE_MIDDLE_OVERRIDE,
                       t.RES_MOUSE_MIDDLE_OVERRIDE->read());
  right = tool_choice(row(top, L"Right button tool override:"), ID_MOUSE_RIGHT_OVERRIDE,
                      t.RES_MOUSE_RIGHT_OVERRIDE->read());
  sensitivity = slider(row(top, L"Mouse selection range:"), ID_MOUSE_SENSITIVITY,
                       t.RES_MOUSE_SENSITIVITY->read(), 1, 50);
  rotation = slider(row(top, L"Cursor rotation (deg):"), ID_CURSOR_ROTATION, t.RES_CURSOR_ROTATION->read(), 1, 90);
  movement = slider(row(top, L"Cursor move (pixels):"), ID_CURSOR_MOVEMENT, t.RES_CURSOR_MOVEMENT->read(), 1, 100);
  zoom = slider(row(top, L"Scroll zoom (centile):"), ID_SCROLL_ZOOM, t.RES_SCROLL_ZOOM->read(), 1, 100);
  scrollbars = check(ID_USE_SCROLLBARS, L" Use scrollbars when zooming", t.RES_USE_SCROLLBARS->read());
  expert = check(ID_EXPERT_MODE, L" Expert mode", t.RES_EXPERT_MODE->read());
  top->Fit(this);
}

wxChoice* mouse_dlg::tool_choice(wxSizer* line, int id, int32_t value) {
  auto* choice = new wxChoice(this, id, wxDefaultPosition, dialog_units(40));
  for (const wchar_t* name : kToolRows) choice->Append(name);
  if (value >= 0 && value < static_cast<int32_t>(choice->GetCount())) choice->SetSelection(value);
  add(line, choice);
  return choice;
}

wxSlider* mouse_dlg::slider(wxSizer* line, int id, int32_t value, int low, int high) {
  auto* s = new wxSlider(this, id, value, low, high, wxDefaultPosition, dialog_units(60),
                         wxSL_HORIZONTAL | wxSL_LABELS | wxSL_MIN_MAX_LABELS | wxSL_VALUE_LABEL);
  s->SetPageSize(1);
  add(line, s);
  return s;
}

wxCheckBox* mouse_dlg::check(int id, const wxString& label, bool value) {
  auto* box = new wxCheckBox(this, id, label);
  box->SetValue(value);
  add(GetSizer(), box);
  return box;
}

void mouse_dlg::OnMouseMiddleOverride(wxCommandEvent& event) { rt().RES_MOUSE_MIDDLE_OVERRIDE->write(event.GetInt()); }
void mouse_dlg::OnMouseRightOverride(wxCommandEvent& event) { rt().RES_MOUSE_RIGHT_OVERRIDE->write(event.GetInt()); }
void mouse_dlg::OnMouseSensitivity(wxScrollEvent& event) { rt().RES_MOUSE_SENSITIVITY->write(event.GetPosition()); }
void mouse_dlg::OnCursorRotation(wxScrollEvent& event) { rt().RES_CURSOR_ROTATION->write(event.GetPosition()); }
void mouse_dlg::OnCursorMovement(wxScrollEvent& event) { rt().RES_CURSOR_MOVEMENT->write(event.GetPosition()); }
void mouse_dlg::OnScrollZoom(wxScrollEvent& event) { rt().RES_SCROLL_ZOOM->write(event.GetPosition()); }
void mouse_dlg::OnUseScrollbars(wxCommandEvent& event) { rt().RES_USE_SCROLLBARS->write(event.GetInt() != 0); }
void mouse_dlg::OnExpertMode(wxCommandEvent& event) { rt().RES_EXPERT_MODE->write(event.GetInt() != 0); }
