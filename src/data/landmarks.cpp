// The landmark list: adding with default names, finding, removing, spine
// classification and the checks on names the user gives.
#include "data/landmarks.h"

#include <algorithm>
#include <cwchar>

#include <wx/log.h>

const wchar_t* const spine_part_names[SPINE_PARTS] = {
    L"Left Lamina",
    L"Spinous Process",
    L"Right Lamina",
};

const wchar_t* const spine_reference_names[SPINE_PARTS] = {
    L"Left Lower",
    L"Central Upper",
    L"Right Lower",
};

const wchar_t* const spine_level_names[SPINE_LEVELS] = {
    L"C3", L"C4", L"C5", L"C6", L"C7", L"T1",  L"T2",  L"T3",  L"T4",  L"T5",  L"T6",
    L"T7", L"T8", L"T9", L"T10", L"T11", L"T12", L"L1", L"L2", L"L3", L"L4", L"L5",
};

namespace {

landmark_t make_landmark(const vec3_t& p, const wxString& name, int32_t kind) {
  landmark_t lm;
  lm.x = p.x;
  lm.y = p.y;
  lm.z = p.z;
  lm.name = name;
  lm.kind = kind;
  return lm;
}

void warn(const wxString& text) {
  wxLogger(wxLOG_Warning, __FILE__, __LINE__, "landmarks::check_name", wxLOG_COMPONENT)
      .Log("%s", text);
}

bool is_blank(wxUniChar c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

wxString landmark_t::full_name() const { return wxString::Format("%i:%s", object, name); }

wxString spine_landmark_name(int part, int level) {
  if (part < 0 || part >= SPINE_PARTS || level < -1 || level >= SPINE_LEVELS) return wxString();
  if (level == -1) return wxString("Spine ") + spine_reference_names[part];
  return wxString(spine_level_names[level]) + " " + spine_part_names[part];
}

// ---- adding -----------------------------------------------------------------

void landmarks::add_landmark(const vec3_t& point, const wxString& name, int32_t kind) {
  if (kind == LM_SURFACE || kind == LM_SPINE) return;
  landmark_t lm = make_landmark(point, name, kind);
  classify_spine_name(lm);
  items.push_back(lm);
}

void landmarks::add_surface_landmark(const vec3_t& point, const vec3_t& normal, int32_t object,
                                     const wxString& name) {
  landmark_t lm = make_landmark(point, name, LM_SURFACE);
  lm.nx = normal.x;
  lm.ny = normal.y;
  lm.nz = normal.z;
  lm.object = object;
  items.push_back(lm);
}

bool landmarks::name_taken(const wxString& name) const {
  return std::any_of(items.begin(), items.end(),
                     [&](const landmark_t& l) { return l.name == name; });
}

void landmarks::add_default_landmark(const vec3_t& point, int32_t kind) {
  const char* pattern = kind == LM_FIDUCIAL ? "Fiducial %i" : "Landmark %i";
  wxString name;
  for (int n = 1;; ++n) {
    name.Printf(pattern, n);
    if (!name_taken(name)) break;
  }
  landmark_t lm = make_landmark(point, name, kind);
  classify_spine_name(lm);
  items.push_back(lm);
}

void landmarks::add_default_surface_landmark(const vec3_t& point, const vec3_t& normal,
                                             int32_t object) {
  wxString name;
  for (int n = 1;; ++n) {
    name.Printf("Surface %i", n);
    size_t pos;
    if (!find_surface_landmark(name, object, pos)) break;
  }
  add_surface_landmark(point, normal, object, name);
}

void landmarks::set_spine_landmark(const vec3_t& point, int part, int level) {
  if (part < 0 || part >= SPINE_PARTS || level < -1 || level >= SPINE_LEVELS) return;
  size_t pos;
  if (find_spine_landmark(part, level, pos)) {
    items[pos].x = point.x;
    items[pos].y = point.y;
    items[pos].z = point.z;
    return;
  }
  landmark_t lm = make_landmark(point, spine_landmark_name(part, level), LM_SPINE);
  lm.part = part;
  lm.level = level;
  items.push_back(lm);
}

// ---- finding ----------------------------------------------------------------

bool landmarks::find_by_name(const wxString& name, size_t& pos) const {
  for (pos = 0; pos < items.size(); ++pos) {
    const landmark_t& l = items[pos];
    if (l.name == name || (l.kind == LM_SURFACE && l.full_name() == name)) return true;
  }
  return false;
}

bool landmarks::find_surface_landmark(const wxString& name, int32_t object, size_t& pos) const {
  for (pos = 0; pos < items.size(); ++pos) {
    const landmark_t& l = items[pos];
    if (l.kind == LM_SURFACE && l.object == object && l.name == name) return true;
  }
  return false;
}

bool landmarks::find_spine_landmark(int part, int level, size_t& pos) const {
  for (pos = 0; pos < items.size(); ++pos) {
    const landmark_t& l = items[pos];
    if (l.kind == LM_SPINE && l.part == part && l.level == level) return true;
  }
  return false;
}

bool landmarks::nth_surface_landmark(size_t n, int32_t object, size_t& pos) const {
  size_t seen = 0;
  for (pos = 0; pos < items.size(); ++pos) {
    const landmark_t& l = items[pos];
    if (l.kind == LM_SURFACE && l.object == object && seen++ == n) return true;
  }
  return false;
}

// ---- changing and removing --------------------------------------------------

void landmarks::renumber_object(int32_t from, int32_t to) {
  for (landmark_t& l : items)
    if (l.kind == LM_SURFACE && l.object == from) l.object = to;
}

void landmarks::remove_data_landmarks() {
  items.erase(std::remove_if(items.begin(), items.end(),
                             [](const landmark_t& l) { return l.kind != LM_FIDUCIAL; }),
              items.end());
}

void landmarks::remove_fiducials() {
  items.erase(std::remove_if(items.begin(), items.end(),
                             [](const landmark_t& l) { return l.kind == LM_FIDUCIAL; }),
              items.end());
}

// ---- names ------------------------------------------------------------------

namespace {

// The name's characters against a wide text, without making strings: every
// landmark read from a file is classified.
bool starts_with(const wxString& name, const wchar_t* head, size_t from = 0) {
  const size_t n = std::wcslen(head);
  return name.length() >= from + n && std::wmemcmp(name.wx_str() + from, head, n) == 0;
}

bool ends_with(const wxString& name, const wchar_t* tail) {
  const size_t n = std::wcslen(tail);
  return name.length() >= n && std::wmemcmp(name.wx_str() + name.length() - n, tail, n) == 0;
}

}  // namespace

void landmarks::classify_spine_name(landmark_t& lm) {
  if (lm.kind != LM_DATA && lm.kind != LM_SPINE) return;
  lm.kind = LM_SPINE;

  // A level name and a space.
  int level = -1;
  for (int i = 0; i < SPINE_LEVELS && level < 0; ++i) {
    const size_t n = std::wcslen(spine_level_names[i]);
    if (starts_with(lm.name, spine_level_names[i]) && lm.name.length() > n && lm.name[n] == ' ')
      level = i;
  }
  if (level >= 0)
    lm.level = level;
  else
    lm.kind = LM_DATA;

  int part = -1;
  for (int j = 0; j < SPINE_PARTS && part < 0; ++j)
    if (ends_with(lm.name, spine_part_names[j])) part = j;
  if (part >= 0)
    lm.part = part;
  else
    lm.kind = LM_DATA;

  // "Spine " and a reference name, exactly.
  for (int k = 0; k < SPINE_PARTS; ++k) {
    if (lm.name.length() == 6 + std::wcslen(spine_reference_names[k]) &&
        starts_with(lm.name, L"Spine ") && starts_with(lm.name, spine_reference_names[k], 6)) {
      lm.kind = LM_SPINE;
      lm.part = k;
      lm.level = -1;
      break;
    }
  }
}

bool landmarks::check_name(const wxString& name, int32_t kind, bool accept_duplicate,
                           size_t& pos) const {
  for (pos = 0; pos < items.size(); ++pos) {
    const landmark_t& l = items[pos];
    bool same = l.kind == LM_SURFACE ? l.full_name() == name : l.name == name;
    if (!same) continue;
    if (accept_duplicate) return true;
    warn("Landmark name must not be the same as another landmark name");
    return false;
  }
  if (!name.empty() && is_blank(name[0])) {
    warn("Landmark name must not begin with white space");
    return false;
  }
  if (name.empty()) {
    warn("Landmark name must not be empty!");
    return false;
  }
  // "3:Apex" is how a surface landmark of object 3 is known; another kind
  // taking that form would share its key.
  if (kind != LM_SURFACE) {
    long object = 0;
    const int colon = name.Find(':');
    if (colon > 0 && name.Left(static_cast<size_t>(colon)).ToLong(&object)) {
      warn("Landmark name must not begin with a number and a colon");
      return false;
    }
  }
  bool fiducial_word = name.StartsWith("Fiducial");
  if (kind == LM_FIDUCIAL && !fiducial_word) {
    warn("Fiducial landmark names must begin with the word Fiducial");
    return false;
  }
  if (kind != LM_FIDUCIAL && fiducial_word) {
    warn("Data landmark names must not begin with the word Fiducial");
    return false;
  }
  return true;
}
