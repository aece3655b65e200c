#include "tasks/curve_list.h"

#include <wx/log.h>

wxString curve_key(const curve_t& c) { return wxString::Format("%i:%s", int(c.object), c.name); }

int find_curve(const curve_set& curves, const wxString& key, bool skip_split) {
  if (key.empty()) return -1;
  for (size_t i = 0; i < curves.size(); ++i) {
    if (skip_split && curves[i].on_surface) continue;
    if (curve_key(curves[i]) == key) return static_cast<int>(i);
  }
  return -1;
}

curve_list_state rebuild_curve_list(const curve_set& curves, size_t list_count, wxString& held) {
  curve_list_state s;
  if (list_count < curves.size()) held.clear();  // a curve was added: it takes over
  for (const curve_t& c : curves.curves) s.items.push_back(curve_key(c));
  for (const wxString& item : s.items)
    if (!held.empty() && item == held) {
      s.select = item;
      s.keep_controls = true;
      return s;
    }
  if (!s.items.empty()) {
    held = s.items.back();
    s.select = held;
    s.show = static_cast<int>(s.items.size()) - 1;
  } else {
    held.clear();
  }
  return s;
}

int curve_of_item(const curve_set& curves, const wxString& item) {
  const int colon = item.Find(':');
  long object = 0;
  if (colon < 0 || !item.Left(static_cast<size_t>(colon)).ToLong(&object)) return -1;
  const wxString name = item.Mid(static_cast<size_t>(colon) + 1);
  for (size_t i = 0; i < curves.size(); ++i)
    if (curves[i].object == object && curves[i].name == name) return static_cast<int>(i);
  return -1;
}

bool rename_curve(curve_set& curves, wxString& held, int object, const wxString& text) {
  const int k = find_curve(curves, held);
  if (k < 0) return false;
  for (size_t i = 0; i < curves.size(); ++i)
    if (static_cast<int>(i) != k && curves[i].object == object && curves[i].name == text) {
      wxLogError("Surface curve must have a different name to all other curves.");
      return false;
    }
  curve_t& c = curves[size_t(k)];
  c.name = text;
  held = curve_key(c);
  return true;
}

curve_move move_curve(curve_set& curves, const wxString& held, long n, long max_objects,
                      int& old_object) {
  const int k = find_curve(curves, held, true);
  if (k < 0) return curve_move::nothing;
  curve_t& c = curves[size_t(k)];
  if (n < 0 || n >= max_objects || n == c.object) return curve_move::nothing;
  for (size_t i = 0; i < curves.size(); ++i)
    if (static_cast<int>(i) != k && curves[i].object == n && curves[i].name == c.name) {
      wxLogError("A surface curve with this name already exists in the new object.");
      return curve_move::refused;
    }
  old_object = c.object;
  c.object = static_cast<int32_t>(n);
  return curve_move::moved;
}
