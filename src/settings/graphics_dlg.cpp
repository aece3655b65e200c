#include "settings/graphics_dlg.h"

#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/clrpicker.h>
#include <wx/log.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include "registry/resource_table.h"
#include "settings/settings_ids.h"
#include "views/glfont.h"
#include "views/shader.h"

namespace {

resource_table_t& rt() { return *resource_table; }

// The names of the 3D view's user shaders when there is no view to ask.
const wchar_t* const kShaderNames[shader::kUserShaders] = {L"Diffuse Gouraud", L"Standard Phong",
                                                            L"Cook Torrance", L"Clear Phong"};

const wchar_t* const kIconSizes[] = {L"auto", L"small", L"medium", L"large"};

void set_colour(wxColourPickerCtrl* picker, const wxString& text) {
  wxColour c;
  if (c.Set(text)) picker->SetColour(c);
}

// A slider that drives volume rendering: a tracked change renders coarsely
// and marks the drag; the first event of that slider that brings no new
// value ends the drag with one full-quality redraw.
template <class Res, class V>
void dragging_write(Res* res, V value, const wxScrollEvent& event, bool& drag) {
  resource_table_t& t = rt();
  if (value != res->read()) {
    if (event.GetEventType() == wxEVT_SCROLL_THUMBTRACK) {
      t.RES_DYNAMIC_VOLUME->write_no_changeprocs(true);
      drag = true;
    }
    res->write_no_changeprocs(value);
    base_res_t::make_pending_writes_happen();
  } else if (drag) {
    t.RES_DYNAMIC_VOLUME->write_no_changeprocs(false);
    t.RES_REDISPLAY_VOLUME->write_no_changeprocs();
    base_res_t::make_pending_writes_happen();
    drag = false;
  }
}

}  // namespace

graphics_dlg::graphics_dlg(wxWindow* parent, settings_host& host)
    : settings_dialog(parent, host, L"Graphics and display:", false, wxHORIZONTAL) {
  base_functor* proc = procs_.make(this, &graphics_dlg::update);
  build_general(GetSizer(), proc);
  build_lighting(GetSizer(), proc);
  GetSizer()->Fit(this);
}

wxSlider* graphics_dlg::slider(wxSizer* line, int id, int value, int high, int width, int page, bool labels) {
  long style = wxSL_HORIZONTAL;
  if (labels) style |= wxSL_LABELS | wxSL_MIN_MAX_LABELS | wxSL_VALUE_LABEL;
  auto* s = new wxSlider(this, id, value, 0, high, wxDefaultPosition, dialog_units(width), style);
  s->SetPageSize(page);
  add(line, s);
  return s;
}

void graphics_dlg::build_general(wxSizer* top, base_functor* proc) {
  resource_table_t& t = rt();
  auto* box = new wxStaticBoxSizer(wxVERTICAL, this, L"General settings");
  top->Add(box, 0, wxALL, 5);
  auto label = [this](wxSizer* line, const wchar_t* text) {
    add(line, new wxStaticText(this, wxID_ANY, text), wxALIGN_CENTER_VERTICAL);
  };

  translucent = slider(row(box, L"Translucent layers:"), ID_TRANSLUCENT_LAYERS,
                       t.RES_TRANSLUCENT_LAYERS->read(proc), 20, 59, 1, true);
  wxSizer* line = row(box, L"Focus range:  large");
  focus_range = slider(line, ID_FOCUS_RANGE, slider_position(t.RES_FOCUS_RANGE->read(proc), 100), 100, 38, 10, false);
  label(line, L"small");
  line = row(box, L"Focus depth:  near");
  focus_depth = slider(line, ID_FOCUS_DEPTH, slider_position(t.RES_FOCUS_DEPTH->read(proc), 100), 100, 48, 10, false);
  label(line, L"far");

  line = row(box, L"Background:");
  background = new wxColourPickerCtrl(this, ID_BACKGROUND, *wxBLACK, wxDefaultPosition, dialog_units(40), 0);
  set_colour(background, t.RES_BACKGROUND->read(proc));
  add(line, background);
  uniform = new wxCheckBox(this, ID_BACKGROUND_CONST, L"uniform");
  uniform->SetValue(t.RES_BACKGROUND_CONST->read(proc));
  add(line, uniform, wxALIGN_CENTER_VERTICAL);

  shader_choice = new wxChoice(this, ID_SHADER, wxDefaultPosition, dialog_units(64));
  shader_choice->Append(L"None");
  const shader* set = host_.outline_shaders();
  for (int k = 0; k < shader::kUserShaders; ++k)
    shader_choice->Append(set ? set->user_shader_name[k] : wxString(kShaderNames[k]));
  const int32_t s = t.RES_SHADER->read(proc);
  if (s >= -1 && s <= 3) shader_choice->SetSelection(s + 1);
  add(row(box, L"Graphics shader:"), shader_choice);

  // Font and icon size are read without registering: they are not refreshed.
  font = new wxChoice(this, ID_GRAPHICS_FONT, wxDefaultPosition, dialog_units(72));
  for (int k = 0; k < kGlfontCount; ++k) font->Append(wxString::FromUTF8(glfont_table[k].name));
  const int32_t f = t.RES_GLUT_FONT->read();
  if (f >= 0 && f < kGlfontCount) font->SetSelection(f);
  add(row(box, L"Graphics font:"), font);

  icon_size = new wxChoice(this, ID_ICON_SIZE, wxDefaultPosition, dialog_units(40));
  for (const wchar_t* name : kIconSizes) icon_size->Append(name);
  const int32_t icons = t.RES_ICON_SIZE->read();
  if (icons >= -1 && icons <= 2) icon_size->SetSelection(icons + 1);
  add(row(box, L"Toolbar icon size:"), icon_size);
}

void graphics_dlg::build_lighting(wxSizer* top, base_functor* proc) {
  resource_table_t& t = rt();
  auto* box = new wxStaticBoxSizer(wxVERTICAL, this, L"Lighting");
  top->Add(box, 0, wxALL, 5);
  auto label = [this](wxSizer* line, const wchar_t* text) {
    add(line, new wxStaticText(this, wxID_ANY, text), wxALIGN_CENTER_VERTICAL);
  };

  ambient = slider(row(box, L"Ambient: "), ID_LIGHTING_AMBIENT,
                   slider_position(t.RES_LIGHTING_AMBIENT->read(proc), 100), 100, 74, 10, true);
  occlusion = slider(row(box, L"Occlusion:"), ID_OCCLUSION_RANGE, t.RES_OCCLUSION_RANGE->read(proc), 20, 72, 1, true);
  wxSizer* line = row(box, L"Balance:  front");
  balance = slider(line, ID_LIGHTING_FRONT_SIDE, slider_position(t.RES_LIGHTING_FRONT_SIDE->read(proc), 100), 100,
                   44, 10, false);
  label(line, L"side");
  line = row(box, L"Rotation:  left");
  rotation = slider(line, ID_LIGHTING_LEFT_RIGHT, slider_position(t.RES_LIGHTING_LEFT_RIGHT->read(proc), 100, 100),
                    200, 44, 10, false);
  label(line, L"right");
  line = row(box, L"Position:   up");
  position = slider(line, ID_LIGHTING_UP_DOWN, slider_position(t.RES_LIGHTING_UP_DOWN->read(proc), 50, 50), 100,
                    44, 10, false);
  label(line, L"down");
  base_functor* bright = procs_.make(this, &graphics_dlg::update_brightness);
  brightness = slider(row(box, L"Brightness:"), ID_BRIGHTNESS, t.RES_VOLUME_BRIGHTNESS->read(bright), 100, 70, 10, true);
  procs_.watch(bright, t.RES_VOLUME_BRIGHTNESS);
  radiant = new wxCheckBox(this, ID_RADIANT_SHADOWS, L" Radiant shadowing");
  radiant->SetValue(t.RES_RADIANT_SHADOWS->read(proc));
  add(box, radiant);

  procs_.watch(proc, {t.RES_TRANSLUCENT_LAYERS, t.RES_FOCUS_RANGE, t.RES_FOCUS_DEPTH, t.RES_BACKGROUND,
                      t.RES_BACKGROUND_CONST, t.RES_SHADER, t.RES_LIGHTING_AMBIENT, t.RES_OCCLUSION_RANGE,
                      t.RES_LIGHTING_FRONT_SIDE, t.RES_LIGHTING_LEFT_RIGHT, t.RES_LIGHTING_UP_DOWN,
                      t.RES_RADIANT_SHADOWS});
}

bool graphics_dlg::refuse(const wchar_t* feature) {
  const shader* set = host_.outline_shaders();
  if (set && set->installed_mask != 0) return false;
  wxLogWarning(L"%s not currently available.\nThis feature requires at least OpenGL version 3.0.", feature);
  return true;
}

// --- handlers

void graphics_dlg::OnTranslucentLayers(wxScrollEvent& event) {
  if (event.GetPosition() > 0 && refuse(L"Correct translucency")) return;
  rt().RES_TRANSLUCENT_LAYERS->write(event.GetPosition());
}

void graphics_dlg::OnFocusRange(wxScrollEvent& event) {
  dragging_write(rt().RES_FOCUS_RANGE, event.GetPosition() / 100.0, event, drag_.focus_range);
}

void graphics_dlg::OnFocusDepth(wxScrollEvent& event) {
  dragging_write(rt().RES_FOCUS_DEPTH, event.GetPosition() / 100.0, event, drag_.focus_depth);
}

void graphics_dlg::OnBackground(wxColourPickerEvent& event) {
  rt().RES_BACKGROUND->write(event.GetColour().GetAsString(wxC2S_HTML_SYNTAX));
}

void graphics_dlg::OnBackgroundConst(wxCommandEvent& event) {
  const bool uniform_background = event.GetInt() != 0;
  if (!uniform_background && refuse(L"Varying background")) return;
  rt().RES_BACKGROUND_CONST->write(uniform_background);
}

void graphics_dlg::OnShader(wxCommandEvent& event) {
  if (event.GetInt() > 0 && refuse(L"Shaders")) return;
  rt().RES_SHADER->write(event.GetInt() - 1);
}

void graphics_dlg::OnGraphicsFont(wxCommandEvent& event) { rt().RES_GLUT_FONT->write(event.GetInt()); }

void graphics_dlg::OnIconSize(wxCommandEvent& event) {
  rt().RES_ICON_SIZE->write(event.GetInt() - 1);
  host_.set_toolbar_icon_size(rt().RES_ICON_SIZE->read());
}

void graphics_dlg::OnLightingAmbient(wxScrollEvent& event) {
  dragging_write(rt().RES_LIGHTING_AMBIENT, event.GetPosition() / 100.0, event, drag_.ambient);
}

void graphics_dlg::OnOcclusionRange(wxScrollEvent& event) {
  if (event.GetPosition() > 0 && refuse(L"Ambient occlusion")) return;
  dragging_write(rt().RES_OCCLUSION_RANGE, static_cast<int32_t>(event.GetPosition()), event, drag_.occlusion);
}

void graphics_dlg::OnLightingFrontSide(wxScrollEvent& event) {
  dragging_write(rt().RES_LIGHTING_FRONT_SIDE, event.GetPosition() / 100.0, event, drag_.balance);
}

void graphics_dlg::OnLightingLeftRight(wxScrollEvent& event) {
  dragging_write(rt().RES_LIGHTING_LEFT_RIGHT, event.GetPosition() / 100.0 - 1.0, event, drag_.rotation);
}

void graphics_dlg::OnLightingUpDown(wxScrollEvent& event) {
  dragging_write(rt().RES_LIGHTING_UP_DOWN, event.GetPosition() / 50.0 - 1.0, event, drag_.position);
}

void graphics_dlg::OnBrightness(wxScrollEvent& event) {
  dragging_write(rt().RES_VOLUME_BRIGHTNESS, static_cast<int32_t>(event.GetPosition()), event, drag_.brightness);
}

void graphics_dlg::OnRadiantShadows(wxCommandEvent& event) {
  const bool on = event.GetInt() != 0;
  if (on && refuse(L"Radiant shadows")) return;
  rt().RES_RADIANT_SHADOWS->write(on);
}

// --- refresh; setting a control sends no event, so no handler runs

void graphics_dlg::update() {
  resource_table_t& t = rt();
  auto changed = [](base_res_t* r) { return r->changed_in_flush(); };
  if (changed(t.RES_SHADER)) {
    const int32_t s = t.RES_SHADER->read();
    if (s >= -1 && s <= 3) shader_choice->SetSelection(s + 1);
  }
  if (changed(t.RES_BACKGROUND)) set_colour(background, t.RES_BACKGROUND->read());
  if (changed(t.RES_BACKGROUND_CONST)) uniform->SetValue(t.RES_BACKGROUND_CONST->read());
  if (changed(t.RES_LIGHTING_AMBIENT)) ambient->SetValue(slider_position(t.RES_LIGHTING_AMBIENT->read(), 100));
  if (changed(t.RES_LIGHTING_FRONT_SIDE))
    balance->SetValue(slider_position(t.RES_LIGHTING_FRONT_SIDE->read(), 100));
  if (changed(t.RES_LIGHTING_LEFT_RIGHT))
    rotation->SetValue(slider_position(t.RES_LIGHTING_LEFT_RIGHT->read(), 100, 100));
  if (changed(t.RES_LIGHTING_UP_DOWN)) position->SetValue(slider_position(t.RES_LIGHTING_UP_DOWN->read(), 50, 50));
  if (changed(t.RES_OCCLUSION_RANGE)) occlusion->SetValue(t.RES_OCCLUSION_RANGE->read());
  if (changed(t.RES_TRANSLUCENT_LAYERS)) translucent->SetValue(t.RES_TRANSLUCENT_LAYERS->read());
  if (changed(t.RES_RADIANT_SHADOWS)) radiant->SetValue(t.RES_RADIANT_SHADOWS->read());
  if (changed(t.RES_FOCUS_RANGE)) focus_range->SetValue(slider_position(t.RES_FOCUS_RANGE->read(), 100));
  if (changed(t.RES_FOCUS_DEPTH)) focus_depth->SetValue(slider_position(t.RES_FOCUS_DEPTH->read(), 100));
}

void graphics_dlg::update_brightness() {
  if (rt().RES_VOLUME_BRIGHTNESS->changed_in_flush()) brightness->SetValue(rt().RES_VOLUME_BRIGHTNESS->read());
}
