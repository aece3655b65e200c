#include "tasks/object_export.h"

#include <algorithm>
#include <memory>
#include <set>

#include <wx/filename.h>

#include "data/file_save.h"
#include "data/objects.h"
#include "registry/resource_table.h"
#include "surfaces/surface_interp.h"
#include "surfaces/surface_section.h"
#include "tasks/draw_page_rules.h"
#include "views/review_coords.h"

const wchar_t* const OBJECT_EXPORT_WILDCARD =
    L"VRML file|*.wrl|PLY file|*.ply|NIfTI mask|*.nii.gz|NRRD mask|*.nhdr|CSV info file|*.csv|"
    L"Text info file|*.txt|All files|*.*";

object_export_kind object_export_kind_of(int filter_index) {
  if (filter_index < 0 || filter_index > int(object_export_kind::all_files)) return object_export_kind::all_files;
  return object_export_kind(filter_index);
}

bool export_needs_surface(object_export_kind kind) { return kind <= object_export_kind::nrrd_mask; }

namespace {

std::string fixed3(double v) { return std::string(wxString::Format(L"%.3f", v).utf8_str()); }

// A field as CSV keeps it: quoted, quotes doubled, when it holds a separator.
std::string csv_field(const wxString& text) {
  const std::string s(text.utf8_str());
  if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
  std::string quoted = "\"";
  for (char c : s) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

// How enclosed values are given: display bytes, calibrated raw values, or
// bone mineral density from them.
struct value_scale {
  bool raw = false, bmd = false;
  double slope = 1, intercept = 0, bmd_scale = 1, bmd_offset = 0;
  double operator()(double v) const {
    if (!raw) return v;
    v = v * slope + intercept;
    return bmd ? (v - bmd_offset) / bmd_scale : v;
  }
};

struct frame_row {
  int32_t frame = 0;
  double area_mm2 = 0, perimeter_mm = 0;
  bool enclosed = false;
  double mean = 0, min = 0, max = 0;
  vec3_t centre;
};

// Area, perimeter, enclosed values and world centre of one frame's contours.
frame_row measure_row(frame_contours_t& entry, const value_scale& scale, const image_calibration_t& c) {
  const resource_table_t& t = *resource_table;
  frame_row row;
  row.frame = entry.frame;
  entry.measure(0, true);
  row.area_mm2 = std::max(0.0, entry.area) * c.xscale * c.yscale * 100.0;
  row.perimeter_mm = entry.length(c.yscale / c.xscale) * c.xscale * 10.0;
  double mean = 0, max = 0, min = 0;
  if (contour_pixel_stats(entry, mean, max, min)) {
    row.enclosed = true;
    row.mean = scale(mean);
    row.min = scale(min);
    row.max = scale(max);
  }
  position_ref p = frame_store && t.RES_POS_REC->read() ? frame_store->positioncp(entry.frame) : position_ref();
  if (p && p.get())
    row.centre = frame_pixel_to_world(c, *p, entry.centroid_x, entry.centroid_y);
  else
    row.centre = vec3_t{entry.centroid_x * c.xscale, entry.centroid_y * c.yscale, 0.0};
  return row;
}

}  // namespace

std::string object_statistics_text(int32_t object) {
  resource_table_t& t = *resource_table;
  value_scale scale;
  scale.raw = t.RES_BUF_DICOM->read() && frame_has_raw_values(0);
  scale.bmd_scale = t.RES_DICOM_BMD_SCALE->read();
  scale.bmd_offset = t.RES_DICOM_BMD_OFFSET->read();
  scale.bmd = scale.raw && (scale.bmd_scale != 1.0 || scale.bmd_offset != 0.0);
  scale.slope = t.RES_DICOM_HUM->read();
  scale.intercept = t.RES_DICOM_HUB->read();
  const std::string unit =
      scale.bmd ? std::string(" (mg/ml)") : scale.raw ? " " + std::string(t.RES_DICOM_UNITS->read().utf8_str()) : "";
  const std::string eol = "\r\n";
  std::string text = "Object,Frame,Volume (cc),Area (sq mm),Perimeter (mm),Average enclosed" + unit +
                     ",Minimum enclosed" + unit + ",Maximum enclosed" + unit +
                     ",Centre x (mm),Centre y (mm),Centre z (mm)" + eol;
  std::string frame_rows;
  const image_calibration_t c = calibration_from_resources();
  contour_object* objects = t.RES_OBJECT->read();
  const int32_t count = std::min<int32_t>(NUM_USER_OBJECTS, int32_t(t.CURRENT_MAX_OBJECTS->read()));
  const int32_t frames = std::max<int32_t>(0, int32_t(t.RES_BUF_FRAMES->read()));
  for (int32_t k = 0; k < count; ++k) {
    if (object >= 0 && k != object) continue;
    const surface_interp* s = t.RES_SURFACE[k]->read();
    if (!s && objects[k].frames.empty()) continue;
    std::vector<frame_row> rows;
    if (s) {
      for (int32_t j = 0; j < frames; ++j) {
        std::unique_ptr<frame_contours_t> section = plane_cross_section(*s, j, 1, 0.1);
        if (!section || section->contours.empty()) continue;
        section->frame = j;
        rows.push_back(measure_row(*section, scale, c));
      }
    } else {
      for (const frame_contours_t& kept : objects[k].frames) {
        if (kept.contours.empty() || kept.area == 0.0) continue;
        frame_contours_t entry = kept;  // measuring must not disturb the object's record
        rows.push_back(measure_row(entry, scale, c));
      }
    }
    const std::string name = csv_field(objects[k].name);
    double total = 0, sum = 0, low = 1e10, high = -1e10;
    for (const frame_row& r : rows) {
      frame_rows += name + "," + std::to_string(r.frame) + ", ," + fixed3(r.area_mm2) + "," +
                    fixed3(r.perimeter_mm) + ",";
      if (r.enclosed) {
        frame_rows += fixed3(r.mean) + "," + fixed3(r.min) + "," + fixed3(r.max) + ",";
        total += r.area_mm2 / 100.0;
        sum += r.area_mm2 / 100.0 * r.mean;
        low = std::min(low, r.min);
        high = std::max(high, r.max);
      } else {
        frame_rows += " , , ,";
      }
      frame_rows += fixed3(r.centre.x * 10) + "," + fixed3(r.centre.y * 10) + "," + fixed3(r.centre.z * 10) + eol;
    }
    text += name + ", ," + fixed3(s ? s->volume : objects[k].volume) + ", , ,";
    text += total > 0 ? fixed3(sum / total) + "," + fixed3(low) + "," + fixed3(high) + "," : std::string(" , , ,");
    text += s ? fixed3(s->centroid.x * 10) + "," + fixed3(s->centroid.y * 10) + "," + fixed3(s->centroid.z * 10)
              : std::string(" , , ");
    text += eol;
  }
  return text + frame_rows;
}

bool write_object_statistics(const wxString& path, int32_t object, wxString* why) {
  return save_file(path, object_statistics_text(object), why);
}

std::vector<wxString> per_object_surface_paths(const wxString& chosen, const std::vector<int32_t>& objects) {
  const contour_object* records = resource_table->RES_OBJECT->read();
  const wxFileName base(chosen);
  std::set<wxString> taken;
  std::vector<wxString> paths;
  for (int32_t k : objects) {
    wxFileName name(base);
    wxString part = base.GetName() + "_" + safe_file_name_part(records[k].name, k + 1);
    // Names differing only in case are one file on some systems.
    if (taken.count(part.Lower())) part += wxString::Format(L"_%i", k + 1);
    taken.insert(part.Lower());
    name.SetName(part);
    paths.push_back(name.GetFullPath());
  }
  return paths;
}

bool save_object_surfaces(const std::vector<int32_t>& objects, const std::vector<wxString>& paths, bool ply,
                          wxString* why) {
  resource_table_t& t = *resource_table;
  save_batch batch;
  int file = -1;
  bool first = true;
  for (size_t i = 0; i < objects.size(); ++i) {
    surface_interp* s = t.RES_SURFACE[objects[i]]->read();
    if (!s) continue;
    if (ply || file < 0) file = batch.add(ply ? paths.at(i) : paths.at(0));
    if (file < 0) break;
    save_output_stream stream(batch, file);
    const bool header = ply || first;
    first = false;
    if (!s->save_surface(stream, header, ply, false, 0)) {
      file = -1;
      break;
    }
  }
  if (file >= 0 && batch.commit()) return true;
  batch.abandon();
  if (why) *why = batch.error().empty() ? wxString(L"Error opening surface file for writing.") : batch.error();
  return false;
}

wxString script_results_path(const wxString& name, const wxString& results_folder) {
  wxFileName path(name);
  if (path.IsAbsolute() || results_folder.empty() || results_folder == L"INITIAL_STATE") return name;
  path.MakeAbsolute(results_folder);
  return path.GetFullPath();
}
