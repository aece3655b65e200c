// Construction of the Draw page: its four groups of controls and the object
// rows.
#include <algorithm>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/notebook.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "registry/resource_table.h"
#include "tasks/draw_page.h"
#include "tasks/draw_page_rules.h"
#include "tasks/task_ids.h"
#include "views/globcmap.h"

namespace {

constexpr long kLabelledSlider = wxSL_HORIZONTAL | wxSL_LABELS;

wxButton* button(wxWindow* parent, wxSizer* row, int id, const wchar_t* label, wxSize size) {
  auto* b = new wxButton(parent, id, label, wxDefaultPosition, size);
  row->Add(b, 0, wxALL, 1);
  return b;
}

wxStaticText* text(wxWindow* parent, wxSizer* sizer, const wchar_t* label, int id = wxID_ANY) {
  auto* t = new wxStaticText(parent, id, label);
  sizer->Add(t, 0, wxALL | wxALIGN_CENTER_VERTICAL, 2);
  return t;
}

int32_t value_of(long_res_t* res) { return static_cast<int32_t>(res->read()); }

}  // namespace

draw_page::draw_page(wxNotebook* notebook, task_page_host& host)
    : task_page(notebook, L"Draw", host) {
  resource_table_t& t = *resource_table;
  page_sizer_ = new wxBoxSizer(wxVERTICAL);
  build_all_objects_group(page_sizer_);
  build_current_object_group(page_sizer_);
  build_surface_group(page_sizer_);
  build_contour_group(page_sizer_);

  auto* props = new wxStaticBoxSizer(wxVERTICAL, this, L"Object properties");
  apply_to_all = new wxCheckBox(props->GetStaticBox(), ID_APPLY_TO_ALL_OBJECTS,
                                L"Apply changes to all objects");
  props->Add(apply_to_all, 0, wxALL, 2);
  rows_sizer_ = new wxBoxSizer(wxVERTICAL);
  props->Add(rows_sizer_, 0, wxEXPAND);
  page_sizer_->Add(props, 0, wxEXPAND | wxALL, 2);

  base_functor* refresh = procs_.make(this, &draw_page::update);
  procs_.watch(refresh, {t.RES_BUF_CURRENT_FRAME, t.CURRENT_OBJECT, t.RES_SURFACE_RESOLUTION,
                         t.RES_SURFACE_SMOOTHING, t.RES_SURFACE_CONNECT_OBJECTS,
                         t.RES_SURFACE_CONNECT_HOLES, t.RES_SURFACE_COVER,
                         t.RES_SURFACE_COMPOUND_THICK, t.RES_SURFACE_COMPOUND_TYPE,
                         t.RES_CMAP_BINARY, t.RES_CMAP_LABELS, t.RES_CMAP_GREY_LO,
                         t.RES_CMAP_GREY_HI, t.RES_CMAP_GREY_ANTI, t.RES_BUF_DOPPLER,
                         t.RES_SEGMENT_TYPE, t.RES_SEGMENT_FRAME, t.RES_SEGMENT_RANGE,
                         t.RES_SEGMENT_CONNECTED, t.RES_SEGMENT_RIDGES, t.RES_SEGMENT_VALLEYS,
                         t.RES_JUMP_THRESH, t.RES_CONCAVITY_STRENGTH, t.RES_SIMPLIFY_THRESH,
                         t.RES_SEGMENT_OBJECTS});
  for (int k = 0; k < NUM_USER_OBJECTS; ++k) procs_.watch(refresh, t.RES_SURFACE[k]);
  procs_.watch(refresh, {t.RES_BUF_FRAMES, t.RES_POS_REC, t.OBJECT, t.CONT, t.RES_XSCALE,
                         t.RES_YSCALE, t.RES_XTRANS, t.RES_YTRANS, t.RES_ZTRANS, t.RES_AZIMUTH,
                         t.RES_ELEVATION, t.RES_ROLL, t.RES_DICOM_REDRAW, t.RES_DICOM_UNITS});

  const int32_t count = static_cast<int32_t>(t.CURRENT_MAX_OBJECTS->read());
  create_object_properties(count);
  for (int32_t i = 0; i < row_count(); ++i) object_choice->Append(t.RES_OBJECT->read()[i].name);
  const int32_t current = static_cast<int32_t>(t.CURRENT_OBJECT->read());
  if (current >= 0 && current < row_count()) object_choice->SetSelection(current);

  for (wxWindow* w : std::initializer_list<wxWindow*>{
           update_all, update_current, revert_all, revert_current, save_all, save_current,
           delete_all, delete_current, find, find_contours, create_from_labels, import_contours,
           show_thresholds, show_labels})
    w->Disable();
  import_surface->Enable(t.RES_POS_REC->read() && t.RES_BUF_FRAMES->read() != 0);
  show_threshold_grid();

  SetSizer(page_sizer_);
  fit_contents();
}

void draw_page::build_all_objects_group(wxSizer* page) {
  auto* box = new wxStaticBoxSizer(wxVERTICAL, this, L"All objects");
  wxWindow* p = box->GetStaticBox();
  const wxSize small = dialog_units(30), wide = dialog_units(95);
  auto* r1 = new wxBoxSizer(wxHORIZONTAL);
  update_all = button(p, r1, ID_UPDATE_ALL_SURFACE, L"Update", small);
  revert_all = button(p, r1, ID_REVERT_ALL_SURFACE, L"Revert", small);
  save_all = button(p, r1, ID_SAVE_ALL_SURFACE, L"Save", small);
  auto* r2 = new wxBoxSizer(wxHORIZONTAL);
  delete_all = button(p, r2, ID_DELETE_ALL_OBJECTS, L"Delete", small);
  reset_all = button(p, r2, ID_RESET_ALL_PROPERTIES, L"Reset", small);
  pack = button(p, r2, ID_PACK_OBJECTS, L"Pack", small);
  auto* r3 = new wxBoxSizer(wxHORIZONTAL);
  create_from_labels = button(p, r3, ID_CREATE_CONTOURS, L"Create from label data", wide);
  auto* r4 = new wxBoxSizer(wxHORIZONTAL);
  import_contours = button(p, r4, ID_IMPORT_CONTOURS, L"Import from data files", wide);
  for (wxSizer* r : {r1, r2, r3, r4}) box->Add(r);
  page->Add(box, 0, wxEXPAND | wxALL, 2);
}

void draw_page::build_current_object_group(wxSizer* page) {
  auto* box = new wxStaticBoxSizer(wxVERTICAL, this, L"Current object");
  wxWindow* p = box->GetStaticBox();
  const wxSize small = dialog_units(30), mid = dialog_units(62);
  object_choice = new wxChoice(p, ID_CURRENT_OBJECT, wxDefaultPosition, dialog_units(95));
  box->Add(object_choice, 0, wxALL, 1);
  auto* r2 = new wxBoxSizer(wxHORIZONTAL);
  update_current = button(p, r2, ID_UPDATE_CURRENT_SURFACE, L"Update", small);
  revert_current = button(p, r2, ID_REVERT_CURRENT_SURFACE, L"Revert", small);
  save_current = button(p, r2, ID_SAVE_CURRENT_SURFACE, L"Save", small);
  auto* r3 = new wxBoxSizer(wxHORIZONTAL);
  delete_current = button(p, r3, ID_DELETE_OBJECTS, L"Delete", small);
  reset_current = button(p, r3, ID_RESET_CURRENT_PROPERTIES, L"Reset properties", mid);
  auto* r4 = new wxBoxSizer(wxHORIZONTAL);
  find = button(p, r4, ID_FIND_OBJECT, L"Find", small);
  import_surface = button(p, r4, ID_IMPORT_SURFACE, L"Import surface", mid);
  auto* r5 = new wxBoxSizer(wxHORIZONTAL);
  text(p, r5, L"Find contours:");
  find_contours = new wxSlider(p, ID_FIND_CONTOURS, 1, 1, 1, wxDefaultPosition, dialog_units(50),
                               wxSL_HORIZONTAL);
  find_contours->SetPageSize(1);
  r5->Add(find_contours, 0, wxALL, 1);
  for (wxSizer* r : {r2, r3, r4, r5}) box->Add(r);
  position_line = text(p, box, L"At: ---.-, ---.-, ---.- mm");
  area_line = text(p, box, L"Area: ---.--- sq mm", ID_AREA_LINE);
  perimeter_line = text(p, box, L"Perimeter: ---.--- mm", ID_PERIMETER_LINE);
  volume_line = text(p, box, L"Volume: ---.--- ml", ID_VOLUME_LINE);
  page->Add(box, 0, wxEXPAND | wxALL, 2);
}

void draw_page::build_surface_group(wxSizer* page) {
  resource_table_t& t = *resource_table;
  auto* box = new wxStaticBoxSizer(wxVERTICAL, this, L"Surface creation");
  wxWindow* p = box->GetStaticBox();
  auto choice = [&](const wchar_t* label, int id, int width,
                    std::initializer_list<const wchar_t*> items, long_res_t* res) {
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    text(p, row, label);
    auto* c = new wxChoice(p, id, wxDefaultPosition, dialog_units(width));
    for (const wchar_t* item : items) c->Append(item);
    c->SetSelection(value_of(res));
    row->Add(c, 0, wxALL, 1);
    box->Add(row);
    return c;
  };
  resolution = choice(L"Resolution:", ID_SURFACE_RESOLUTION, 55,
                      {L"Uber low", L"Super low", L"Very low", L"Low", L"Medium", L"High", L"Very high"},
                      t.RES_SURFACE_RESOLUTION);
  smoothing = choice(L"Smoothing:", ID_SURFACE_SMOOTHING, 55,
                     {L"None", L"Very low", L"Low", L"Medium", L"High", L"Very high"},
                     t.RES_SURFACE_SMOOTHING);
  auto* prioritise = new wxBoxSizer(wxHORIZONTAL);
  text(p, prioritise, L"Prioritise ");
  connect_objects = new wxCheckBox(p, ID_SURFACE_CONNECT_OBJECTS, L"body,");
  connect_holes = new wxCheckBox(p, ID_SURFACE_CONNECT_HOLES, L"holes");
  connect_objects->SetValue(t.RES_SURFACE_CONNECT_OBJECTS->read());
  connect_holes->SetValue(t.RES_SURFACE_CONNECT_HOLES->read());
  prioritise->Add(connect_objects, 0, wxALL, 1);
  prioritise->Add(connect_holes, 0, wxALL, 1);
  box->Add(prioritise);
  cover = new wxCheckBox(p, ID_SURFACE_COVER, L"Cover ends within data");
  cover->SetValue(t.RES_SURFACE_COVER->read());
  box->Add(cover, 0, wxALL, 1);
  text(p, box, L"Compounding depth (pixels):");
  compound_thick = new wxSlider(p, ID_SURFACE_COMPOUND_THICK, value_of(t.RES_SURFACE_COMPOUND_THICK),
                                -40, 40, wxDefaultPosition, dialog_units(95), kLabelledSlider);
  box->Add(compound_thick, 0, wxALL, 1);
  compound_type = choice(L"Compounding:", ID_SURFACE_COMPOUND_TYPE, 45,
                         {L"Maximum", L"Minimum", L"Average"}, t.RES_SURFACE_COMPOUND_TYPE);
  page->Add(box, 0, wxEXPAND | wxALL, 2);
}

void draw_page::build_contour_group(wxSizer* page) {
  resource_table_t& t = *resource_table;
  auto* box = new wxStaticBoxSizer(wxVERTICAL, this, L"Contour creation");
  wxWindow* p = box->GetStaticBox();
  auto* show = new wxBoxSizer(wxHORIZONTAL);
  text(p, show, L"Show ");
  show_thresholds = new wxCheckBox(p, ID_CMAP_BINARY, L"thresholds,");
  show_labels = new wxCheckBox(p, ID_CMAP_LABELS, L"labels");
  show_thresholds->SetValue(t.RES_CMAP_BINARY->read());
  show_labels->SetValue(t.RES_CMAP_LABELS->read());
  show->Add(show_thresholds, 0, wxALL, 1);
  show->Add(show_labels, 0, wxALL, 1);
  box->Add(show);

  threshold_grid = new wxFlexGridSizer(2);
  auto grid_slider = [&](const wchar_t* label, int id, long_res_t* res) {
    text(p, threshold_grid, label);
    auto* s = new wxSlider(p, id, value_of(res), 0, 255, wxDefaultPosition, dialog_units(80),
                           kLabelledSlider);
    threshold_grid->Add(s, 0, wxALL, 1);
    return s;
  };
  grey_lo = grid_slider(L"Grey:", ID_CMAP_GREY_LO, t.RES_CMAP_GREY_LO);
  grey_hi = grid_slider(L"to", ID_CMAP_GREY_HI, t.RES_CMAP_GREY_HI);
  grey_anti = grid_slider(L"not", ID_CMAP_GREY_ANTI, t.RES_CMAP_GREY_ANTI);
  threshold_unit = text(p, threshold_grid, L"(??:");
  threshold_values = text(p, threshold_grid, L" none / none / none)");
  red_lo = grid_slider(L"Red:", ID_CMAP_RED_LO, t.RES_CMAP_RED_LO);
  red_hi = grid_slider(L"to", ID_CMAP_RED_HI, t.RES_CMAP_RED_HI);
  blue_lo = grid_slider(L"Blue:", ID_CMAP_BLUE_LO, t.RES_CMAP_BLUE_LO);
  blue_hi = grid_slider(L"to", ID_CMAP_BLUE_HI, t.RES_CMAP_BLUE_HI);
  box->Add(threshold_grid);

  auto* regions = new wxBoxSizer(wxHORIZONTAL);
  text(p, regions, L"Segment regions:");
  segment_type = new wxChoice(p, ID_SEGMENT_TYPE, wxDefaultPosition, dialog_units(40));
  for (const wchar_t* item : {L"All", L"Holes", L"Body"}) segment_type->Append(item);
  segment_type->SetSelection(value_of(t.RES_SEGMENT_TYPE));
  regions->Add(segment_type, 0, wxALL, 1);
  box->Add(regions);

  auto inline_slider = [&](const wchar_t* before, int id, int width, int lo, int hi, long_res_t* res,
                           const wchar_t* after) {
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    text(p, row, before);
    auto* s = new wxSlider(p, id, value_of(res), lo, hi, wxDefaultPosition, dialog_units(width),
                           kLabelledSlider);
    row->Add(s, 0, wxALL, 1);
    text(p, row, after);
    box->Add(row);
    return s;
  };
  segment_frame = inline_slider(L"Every ", ID_SEGMENT_FRAME, 56, 0, 50, t.RES_SEGMENT_FRAME, L"frames");
  segment_range = inline_slider(L"Within ", ID_SEGMENT_RANGE, 61, 0, 300, t.RES_SEGMENT_RANGE, L"mm");
  segment_connected = new wxCheckBox(p, ID_SEGMENT_CONNECTED, L"Connected regions only");
  segment_connected->SetValue(t.RES_SEGMENT_CONNECTED->read());
  box->Add(segment_connected, 0, wxALL, 1);
  auto* look = new wxBoxSizer(wxHORIZONTAL);
  text(p, look, L"Look for ");
  segment_ridges = new wxCheckBox(p, ID_SEGMENT_RIDGES, L"ridges,");
  segment_valleys = new wxCheckBox(p, ID_SEGMENT_VALLEYS, L"valleys");
  segment_ridges->SetValue(t.RES_SEGMENT_RIDGES->read());
  segment_valleys->SetValue(t.RES_SEGMENT_VALLEYS->read());
  look->Add(segment_ridges, 0, wxALL, 1);
  look->Add(segment_valleys, 0, wxALL, 1);
  box->Add(look);

  auto stacked_slider = [&](const wchar_t* label, int id, int lo, int hi, long_res_t* res) {
    text(p, box, label);
    auto* s = new wxSlider(p, id, value_of(res), lo, hi, wxDefaultPosition, dialog_units(90),
                           kLabelledSlider);
    box->Add(s, 0, wxALL, 1);
    return s;
  };
  jump_thresh = stacked_slider(L"Join gaps of (pixels):", ID_JUMP_THRESH, 0, 50, t.RES_JUMP_THRESH);
  concavity = stacked_slider(L"Fix concavities (strength):", ID_CONCAVITY_STRENGTH, 0, 100,
                             t.RES_CONCAVITY_STRENGTH);
  simplify = stacked_slider(L"Contour accuracy (x0.1 pixels):", ID_SIMPLIFY_THRESH, 0, 50,
                            t.RES_SIMPLIFY_THRESH);
  segment_objects = stacked_slider(L"Split into objects, up to:", ID_SEGMENT_OBJECTS, 1, 200,
                                   t.RES_SEGMENT_OBJECTS);
  page->Add(box, 0, wxEXPAND | wxALL, 2);
}

void draw_page::show_threshold_grid() {
  resource_table_t& t = *resource_table;
  const bool doppler = t.RES_BUF_DOPPLER->read();
  const bool binary = t.RES_CMAP_BINARY->read();
  const bool units = t.RES_BUF_DICOM->read() && !dicom_samples_8bit();
  for (size_t i = 0; i < 16; ++i) {
    bool shown = doppler ? i >= 8 : i < 6 || (i < 8 && units);
    threshold_grid->Show(i, shown);
  }
  for (wxSlider* s : {grey_lo, grey_hi, grey_anti}) s->Enable(!doppler && binary);
  for (wxSlider* s : {red_lo, red_hi, blue_lo, blue_hi}) s->Enable(doppler && binary);
  threshold_grid->Layout();
}

void draw_page::create_object_properties(int32_t count) {
  Freeze();
  const int32_t n = std::clamp<int32_t>(count, 0, DRAW_MAX_ROWS);
  if (n < row_count()) {
    rows_sizer_->Clear(true);
    rows.clear();
  }
  for (int32_t i = row_count(); i < n; ++i) build_row(i);
  Thaw();
}

void draw_page::build_row(int32_t i) {
  const contour_object& object = resource_table->RES_OBJECT->read()[i];
  wxWindow* p = rows_sizer_->GetContainingWindow();
  if (!p) p = this;
  object_row row;
  const wxSize du = dialog_units(19, 19);
  const double scale = dpi_scale();
  const wxSize size(int(du.x / scale + 0.5), int(du.y / scale + 0.5));
  row.colour = new wxButton(p, ID_OBJECT_COLOUR_FIRST + i, wxEmptyString, wxDefaultPosition, size,
                            wxBU_EXACTFIT);
  row.name = new wxTextCtrl(p, ID_OBJECT_NAME_FIRST + i, object.name, wxDefaultPosition,
                            dialog_units(80), wxTE_PROCESS_ENTER);
  host_.send_enter_on_focus_loss(row.name);
  auto* opacity_label = new wxStaticText(p, wxID_ANY, L"Opacity:");
  row.opacity = new wxSlider(p, ID_OBJECT_OPACITY_FIRST + i, int(object.opacity * 255), 0, 255,
                             wxDefaultPosition, dialog_units(30), wxSL_HORIZONTAL);
  row.opacity->SetPageSize(16);
  row.cap = new wxCheckBox(p, ID_OBJECT_VISIBLE_FIRST + i, L"Cap");
  // 22 dialog units wide, unless the theme needs more for box and label.
  row.cap->SetMinSize(wxSize(std::max(dialog_units(22).x, row.cap->GetBestSize().x), -1));
  row.cap->SetValue(object.capped != 0);
  // Usable only for an object in use (none when the page is first built).
  const bool in_use = !object.frames.empty() || resource_table->RES_SURFACE[i]->read();
  row.opacity->Enable(in_use);
  row.cap->Enable(in_use);
  draw_swatch(row, object);

  auto* line = new wxBoxSizer(wxHORIZONTAL);
  line->Add(row.colour, 0, wxALL | wxALIGN_CENTER_VERTICAL, 1);
  auto* right = new wxBoxSizer(wxVERTICAL);
  right->Add(row.name, 0, wxALL, 1);
  auto* below = new wxBoxSizer(wxHORIZONTAL);
  below->Add(opacity_label, 0, wxALL | wxALIGN_CENTER_VERTICAL, 1);
  below->Add(row.opacity, 0, wxALL, 1);
  below->Add(row.cap, 0, wxALL | wxALIGN_CENTER_VERTICAL, 1);
  right->Add(below);
  line->Add(right);
  rows_sizer_->Add(line);
  rows.push_back(row);
}

void draw_page::draw_swatch(object_row& row, const contour_object& object) {
  row.swatch_colour = object.colour;
  row.swatch_metallic = object.metallic;
  row.swatch_anisotropy = object.anisotropy;
  row.swatch_roughness = object.roughness;
  const double scale = dpi_scale();
  const wxSize button = row.colour->GetSize();
  const wxSize size(int(button.x / scale + 0.5), int(button.y / scale + 0.5));
  const rgba_colour_t& c = object.colour;
  wxBitmap bitmap;
  globcmap_t::material_sphere_bitmap(bitmap, size, wxColour(c.Red(), c.Green(), c.Blue()),
                                     object.metallic, object.roughness, object.anisotropy);
  if (bitmap.IsOk()) row.colour->SetBitmap(bitmap, wxLEFT);
}
