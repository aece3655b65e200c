#include "app/window_layout.h"

#include <wx/tokenzr.h>

bool parse_window_size(const wxString& text, long* width, long* height) {
  wxStringTokenizer tokens(text, L" \t\r\n,;xX", wxTOKEN_STRTOK);
  if (tokens.CountTokens() != 2) return false;
  long w = 0, h = 0;
  if (!tokens.GetNextToken().ToLong(&w) || !tokens.GetNextToken().ToLong(&h)) return false;
  *width = w;
  *height = h;
  return true;
}

bool pane_size_fits(long value, int minimum_pane, int extent, int sash_size) {
  return minimum_pane < value && value < static_cast<long>(extent) - minimum_pane - sash_size;
}

int limit_sash(int proposed, int lower, int upper) {
  int position = proposed;
  if (proposed < lower) position = lower;
  if (proposed > upper) position = upper;
  return position;
}
