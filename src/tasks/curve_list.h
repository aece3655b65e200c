// The curves box of the Landmarks page without its windows: the held curve,
// the list's rebuild, and the naming and moving rules.
#pragma once

#include <vector>

#include <wx/string.h>

#include "data/curves.h"

// "object:name", the text of a curve's list item.
wxString curve_key(const curve_t& c);

// The first curve whose key is key; with skip_split, curves already cut
// along are passed over. -1 when none.
int find_curve(const curve_set& curves, const wxString& key, bool skip_split = false);

// What the box shows after the list is filled again.
struct curve_list_state {
  std::vector<wxString> items;  // keys in curve order
  wxString select;              // the item to select; empty for none
  int show = -1;                // the curve the controls show, -1 none
  bool keep_controls = false;   // the held curve is still there: controls stay as they are
};

// Rebuilds from curves; list_count is how many items the list had, held the
// held key (emptied or changed here).
curve_list_state rebuild_curve_list(const curve_set& curves, size_t list_count, wxString& held);

// The item text selected in the list: the curve it names, or -1.
int curve_of_item(const curve_set& curves, const wxString& item);

// Renames the held curve to text unless another curve of object has that
// name (logs the error, false). held follows the new name.
bool rename_curve(curve_set& curves, wxString& held, int object, const wxString& text);

enum class curve_move { nothing, refused, moved };
// Moves the held curve (not one already cut along) to object n; old_object
// is where it was.
curve_move move_curve(curve_set& curves, const wxString& held, long n, long max_objects,
                      int& old_object);
