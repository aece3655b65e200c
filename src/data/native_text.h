// The text of a file of resource lines: read whole, decoded as a byte-order
// mark says, else as UTF-8, else as Latin-1, and split into lines at LF,
// CR LF or CR.
#pragma once

#include <wx/string.h>

#include <cstddef>
#include <string>

// Reads the file's bytes; false when it cannot be read (or is a folder).
bool read_whole_file(const wxString& path, std::string& bytes);

class line_source {
 public:
  explicit line_source(std::string bytes);
  bool next(wxString& line);
  // The text holds NUL characters, which no file of resource lines has.
  bool binary() const { return binary_; }

 private:
  bool next_narrow(wxString& line);
  bool next_wide(wxString& line);

  std::string bytes_;
  wxString wide_;
  bool wide_mode_ = false;
  bool latin1_ = false;
  bool binary_ = false;
  size_t pos_ = 0;
};
