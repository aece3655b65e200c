#include "tasks/landmark_rows.h"

#include <algorithm>
#include <cmath>

#include <wx/ffile.h>
#include <wx/filename.h>
#include <wx/log.h>

#include "data/file_save.h"
#include "data/objects.h"

const wchar_t* const kNoValue = L"--.--";
const char* const kLandmarkExportHeader =
    "File, Landmark, Type, Surface, Frame, x (mm), y (mm), z (mm)";

wxString landmark_key(const landmark_t& lm) {
  return lm.kind == LM_SURFACE ? lm.full_name() : lm.name;
}

wxString landmark_display_name(const wxString& key) {
  const int colon = key.Find(':');
  long object = 0;
  if (colon >= 0 && key.Left(static_cast<size_t>(colon)).ToLong(&object))
    return key.Mid(static_cast<size_t>(colon) + 1);
  return key;
}

long landmark_frame(double z) { return std::lround(z); }

// ---- rows ------------------------------------------------------------------

void landmark_rows::fill(int r, const wxString& k, const wxString& text) {
  used[size_t(r)] = true;
  key[size_t(r)] = k;
  shown[size_t(r)] = text;
}

void landmark_rows::free_row(int r) {
  if (r < 0 || r >= ROWS) return;
  used[size_t(r)] = false;
  key[size_t(r)].clear();
  shown[size_t(r)].clear();
}

int landmark_rows::row_of(const wxString& k) const {
  for (int r = 0; r < ROWS; ++r)
    if (used[size_t(r)] && key[size_t(r)] == k) return r;
  return -1;
}

int landmark_rows::first_free() const {
  for (int r = 0; r < ROWS; ++r)
    if (!used[size_t(r)]) return r;
  return -1;
}

void landmark_rows::clear() {
  held.clear();
  for (int r = 0; r < ROWS; ++r) free_row(r);
}

static bool contains(const std::vector<wxString>& list, const wxString& text) {
  return std::find(list.begin(), list.end(), text) != list.end();
}

wxString landmark_rows::select(std::vector<wxString>& selected, bool deselections_count) {
  wxString deselect;
  if (selected.size() > held.size()) {
    if (selected.size() == 4 && !held.empty()) {
      const wxString oldest = held.front();
      auto it = std::find(selected.begin(), selected.end(), oldest);
      if (it != selected.end()) {
        selected.erase(it);
        deselect = oldest;
        free_row(row_of(oldest));
        held.erase(held.begin());
      }
    }
    auto fresh = std::find_if(selected.begin(), selected.end(),
                              [&](const wxString& t) { return !contains(held, t); });
    if (fresh == selected.end()) return deselect;
    held.push_back(*fresh);
    const int r = first_free();
    if (r >= 0) fill(r, *fresh, landmark_display_name(*fresh));
    return deselect;
  }
  if (!deselections_count || held.empty()) return deselect;
  auto gone = std::find_if(held.begin(), held.end(),
                           [&](const wxString& k) { return !contains(selected, k); });
  if (gone == held.end()) return deselect;
  free_row(row_of(*gone));
  held.erase(gone);
  return deselect;
}

std::vector<wxString> landmark_rows::rebuild(const landmarks& lms) {
  std::vector<wxString> keys;
  for (const landmark_t& lm : lms) keys.push_back(landmark_key(lm));
  std::vector<wxString> to_select;
  for (auto it = held.begin(); it != held.end();) {
    if (contains(keys, *it)) {
      to_select.push_back(*it);
      ++it;
    } else {
      free_row(row_of(*it));
      it = held.erase(it);
    }
  }
  for (size_t i = lms.size(); i-- > 0 && held.size() < ROWS && held.size() < lms.size();) {
    if (contains(held, keys[i])) continue;
    held.push_back(keys[i]);
    to_select.push_back(keys[i]);
    const int r = first_free();
    if (r >= 0) fill(r, keys[i], lms[i].name);
  }
  return to_select;
}

// ---- grid ------------------------------------------------------------------

static wxString two_decimals(double v) { return wxString::Format("%.2lf", v); }

landmark_grid landmark_grid_values(const landmark_rows& rows, const landmarks& lms) {
  landmark_grid g;
  std::array<vec3_t, landmark_rows::ROWS> point{};
  std::array<long, landmark_rows::ROWS> frame{};
  for (int r = 0; r < landmark_rows::ROWS; ++r) {
    auto& column = g.position[size_t(r)];
    if (!rows.used[size_t(r)]) {
      for (int k = 0; k < 3; ++k) column[size_t(k)] = wxString(kNoValue);
      continue;
    }
    size_t pos = 0;
    if (!lms.find_by_name(rows.key[size_t(r)], pos)) return g;  // the rest stays as it is
    const landmark_t& lm = lms[pos];
    column[0] = two_decimals(lm.x * 10);
    column[1] = two_decimals(lm.y * 10);
    if (lm.kind == LM_2D) {
      column[2] = wxString(kNoValue);
      frame[size_t(r)] = landmark_frame(lm.z);
    } else {
      column[2] = two_decimals(lm.z * 10);
      frame[size_t(r)] = -1;
    }
    point[size_t(r)] = {lm.x, lm.y, lm.z};
  }
  // A 2D landmark's z is its frame: its distance is in the frame's plane.
  auto plane_point = [&](int r) {
    vec3_t p = point[size_t(r)];
    if (frame[size_t(r)] >= 0) p.z = 0;
    return p;
  };
  const int pairs[3][2] = {{0, 1}, {0, 2}, {1, 2}};
  for (int k = 0; k < 3; ++k) {
    const int a = pairs[k][0], b = pairs[k][1];
    if (rows.used[size_t(a)] && rows.used[size_t(b)] && frame[size_t(a)] == frame[size_t(b)])
      g.distance[size_t(k)] = two_decimals(vec3_length(plane_point(a) - plane_point(b)) * 10);
    else
      g.distance[size_t(k)] = wxString(kNoValue);
  }
  auto equal = [&](int a, int b) {
    return point[size_t(a)].x == point[size_t(b)].x && point[size_t(a)].y == point[size_t(b)].y &&
           point[size_t(a)].z == point[size_t(b)].z;
  };
  const bool all = rows.used[0] && rows.used[1] && rows.used[2];
  if (all && !equal(0, 1) && !equal(0, 2) && !equal(1, 2) && frame[0] == frame[1] &&
      frame[0] == frame[2]) {
    for (int r = 0; r < 3; ++r) {
      const vec3_t o = plane_point(r), u = plane_point((r + 1) % 3) - o,
                   v = plane_point((r + 2) % 3) - o;
      const double c = std::clamp(vec3_dot(u, v) / (vec3_length(u) * vec3_length(v)), -1.0, 1.0);
      g.position[size_t(r)][3] = two_decimals(std::acos(c) * 180.0 / M_PI);
    }
    g.locate_enabled = frame[0] == -1;
  } else {
    for (int r = 0; r < 3; ++r) g.position[size_t(r)][3] = wxString(kNoValue);
    g.locate_enabled = false;
  }
  return g;
}

// ---- renaming ----------------------------------------------------------------

rename_result rename_landmark(landmarks& lms, landmark_rows& rows, int r, const wxString& text,
                              bool& fiducial) {
  if (r < 0 || r >= landmark_rows::ROWS || !rows.used[size_t(r)]) return rename_result::unchanged;
  const wxString old_key = rows.key[size_t(r)];
  const wxString old_name = landmark_display_name(old_key);
  if (text == old_name) return rename_result::unchanged;
  size_t pos = 0;
  if (!lms.find_by_name(old_key, pos)) return rename_result::unchanged;
  landmark_t& lm = lms[pos];
  const wxString new_key =
      lm.kind == LM_SURFACE ? wxString::Format("%i:%s", int(lm.object), text) : text;
  size_t other = 0;
  if (!lms.check_name(new_key, lm.kind, false, other)) {
    rows.shown[size_t(r)] = old_name;
    return rename_result::refused;
  }
  landmark_t probe = lm;
  probe.name = text;
  probe.kind = LM_DATA;
  landmarks::classify_spine_name(probe);
  if (probe.kind == LM_SPINE) {
    lm.kind = LM_SPINE;
    lm.part = probe.part;
    lm.level = probe.level;
  } else if (lm.kind == LM_SPINE) {
    rows.shown[size_t(r)] = old_name;
    wxLogError("In-appropriate name for a spine landmark.");
    return rename_result::refused;
  }
  auto it = std::find(rows.held.begin(), rows.held.end(), old_key);
  if (it != rows.held.end()) *it = new_key;
  lm.name = text;
  rows.key[size_t(r)] = new_key;
  rows.shown[size_t(r)] = text;
  fiducial = lm.kind == LM_FIDUCIAL;
  return rename_result::renamed;
}

// ---- export ------------------------------------------------------------------

wxString csv_field(const wxString& text) {
  if (text.find_first_of(",\"\r\n") == wxString::npos) return text;
  wxString quoted = text;
  quoted.Replace("\"", "\"\"");
  return "\"" + quoted + "\"";
}

static wxString millimetres(const landmark_t& lm, bool with_z) {
  return with_z ? wxString::Format(", %.4lf, %.4lf, %.4lf", lm.x * 10, lm.y * 10, lm.z * 10)
                : wxString::Format(", %.4lf, %.4lf, ", lm.x * 10, lm.y * 10);
}

std::vector<wxString> landmark_export_lines(const landmarks& lms, const contour_object* objects,
                                           int object_count, const wxString& data_file) {
  std::vector<wxString> lines;
  const wxString file = csv_field(data_file);
  for (const landmark_t& lm : lms) {
    wxString line = file + ", " + csv_field(lm.name);
    switch (lm.kind) {
      case LM_FIDUCIAL:
        line += ", Fiducial, , " + millimetres(lm, true);
        break;
      case LM_2D:
        line += ", 2D, , " + wxString::Format("%ld", landmark_frame(lm.z)) + millimetres(lm, false);
        break;
      case LM_SURFACE: {
        const wxString object = objects && lm.object >= 0 && lm.object < object_count
                                    ? objects[lm.object].name
                                    : wxString();
        line += ", Surface, " + csv_field(object) + ", " + millimetres(lm, true);
        break;
      }
      case LM_SPINE: {
        // The reference row has no vertebra level of its own.
        const wxString level =
            lm.level >= 0 && lm.level < SPINE_LEVELS ? wxString(spine_level_names[lm.level]) : "Ref";
        line += ", Spine, " + level + ", " + millimetres(lm, true);
        break;
      }
      default:
        line += ", 3D, , " + millimetres(lm, true);
        break;
    }
    lines.push_back(line);
  }
  return lines;
}

bool append_landmark_export(const wxString& path, const std::vector<wxString>& lines,
                            wxString& error) {
  std::string bytes;
  if (wxFileName::FileExists(path)) {
    wxFFile in(path, "rb");
    wxString text;
    if (!in.IsOpened() || !in.ReadAll(&text, wxConvAuto())) {
      error = "Could not read " + path;
      return false;
    }
    const wxScopedCharBuffer utf8 = text.utf8_str();
    bytes.assign(utf8.data(), utf8.length());
    // The new lines start on a line of their own.
    if (!bytes.empty() && bytes.back() != '\n' && bytes.back() != '\r') bytes += "\r\n";
  } else {
    bytes = std::string(kLandmarkExportHeader) + "\r\n";
  }
  for (const wxString& line : lines) {
    const wxScopedCharBuffer utf8 = line.utf8_str();
    bytes.append(utf8.data(), utf8.length());
    bytes += "\r\n";
  }
  wxString why;
  if (!save_file(path, bytes, &why)) {
    error = why;
    return false;
  }
  return true;
}
