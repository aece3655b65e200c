// The Draw page's change procedure and its commands.
#include "tasks/draw_page.h"

#include <algorithm>
#include <memory>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/filename.h>
#include <wx/choice.h>
#include <wx/log.h>
#include <wx/progdlg.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "data/dynabuf.h"
#include "data/file_menu_ui.h"
#include "medical/dicom_utility.h"
#include "data/file_save.h"
#include "registry/resource_table.h"
#include "surfaces/surface_build.h"
#include "surfaces/surface_interp.h"
#include "tasks/derived_surfaces.h"
#include "tasks/draw_page_rules.h"
#include "tasks/object_export.h"
#include "tasks/task_ids.h"

namespace {

resource_table_t& rt() { return *resource_table; }
contour_object* objects() { return rt().RES_OBJECT->read(); }

surface_interp* surface_of(int32_t k) {
  return k >= 0 && k < NUM_USER_OBJECTS ? rt().RES_SURFACE[k]->read() : nullptr;
}

// Used: holding a surface or at least one contour frame.
bool used(int32_t k) {
  return k >= 0 && k < NUM_USER_OBJECTS && (surface_of(k) || !objects()[k].frames.empty());
}

bool any_changed(std::initializer_list<base_res_t*> resources) {
  for (base_res_t* r : resources)
    if (r->changed_in_flush()) return true;
  return false;
}

void set_label(wxStaticText* text, const wxString& label) {
  if (text->GetLabel() != label) text->SetLabel(label);
}

// The surface construction's progress in a dialog with Cancel. One dialog
// serves every object of an update; once cancelled it stays cancelled.
class surface_progress final : public interp_progress {
 public:
  surface_progress(wxWindow* parent, const wxString& title, int maximum)
      : maximum_(maximum),
        dialog_(title, L"\nOn contour     0 of     0(    0 points,     0 triangles so far)\n", maximum,
                parent,
                wxPD_CAN_ABORT | wxPD_APP_MODAL | wxPD_ELAPSED_TIME | wxPD_ESTIMATED_TIME |
                    wxPD_REMAINING_TIME) {
    dialog_.SetSize(wxSize(400, -1));
  }
  bool update(int value, const wxString& message) override {
    if (cancelled_) return false;
    cancelled_ = !dialog_.Update(std::clamp(value, 0, maximum_), message);
    return !cancelled_;
  }

 private:
  int maximum_;
  wxProgressDialog dialog_;
  bool cancelled_ = false;
};

// The dialog of an update, or the progress a caller put in its place.
class update_progress {
 public:
  update_progress(interp_progress* given, wxWindow* parent, const wxString& title, int maximum) {
    if (!given) own_ = std::make_unique<surface_progress>(parent, title, maximum);
    progress_ = given ? given : own_.get();
  }
  interp_progress* get() const { return progress_; }

 private:
  std::unique_ptr<surface_progress> own_;
  interp_progress* progress_ = nullptr;
};

}  // namespace

void draw_page::update() {
  if (skip_refresh) {
    skip_refresh = false;
    return;
  }
  resource_table_t& t = rt();
  contour_object* obj = objects();
  Freeze();
  const bool current_changed = t.CURRENT_OBJECT->changed_in_flush();
  const bool object_changed = t.OBJECT->changed_in_flush();
  const bool cont_changed = t.CONT->changed_in_flush();
  const bool frames_changed = t.RES_BUF_FRAMES->changed_in_flush();
  int32_t current = static_cast<int32_t>(t.CURRENT_OBJECT->read());

  if (current_changed && current >= 0 && current < static_cast<int32_t>(object_choice->GetCount()))
    object_choice->SetSelection(current);

  // The "Find contours:" slider steps through the current object's frames.
  if (current_changed || cont_changed || object_changed) {
    const int32_t entries =
        current >= 0 && current < NUM_USER_OBJECTS ? static_cast<int32_t>(obj[current].frames.size()) : 0;
    const find_contours_range_t range = find_contours_range(entries);
    if (find_contours->GetMax() != range.max || find_contours->GetMin() != 0) {
      if (find_contours->GetValue() >= range.max) find_contours->SetValue(0);
      find_contours->SetRange(0, range.max);
    }
  }

  // How many rows.
  int32_t count = static_cast<int32_t>(t.CURRENT_MAX_OBJECTS->read());
  if (object_changed || frames_changed || cont_changed) {
    std::vector<bool> in_use(NUM_USER_OBJECTS);
    std::vector<wxString> names(NUM_USER_OBJECTS);
    for (int32_t k = 0; k < NUM_USER_OBJECTS; ++k) {
      in_use[k] = used(k);
      names[k] = obj[k].name;
    }
    count = draw_row_count(in_use, names, count);
    if (current >= count) {
      t.CURRENT_OBJECT->write(0);
      current = 0;
    }
  }
  bool rebuilt = false;
  if (count != t.CURRENT_MAX_OBJECTS->read() || count != row_count()) {
    if (count != t.CURRENT_MAX_OBJECTS->read()) t.CURRENT_MAX_OBJECTS->write(count);
    create_object_properties(count);
    rebuilt = true;
  }

  // Contour volumes of the objects without surfaces, and the volume line.
  bool relayout = rebuilt;
  const bool volumes = object_changed || cont_changed || frames_changed ||
                       any_changed({t.RES_XSCALE, t.RES_YSCALE, t.RES_XTRANS, t.RES_YTRANS,
                                    t.RES_ZTRANS, t.RES_AZIMUTH, t.RES_ELEVATION, t.RES_ROLL});
  if (volumes)
    for (int32_t k = 0; k < NUM_USER_OBJECTS; ++k)
      if (!surface_of(k)) obj[k].volume = planimetry_volume(obj[k].frames);
  if (volumes || current_changed) {
    double v = 0.0;
    if (used(current)) {
      v = obj[current].volume;
      const surface_interp* s = surface_of(current);
      if (s && (v == 0.0 || s->volume < 0.0001)) v = s->volume;
    }
    set_label(volume_line, draw_volume_line(used(current), v));
    relayout = true;
  }

  // Rows and the object choices.
  if (rebuilt || object_changed || frames_changed) {
    for (int32_t i = 0; i < row_count(); ++i) {
      object_row& row = rows[i];
      const contour_object& o = obj[i];
      if (row.name->GetValue() != o.name) row.name->ChangeValue(o.name);
      if (o.colour != row.swatch_colour || o.metallic != row.swatch_metallic ||
          o.anisotropy != row.swatch_anisotropy || o.roughness != row.swatch_roughness)
        draw_swatch(row, o);
      const int alpha = int(o.opacity * 255);
      if (row.opacity->GetValue() != alpha) row.opacity->SetValue(alpha);
      if (row.cap->GetValue() != (o.capped != 0)) row.cap->SetValue(o.capped != 0);
    }
    wxChoice* curves = host_.curve_object_choice();
    const int kept = curves ? curves->GetSelection() : -1;
    object_choice->Clear();
    if (curves) curves->Clear();
    for (int32_t i = 0; i < count; ++i) {
      object_choice->Append(obj[i].name);
      if (curves) curves->Append(obj[i].name);
    }
    if (current >= 0 && current < count) object_choice->SetSelection(current);
    if (curves && count > 0) curves->SetSelection(kept >= 0 && kept < count ? kept : 0);
    relayout = true;
  }
  if (object_changed || frames_changed || cont_changed)
    for (int32_t i = 0; i < row_count(); ++i) {
      rows[i].opacity->Enable(used(i));
      rows[i].cap->Enable(used(i));
    }

  // The current object's buttons take on its colour.
  if (object_changed || frames_changed || current_changed) {
    const wxColour face = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE);
    const rgba_colour_t c = current >= 0 && current < NUM_USER_OBJECTS ? obj[current].colour
                                                                        : rgba_colour_t(0, 0, 0);
    const wxColour tint((face.Red() + c.Red()) >> 1, (face.Green() + c.Green()) >> 1,
                        (face.Blue() + c.Blue()) >> 1, 255);
    for (wxButton* b : {update_current, revert_current, save_current, delete_current, reset_current,
                        find, import_surface})
      b->SetBackgroundColour(tint);
  }

  set_info_lines(cont_changed);

  if (t.RES_CMAP_GREY_LO->changed_in_flush()) grey_lo->SetValue(int(t.RES_CMAP_GREY_LO->read()));
  if (t.RES_CMAP_GREY_HI->changed_in_flush()) grey_hi->SetValue(int(t.RES_CMAP_GREY_HI->read()));
  if (t.RES_CMAP_GREY_ANTI->changed_in_flush()) grey_anti->SetValue(int(t.RES_CMAP_GREY_ANTI->read()));
  if (any_changed({t.RES_DICOM_REDRAW, t.RES_BUF_FRAMES, t.RES_CMAP_GREY_LO, t.RES_CMAP_GREY_HI,
                   t.RES_CMAP_GREY_ANTI, t.RES_DICOM_UNITS}) &&
      t.RES_BUF_DICOM->read() && !dicom_samples_8bit())
    update_threshold_label();

  set_button_states();

  if (any_changed({t.RES_BUF_DOPPLER, t.RES_CMAP_BINARY, t.RES_BUF_FRAMES})) {
    show_threshold_grid();
    relayout = true;
  }

  // Controls whose resource changed take its value.
  auto slider = [](long_res_t* res, wxSlider* s) {
    if (res->changed_in_flush()) s->SetValue(int(res->read()));
  };
  auto choice = [](long_res_t* res, wxChoice* c) {
    if (res->changed_in_flush()) c->SetSelection(int(res->read()));
  };
  auto check = [](bool_res_t* res, wxCheckBox* c) {
    if (res->changed_in_flush()) c->SetValue(res->read());
  };
  slider(t.RES_JUMP_THRESH, jump_thresh);
  slider(t.RES_CONCAVITY_STRENGTH, concavity);
  slider(t.RES_SEGMENT_RANGE, segment_range);
  slider(t.RES_SIMPLIFY_THRESH, simplify);
  slider(t.RES_SEGMENT_OBJECTS, segment_objects);
  choice(t.RES_SURFACE_RESOLUTION, resolution);
  choice(t.RES_SURFACE_SMOOTHING, smoothing);
  choice(t.RES_SURFACE_COMPOUND_TYPE, compound_type);
  slider(t.RES_SURFACE_COMPOUND_THICK, compound_thick);
  check(t.RES_SURFACE_CONNECT_OBJECTS, connect_objects);
  check(t.RES_SURFACE_CONNECT_HOLES, connect_holes);
  check(t.RES_SURFACE_COVER, cover);
  choice(t.RES_SEGMENT_TYPE, segment_type);
  slider(t.RES_SEGMENT_FRAME, segment_frame);
  check(t.RES_SEGMENT_CONNECTED, segment_connected);
  check(t.RES_SEGMENT_RIDGES, segment_ridges);
  check(t.RES_SEGMENT_VALLEYS, segment_valleys);
  check(t.RES_CMAP_BINARY, show_thresholds);
  check(t.RES_CMAP_LABELS, show_labels);

  Thaw();
  if (relayout) {
    fit_contents();
    Refresh();
  }
}

void draw_page::set_info_lines(bool contours_changed) {
  resource_table_t& t = rt();
  if (!any_changed({t.RES_BUF_CURRENT_FRAME, t.CURRENT_OBJECT, t.OBJECT, t.CONT, t.RES_XSCALE,
                    t.RES_YSCALE, t.RES_BUF_FRAMES, t.RES_DICOM_UNITS}) &&
      !show_contour_stats)
    return;
  const int32_t current = static_cast<int32_t>(t.CURRENT_OBJECT->read());
  const int32_t frame = static_cast<int32_t>(t.RES_BUF_CURRENT_FRAME->read());
  frame_contours_t* e = nullptr;
  if (current >= 0 && current < NUM_USER_OBJECTS) e = objects()[current].find_frame(frame);
  if (!e) {
    set_label(area_line, draw_area_line(false, 0, 0, 0));
    set_label(perimeter_line, draw_perimeter_line(false, 0, 0));
    return;
  }
  const contour_object& o = objects()[current];
  if (e->area < 0) e->measure(1, true);
  const double xs = t.RES_XSCALE->read(), ys = t.RES_YSCALE->read();
  if (contours_changed || show_contour_stats) {
    show_contour_stats = false;
    double mean = 0, max = 0, min = 0;
    if (e->area <= 0) {
      t.RES_ALERT_STRING->write(wxString::Format(L"%s does not intersect frame", o.name));
    } else if (contour_pixel_stats(*e, mean, max, min)) {
      contour_notice_input in;
      in.object_name = o.name;
      in.mean = mean;
      in.min = min;
      in.max = max;
      in.raw_values = frame_has_raw_values(e->frame);
      in.slope = t.RES_DICOM_HUM->read();
      in.intercept = t.RES_DICOM_HUB->read();
      in.bmd_scale = t.RES_DICOM_BMD_SCALE->read();
      in.bmd_offset = t.RES_DICOM_BMD_OFFSET->read();
      in.units = t.RES_DICOM_UNITS->read();
      t.RES_ALERT_STRING->write(contour_stats_notice(in));
    }
  }
  set_label(area_line, draw_area_line(true, e->area, xs, ys));
  set_label(perimeter_line, draw_perimeter_line(true, e->length(xs != 0 ? ys / xs : 1.0), xs));
}

void draw_page::set_button_states() {
  resource_table_t& t = rt();
  bool used_any = false, surfaced_any = false;
  for (int32_t i = 0; i < row_count(); ++i) {
    used_any = used_any || used(i);
    surfaced_any = surfaced_any || surface_of(i);
  }
  const int32_t c = static_cast<int32_t>(t.CURRENT_OBJECT->read());
  const bool used_c = used(c);
  const surface_interp* s = surface_of(c);
  update_all->Enable(used_any);
  delete_all->Enable(used_any);
  save_all->Enable(used_any);
  revert_all->Enable(surfaced_any);
  update_current->Enable(used_c);
  delete_current->Enable(used_c);
  save_current->Enable(used_c);
  revert_current->Enable(s != nullptr);
  find_contours->Enable(c >= 0 && c < NUM_USER_OBJECTS && !objects()[c].frames.empty());
  const bool located = t.RES_POS_REC->read() && t.RES_BUF_FRAMES->read() != 0;
  import_surface->Enable(located);
  import_contours->Enable(located);
  create_from_labels->Enable(located);
  show_thresholds->Enable(t.RES_BUF_FRAMES->read() != 0);
  show_labels->Enable(t.RES_BUF_FRAMES->read() != 0);
  if (s)
    set_label(position_line, draw_position_line(true, s->box_centre.x, s->box_centre.y, s->box_centre.z));
  else
    set_label(position_line, draw_position_line(false, 0, 0, 0));
  find->Enable(s != nullptr);
}

void draw_page::update_threshold_label() {
  resource_table_t& t = rt();
  set_label(threshold_unit, threshold_unit_text(t.RES_DICOM_UNITS->read()));
  set_label(threshold_values,
            threshold_value_text(int32_t(t.RES_CMAP_GREY_LO->read()), int32_t(t.RES_CMAP_GREY_HI->read()),
                                 int32_t(t.RES_CMAP_GREY_ANTI->read()), t.RES_DICOM_WIN_CENTRE->read(),
                                 t.RES_DICOM_WIN_WIDTH->read()));
}

// --- commands

int32_t draw_page::object_of(const wxCommandEvent& event, int first) const {
  const int32_t k = event.GetId() - first;
  return k >= 0 && k < row_count() ? k : -1;
}

void draw_page::slider_write(long_res_t* res, int32_t value) {
  if (value == res->read()) return;
  skip_refresh = true;
  res->write(value);
}

void draw_page::OnCurrentObject(wxCommandEvent& event) {
  if (rt().RES_IN_SCRIPT->read()) select_self();
  const int selection = event.GetSelection() >= 0 ? event.GetSelection() : object_choice->GetSelection();
  if (selection >= 0 && selection < rt().CURRENT_MAX_OBJECTS->read()) rt().CURRENT_OBJECT->write(selection);
}

void draw_page::OnFindContours(wxScrollEvent& event) {
  const int32_t p = event.GetPosition();
  const int32_t c = static_cast<int32_t>(rt().CURRENT_OBJECT->read());
  if (c < 0 || c >= NUM_USER_OBJECTS) return;
  const auto& frames = objects()[c].frames;
  if (p < 0 || p >= static_cast<int32_t>(frames.size())) return;
  const int32_t f = std::next(frames.begin(), p)->frame;
  if (f < 0 || f >= rt().RES_BUF_FRAMES->read()) return;
  show_contour_stats = true;
  rt().RES_BUF_CURRENT_FRAME->write(f);
}

void draw_page::OnObjectName(wxCommandEvent& event) {
  const int32_t k = object_of(event, ID_OBJECT_NAME_FIRST);
  if (k < 0) return;
  objects()[k].name = rows[k].name->GetValue();
  rt().OBJECT->write();
}

void draw_page::OnObjectOpacity(wxCommandEvent& event) {
  const int32_t k = object_of(event, ID_OBJECT_OPACITY_FIRST);
  if (k < 0) return;
  const double alpha = event.GetInt() / 255.0;
  if (apply_to_all->GetValue()) {
    for (int32_t i = 0; i < rt().CURRENT_MAX_OBJECTS->read() && i < NUM_USER_OBJECTS; ++i)
      objects()[i].opacity = alpha;
  } else {
    skip_refresh = true;
    objects()[k].opacity = alpha;
  }
  rt().OBJECT->write();
}

void draw_page::OnObjectCap(wxCommandEvent& event) {
  const int32_t k = object_of(event, ID_OBJECT_VISIBLE_FIRST);
  if (k < 0) return;
  objects()[k].capped = event.IsChecked() ? 1 : 0;
  rt().OBJECT->write();
}

void draw_page::set_compounding(surface_interp* s) const {
  resource_table_t& t = rt();
  s->compound_depth =
      (t.RES_XSCALE->read() + t.RES_YSCALE->read()) / 2.0 * double(t.RES_SURFACE_COMPOUND_THICK->read());
  s->compound_type = int32_t(t.RES_SURFACE_COMPOUND_TYPE->read());
}

bool draw_page::build_surface(int32_t k, interp_progress* progress) {
  resource_table_t& t = rt();
  surface_interp* old = surface_of(k);
  // Without contours there is nothing to build from: an imported or model
  // surface stays as it is.
  if (objects()[k].frames.empty()) return false;
  if (old && compounding_changed && !surface_shape_changed) {
    set_compounding(old);
    t.RES_SURFACE[k]->write(old);
    return true;
  }
  std::unique_ptr<surface_interp> made;
  if (old && old->get_source_object() >= 0)
    made.reset(build_cortical_layer_surface(k, old->get_source_object(),
                                            int32_t(t.RES_SURFACE_SMOOTHING->read()), progress));
  else
    made.reset(build_contour_surface_from_resources(k, progress));
  if (!made || made->volume < 0) return false;
  set_compounding(made.get());
  t.RES_SURFACE[k]->write(made.release());
  // Deleted only once the new surface is committed: the views held the old one until then.
  delete old;
  return true;
}

void draw_page::redisplay_surface(int32_t k) {
  resource_table_t& t = rt();
  if (surface_interp* s = surface_of(k)) {
    set_compounding(s);
    s->select_display_data(int(t.RES_THICKNESS_DISP_MAP->read()), nullptr, nullptr, nullptr);
    t.RES_SURFACE[k]->write_no_changeprocs(s);
  }
}

void draw_page::OnUpdateCurrentSurface(wxCommandEvent&) {
  resource_table_t& t = rt();
  if (t.RES_IN_SCRIPT->read()) select_self();
  const int32_t k = static_cast<int32_t>(t.CURRENT_OBJECT->read());
  // Only contours are built from: an object without them has nothing that
  // its derived layers would need asking about.
  if (k >= 0 && k < NUM_USER_OBJECTS && !objects()[k].frames.empty()) {
    if (check_derived_surfaces(k)) return;
    update_progress progress(scripted_progress, wxGetTopLevelParent(this), L"Re-calculating Surface", 1000);
    build_surface(k, progress.get());
  }
  redisplay_surface(k);
  surface_shape_changed = compounding_changed = false;
  t.OBJECT->write();
}

void draw_page::OnUpdateAllSurface(wxCommandEvent&) {
  resource_table_t& t = rt();
  if (t.RES_IN_SCRIPT->read()) select_self();
  if (check_derived_surfaces(DERIVED_OF_ALL)) return;
  const int32_t count = std::min<int32_t>(NUM_USER_OBJECTS, int32_t(t.CURRENT_MAX_OBJECTS->read()));
  int32_t n = 0;
  for (int32_t k = 0; k < count; ++k)
    if (!objects()[k].frames.empty()) n = k + 1;
  if (n > 0) {
    update_progress progress(scripted_progress, wxGetTopLevelParent(this), L"Re-calculating Surfaces", 1001);
    for (int32_t k = 0; k < n; ++k) build_surface(k, progress.get());
  }
  for (int32_t k = 0; k < count; ++k) redisplay_surface(k);
  surface_shape_changed = compounding_changed = false;
  t.OBJECT->write();
}

void draw_page::OnRevertCurrentSurface(wxCommandEvent&) {
  resource_table_t& t = rt();
  const int32_t k = static_cast<int32_t>(t.CURRENT_OBJECT->read());
  if (!surface_of(k) || objects()[k].frames.empty()) return;
  if (check_derived_surfaces(k)) return;
  surface_interp* s = surface_of(k);
  if (!s) return;
  t.RES_SURFACE[k]->write_no_changeprocs(nullptr);
  t.OBJECT->write_no_changeprocs();
  t.CONT->write();
  delete s;  // after the commit that dropped it
}

void draw_page::OnRevertAllSurface(wxCommandEvent&) {
  resource_table_t& t = rt();
  // The derived surfaces of the sources about to go are asked about first,
  // as an update of all objects does.
  if (check_derived_surfaces(DERIVED_OF_ALL)) return;
  std::vector<surface_interp*> dropped;
  const int32_t count = std::min<int32_t>(NUM_USER_OBJECTS, int32_t(t.CURRENT_MAX_OBJECTS->read()));
  for (int32_t k = 0; k < count; ++k) {
    surface_interp* s = surface_of(k);
    if (!s || objects()[k].frames.empty()) continue;
    t.RES_SURFACE[k]->write_no_changeprocs(nullptr);
    dropped.push_back(s);
  }
  if (dropped.empty()) return;
  t.OBJECT->write_no_changeprocs();
  t.CONT->write();
  for (surface_interp* s : dropped) delete s;
}

namespace {

// The mask of object (-1: all) beside the loaded data; the writer reports
// its own failures.
void save_mask(const wxString& path, object_export_kind kind, int32_t object) {
  dicom_utility::create_voxel_data(wxFileName(path), kind == object_export_kind::nifti_mask ? 0 : 1, object);
}

void save_surfaces_reporting(const std::vector<int32_t>& objects, const std::vector<wxString>& paths, bool ply) {
  wxString why;
  if (!save_object_surfaces(objects, paths, ply, &why)) wxLogError(L"Error opening surface file for writing.\n%s", why);
}

void save_statistics_reporting(const wxString& path, int32_t object) {
  wxString why;
  if (!write_object_statistics(path, object, &why))
    wxLogError(L"The object information could not be saved to \"%s\".\n%s", path, why);
}

bool choose_export(const wxString& title, const wxString& name, file_dialog_result& chosen) {
  file_dialog_request request;
  request.message = title;
  request.folder = rt().RES_ASCII_FILENAME->read().GetPath();
  request.name = name;
  request.wildcard = OBJECT_EXPORT_WILDCARD;
  request.filter_index = int(object_export_kind::ply);
  request.save = true;
  return current_file_menu_ui().choose_file(request, chosen);
}

}  // namespace

void draw_page::OnSaveAllSurface(wxCommandEvent&) {
  resource_table_t& t = rt();
  const int32_t count = std::min<int32_t>(NUM_USER_OBJECTS, int32_t(t.CURRENT_MAX_OBJECTS->read()));
  std::vector<int32_t> with_surface;
  for (int32_t k = 0; k < count; ++k)
    if (surface_of(k)) with_surface.push_back(k);
  file_dialog_result chosen;
  if (!choose_export(L"Save all surfaces as", wxString(), chosen)) return;
  const object_export_kind kind = object_export_kind_of(chosen.filter_index);
  if (export_needs_surface(kind) && with_surface.empty()) {
    wxLogWarning(L"You need to update the surface before saving");
    return;
  }
  switch (kind) {
    case object_export_kind::ply:
      save_surfaces_reporting(with_surface, per_object_surface_paths(chosen.path, with_surface), true);
      break;
    case object_export_kind::vrml:
      save_surfaces_reporting(with_surface, {chosen.path}, false);
      break;
    case object_export_kind::nifti_mask:
    case object_export_kind::nrrd_mask:
      save_mask(chosen.path, kind, -1);
      break;
    default:
      save_statistics_reporting(chosen.path, -1);
  }
}

void draw_page::OnSaveCurrentSurface(wxCommandEvent&) {
  resource_table_t& t = rt();
  const int32_t k = static_cast<int32_t>(t.CURRENT_OBJECT->read());
  if (k < 0 || k >= NUM_USER_OBJECTS) return;
  if (t.RES_IN_SCRIPT->read()) {
    select_self();
    const wxString path = script_results_path(t.RES_SCRIPT_RESULTS_NAME->read(), t.RES_SCRIPT_RESULTS_DIR->read());
    const object_export_kind kind = path.EndsWith(L"ply")      ? object_export_kind::ply
                                    : path.EndsWith(L"nii.gz") ? object_export_kind::nifti_mask
                                    : path.EndsWith(L"nhdr")   ? object_export_kind::nrrd_mask
                                                               : object_export_kind::vrml;
    // Nothing is written without a surface, and the script hears of it.
    if (!surface_of(k)) {
      t.RES_SCRIPT_WRITE_MESSAGE->write(L"ERROR " + objects()[k].name +
                                        L" has no surface to save: update the surface first.");
      return;
    }
    if (kind == object_export_kind::nifti_mask || kind == object_export_kind::nrrd_mask) {
      save_mask(path, kind, k);
      return;
    }
    wxString why;
    if (!save_object_surfaces({k}, {path}, kind == object_export_kind::ply, &why))
      t.RES_SCRIPT_WRITE_MESSAGE->write(L"ERROR Error opening surface file for writing. " + why);
    return;
  }
  file_dialog_result chosen;
  if (!choose_export(L"Save current surface as", objects()[k].name, chosen)) return;
  const object_export_kind kind = object_export_kind_of(chosen.filter_index);
  if (export_needs_surface(kind) && !surface_of(k)) {
    wxLogWarning(L"You need to update the surface before saving");
    return;
  }
  switch (kind) {
    case object_export_kind::ply:
    case object_export_kind::vrml:
      save_surfaces_reporting({k}, {chosen.path}, kind == object_export_kind::ply);
      break;
    case object_export_kind::nifti_mask:
    case object_export_kind::nrrd_mask:
      save_mask(chosen.path, kind, k);
      break;
    default:
      save_statistics_reporting(chosen.path, k);
  }
}

void draw_page::OnSurfaceResolution(wxCommandEvent&) {
  surface_shape_changed = true;
  rt().RES_SURFACE_RESOLUTION->write(resolution->GetSelection());
}
void draw_page::OnSurfaceSmoothing(wxCommandEvent&) {
  surface_shape_changed = true;
  rt().RES_SURFACE_SMOOTHING->write(smoothing->GetSelection());
}
void draw_page::OnSurfaceConnectObjects(wxCommandEvent& event) {
  surface_shape_changed = true;
  rt().RES_SURFACE_CONNECT_OBJECTS->write(event.IsChecked());
}
void draw_page::OnSurfaceConnectHoles(wxCommandEvent& event) {
  surface_shape_changed = true;
  rt().RES_SURFACE_CONNECT_HOLES->write(event.IsChecked());
}
void draw_page::OnSurfaceCover(wxCommandEvent& event) {
  surface_shape_changed = true;
  rt().RES_SURFACE_COVER->write(event.IsChecked());
}
void draw_page::OnSurfaceCompoundType(wxCommandEvent&) {
  compounding_changed = true;
  rt().RES_SURFACE_COMPOUND_TYPE->write(compound_type->GetSelection());
}
void draw_page::OnSurfaceCompoundThick(wxScrollEvent& event) {
  compounding_changed = true;
  slider_write(rt().RES_SURFACE_COMPOUND_THICK, event.GetPosition());
}

void draw_page::OnSegmentType(wxCommandEvent& event) { rt().RES_SEGMENT_TYPE->write(event.GetSelection()); }
void draw_page::OnSegmentFrame(wxScrollEvent& event) { rt().RES_SEGMENT_FRAME->write(event.GetPosition()); }
void draw_page::OnSegmentRange(wxScrollEvent& event) { slider_write(rt().RES_SEGMENT_RANGE, event.GetPosition()); }
void draw_page::OnSegmentObjects(wxScrollEvent& event) { slider_write(rt().RES_SEGMENT_OBJECTS, event.GetPosition()); }
void draw_page::OnSegmentConnected(wxCommandEvent& event) { rt().RES_SEGMENT_CONNECTED->write(event.IsChecked()); }
void draw_page::OnSegmentRidges(wxCommandEvent& event) { rt().RES_SEGMENT_RIDGES->write(event.IsChecked()); }
void draw_page::OnSegmentValleys(wxCommandEvent& event) { rt().RES_SEGMENT_VALLEYS->write(event.IsChecked()); }
void draw_page::OnJumpThresh(wxScrollEvent& event) { slider_write(rt().RES_JUMP_THRESH, event.GetPosition()); }
void draw_page::OnConcavityStrength(wxScrollEvent& event) {
  slider_write(rt().RES_CONCAVITY_STRENGTH, event.GetPosition());
}
void draw_page::OnSimplifyThresh(wxScrollEvent& event) { slider_write(rt().RES_SIMPLIFY_THRESH, event.GetPosition()); }
void draw_page::OnCmapGreyLo(wxScrollEvent& event) { rt().RES_CMAP_GREY_LO->write(event.GetPosition()); }
void draw_page::OnCmapGreyHi(wxScrollEvent& event) { rt().RES_CMAP_GREY_HI->write(event.GetPosition()); }
void draw_page::OnCmapGreyAnti(wxScrollEvent& event) { rt().RES_CMAP_GREY_ANTI->write(event.GetPosition()); }
void draw_page::OnCmapRedLo(wxScrollEvent& event) { rt().RES_CMAP_RED_LO->write(event.GetPosition()); }
void draw_page::OnCmapRedHi(wxScrollEvent& event) { rt().RES_CMAP_RED_HI->write(event.GetPosition()); }
void draw_page::OnCmapBlueLo(wxScrollEvent& event) { rt().RES_CMAP_BLUE_LO->write(event.GetPosition()); }
void draw_page::OnCmapBlueHi(wxScrollEvent& event) { rt().RES_CMAP_BLUE_HI->write(event.GetPosition()); }

void draw_page::OnApplyToAllObjects(wxCommandEvent& event) {
  if (event.IsChecked()) {
    const wxColour c = apply_to_all->GetBackgroundColour();
    apply_to_all->SetBackgroundColour(wxColour(c.Red(), c.Green() / 2, c.Blue() / 2, 255));
  } else {
    apply_to_all->SetBackgroundColour(wxNullColour);
  }
  apply_to_all->Refresh();
}

void draw_page::OnCmapBinary(wxCommandEvent& event) {
  resource_table_t& t = rt();
  if (event.IsChecked() && t.RES_CMAP_LABELS->read()) t.RES_CMAP_LABELS->write_no_changeprocs(false);
  t.RES_CMAP_BINARY->write(event.IsChecked());
}

void draw_page::OnCmapLabels(wxCommandEvent& event) {
  resource_table_t& t = rt();
  const bool on = event.IsChecked();
  const bool sixteen_bit = t.RES_BUF_DICOM->read() && !dicom_samples_8bit();
  if (!sixteen_bit) {
    if (on && t.RES_CMAP_BINARY->read()) t.RES_CMAP_BINARY->write_no_changeprocs(false);
    t.RES_CMAP_LABELS->write(on);
    return;
  }
  if (!on) {
    // The windowing saved when label mode began, not whatever came last.
    if (before_labels_.saved) {
      t.RES_DICOM_WIN_CENTRE->write_no_changeprocs(before_labels_.centre);
      t.RES_DICOM_WIN_WIDTH->write_no_changeprocs(before_labels_.width);
      t.RES_DICOM_FILTER->write_no_changeprocs(before_labels_.filter);
      t.RES_DICOM_FILTER_Z->write_no_changeprocs(before_labels_.filter_z);
      before_labels_.saved = false;
      t.RES_DICOM_REDRAW->write_no_changeprocs();
    }
    t.RES_CMAP_LABELS->write(false);
    return;
  }
  const int32_t frame = static_cast<int32_t>(t.RES_BUF_CURRENT_FRAME->read());
  frame_image_ref image = frame_store ? frame_store->imagecp(frame) : frame_image_ref();
  const size_t pixels = size_t(std::max<long>(0, t.RES_BUF_WIDTH->read())) *
                        size_t(std::max<long>(0, t.RES_BUF_HEIGHT->read()));
  // A frame without raw values cannot be tested and is not taken for labels.
  const bool labels = image && image->raw &&
                      raw_values_are_labels(image->raw, pixels, dicom_utility::padding_value,
                                            t.RES_DICOM_HUM->read(), t.RES_DICOM_HUB->read());
  if (!labels) {
    wxLogWarning(L"This is not categorical data, or there are more labels than available objects.");
    show_labels->SetValue(false);
    t.RES_CMAP_LABELS->write(false);
    return;
  }
  if (!t.RES_CMAP_LABELS->read() || !before_labels_.saved) {
    before_labels_ = {t.RES_DICOM_WIN_CENTRE->read(), t.RES_DICOM_WIN_WIDTH->read(),
                      t.RES_DICOM_FILTER->read(), t.RES_DICOM_FILTER_Z->read(), true};
  }
  // With this window a pixel's display level is its label value, unsmoothed.
  t.RES_DICOM_WIN_CENTRE->write_no_changeprocs(127.0);
  t.RES_DICOM_WIN_WIDTH->write_no_changeprocs(256.0);
  t.RES_DICOM_FILTER->write_no_changeprocs(0);
  t.RES_DICOM_FILTER_Z->write_no_changeprocs(0);
  t.RES_DICOM_REDRAW->write_no_changeprocs();
  if (t.RES_CMAP_BINARY->read()) t.RES_CMAP_BINARY->write_no_changeprocs(false);
  t.RES_CMAP_LABELS->write(true);
}
