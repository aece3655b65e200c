// Rules of the GUI menu's window layouts that need no window: reading the
// 3D window size the user typed, whether it fits, and the limits of the
// control panes' sashes.
#pragma once

#include <wx/string.h>

// Reads "width x height": the text split at any of " \t\r\n,;xX", empty
// pieces dropped; exactly two decimal integers. False otherwise.
bool parse_window_size(const wxString& text, long* width, long* height);

// Whether a pane of `value` pixels leaves both panes of a splitter of
// `extent` pixels above their minimum size.
bool pane_size_fits(long value, int minimum_pane, int extent, int sash_size);

// A proposed sash position held between lower and upper; when both limits
// apply (upper below lower) the upper one wins.
int limit_sash(int proposed, int lower, int upper);
