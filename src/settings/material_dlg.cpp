#include "settings/material_dlg.h"

#include <cmath>

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/filename.h>
#include <wx/clrpicker.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include "data/file_menu_ui.h"
#include "registry/resource_table.h"
#include "settings/material_files.h"
#include "settings/settings_ids.h"
#include "views/globcmap.h"

namespace {

resource_table_t& rt() { return *resource_table; }

wxColour colour_of(const wxString& text) {
  wxColour c;
  if (!c.Set(text)) c.Set(128, 128, 128);
  return c;
}

}  // namespace

material_dlg::material_dlg(wxWindow* parent, settings_host& host)
    : settings_dialog(parent, host, L"Material type:", false, wxVERTICAL) {
  resource_table_t& t = rt();
  base_functor* proc = procs_.make(this, &material_dlg::update);
  wxSizer* top = GetSizer();

  auto* first = new wxBoxSizer(wxHORIZONTAL);
  choice = new wxChoice(this, ID_MATERIAL_CHOICE, wxDefaultPosition, dialog_units(99));
  choice->Append(L" ");
  for (const wxString& name : material_names(t.RES_EXEC_DIR->read(), t.RES_CONFIG_DIR->read())) choice->Append(name);
  choice->SetSelection(0);
  first->Add(choice, 0, 0, 0);
  save = new wxButton(this, ID_MATERIAL_SAVE, L"Save", wxDefaultPosition, dialog_units(40));
  first->Add(save, 0, wxLEFT, 10);
  top->Add(first, 0, wxALL, 10);

  auto* second = new wxBoxSizer(wxHORIZONTAL);
  auto* left = new wxBoxSizer(wxVERTICAL);
  const int side = dialog_units(-1, 36).y;
  preview = new wxStaticBitmap(this, wxID_ANY, wxBitmap(side, side), wxDefaultPosition, wxSize(side, side));
  left->Add(preview, 0, wxALIGN_CENTER, 0);
  colour = new wxColourPickerCtrl(this, ID_MATERIAL_COLOUR, colour_of(t.RES_MATERIAL_COLOUR->read()),
                                  wxDefaultPosition, dialog_units(40), 0);
  left->Add(colour, 0, wxALIGN_CENTER | wxLEFT | wxRIGHT, 10);
  second->Add(left, 0, 0, 0);
  auto* grid = new wxFlexGridSizer(2);
  auto pair = [&](const wchar_t* label, wxSlider* s) {
    add(grid, new wxStaticText(this, wxID_ANY, label), wxALIGN_CENTER_VERTICAL);
    add(grid, s);
    return s;
  };
  roughness = pair(L"Roughness:", slider(ID_MATERIAL_ROUGHNESS, t.RES_MATERIAL_ROUGHNESS->read()));
  metallic = pair(L"Metallic:", slider(ID_MATERIAL_METALLIC, t.RES_MATERIAL_METALLIC->read()));
  anisotropy = pair(L"Anisotropy:", slider(ID_MATERIAL_ANISOTROPY, t.RES_MATERIAL_ANISOTROPY->read()));
  second->Add(grid, 0, wxALL, 5);
  top->Add(second, 0, 0, 0);

  auto* third = new wxBoxSizer(wxHORIZONTAL);
  third->Add(new wxButton(this, wxID_OK, L"OK", wxDefaultPosition, dialog_units(40)), 0, wxLEFT | wxBOTTOM, 10);
  third->Add(new wxButton(this, wxID_CANCEL, L"Cancel", wxDefaultPosition, dialog_units(40)), 0,
             wxLEFT | wxRIGHT | wxBOTTOM, 10);
  top->Add(third, 0, wxALIGN_RIGHT, 0);

  procs_.watch(proc, {t.RES_MATERIAL_COLOUR, t.RES_MATERIAL_ROUGHNESS, t.RES_MATERIAL_METALLIC,
                      t.RES_MATERIAL_ANISOTROPY});
  top->Fit(this);
  render_preview();
}

wxSlider* material_dlg::slider(int id, double value) {
  auto* s = new wxSlider(this, id, slider_position(value, 255), 0, 255, wxDefaultPosition, dialog_units(50),
                         wxSL_HORIZONTAL);
  s->SetPageSize(16);
  return s;
}

void material_dlg::render_preview() {
  resource_table_t& t = rt();
  const double scale = GetDPIScaleFactor() > 0 ? GetDPIScaleFactor() : 1.0;
  const wxSize px = preview->GetSize();
  const wxSize size(static_cast<int>(px.x / scale + 0.5), static_cast<int>(px.y / scale + 0.5));
  wxBitmap sphere;
  globcmap_t::material_sphere_bitmap(sphere, size, colour_of(t.RES_MATERIAL_COLOUR->read()),
                                     t.RES_MATERIAL_METALLIC->read(), t.RES_MATERIAL_ROUGHNESS->read(),
                                     t.RES_MATERIAL_ANISOTROPY->read());
  if (sphere.IsOk()) preview->SetBitmap(sphere);
}

bool material_dlg::edit(material_values& material) {
  resource_table_t& t = rt();
  t.RES_MATERIAL_COLOUR->write_no_changeprocs(material.colour.GetAsString(wxC2S_HTML_SYNTAX));
  t.RES_MATERIAL_ROUGHNESS->write_no_changeprocs(material.roughness);
  t.RES_MATERIAL_METALLIC->write_no_changeprocs(material.metallic);
  t.RES_MATERIAL_ANISOTROPY->write_no_changeprocs(material.anisotropy);
  base_res_t::make_pending_writes_happen();
  if (ShowModal() != wxID_OK) return false;
  material.colour = colour_of(t.RES_MATERIAL_COLOUR->read());
  material.roughness = t.RES_MATERIAL_ROUGHNESS->read();
  material.metallic = t.RES_MATERIAL_METALLIC->read();
  material.anisotropy = t.RES_MATERIAL_ANISOTROPY->read();
  return true;
}

// --- handlers

void material_dlg::OnMaterialChoice(wxCommandEvent& event) {
  const int s = event.GetInt();
  if (s <= 0 || s >= static_cast<int>(choice->GetCount())) return;
  resource_table_t& t = rt();
  if (!load_material(choice->GetString(s), t.RES_EXEC_DIR->read(), t.RES_CONFIG_DIR->read())) return;
  material_loaded = true;
  base_res_t::make_pending_writes_happen();
}

void material_dlg::OnMaterialSave(wxCommandEvent&) {
  resource_table_t& t = rt();
  const wxString config_dir = t.RES_CONFIG_DIR->read();
  file_dialog_request request;
  request.message = L"Save material as";
  request.folder = materials_folder(config_dir);
  request.wildcard = L"Config file|*.ini";
  request.save = true;
  file_dialog_result chosen;
  if (!current_file_menu_ui().choose_file(request, chosen)) return;
  const wxString path = material_save_path(chosen.path, t.RES_EXEC_DIR->read(), config_dir);
  if (path.empty()) return;
  const bool existed = wxFileExists(path);
  if (!save_material(path)) return;
  const wxString name = wxFileName(path).GetName();
  if (!existed) choice->Append(name);
  for (unsigned k = 0; k < choice->GetCount(); ++k)
    if (choice->GetString(k).IsSameAs(name, false)) {
      choice->SetSelection(static_cast<int>(k));
      break;
    }
}

void material_dlg::OnMaterialColour(wxColourPickerEvent& event) {
  rt().RES_MATERIAL_COLOUR->write(event.GetColour().GetAsString(wxC2S_HTML_SYNTAX));
}

void material_dlg::OnMaterialMetallic(wxScrollEvent& event) {
  rt().RES_MATERIAL_METALLIC->write(event.GetPosition() / 255.0);
}

void material_dlg::OnMaterialAnisotropy(wxScrollEvent& event) {
  rt().RES_MATERIAL_ANISOTROPY->write(event.GetPosition() / 255.0);
}

void material_dlg::OnMaterialRoughness(wxScrollEvent& event) {
  rt().RES_MATERIAL_ROUGHNESS->write(event.GetPosition() / 255.0);
}

// --- refresh; setting a control sends no event, so no handler runs

void material_dlg::update() {
  resource_table_t& t = rt();
  if (t.RES_MATERIAL_COLOUR->changed_in_flush()) {
    wxColour c;
    if (c.Set(t.RES_MATERIAL_COLOUR->read())) colour->SetColour(c);
  }
  if (t.RES_MATERIAL_METALLIC->changed_in_flush())
    metallic->SetValue(slider_position(t.RES_MATERIAL_METALLIC->read(), 255));
  if (t.RES_MATERIAL_ANISOTROPY->changed_in_flush())
    anisotropy->SetValue(slider_position(t.RES_MATERIAL_ANISOTROPY->read(), 255));
  if (t.RES_MATERIAL_ROUGHNESS->changed_in_flush())
    roughness->SetValue(slider_position(t.RES_MATERIAL_ROUGHNESS->read(), 255));
  if (!material_loaded) choice->SetSelection(0);
  material_loaded = false;
  render_preview();
}
