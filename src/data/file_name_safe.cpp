// Free-text names as parts of file names.
#include "data/file_save.h"

wxString safe_file_name_part(const wxString& name, int object) {
  wxString out;
  out.reserve(name.length());
  wxUniChar previous = 0;
  for (wxUniChar c : name) {
    const wxUniChar original = c;
    const bool reserved = c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' ||
                          c == '"' || c == '<' || c == '>' || c == '|';
    if (reserved || c.GetValue() < 32 || c.GetValue() == 127 || (c == '.' && previous == '.'))
      c = '_';
    out += c;
    previous = original;
  }
  if (out.Strip(wxString::both).empty()) return wxString::Format("%i", object);
  return out;
}
