// An output stream into a string, for tests of writers that write streams;
// it can be made to refuse bytes once it holds `limit` of them, as a full
// disk would.
#pragma once

#include <cstddef>
#include <limits>
#include <string>

#include <wx/stream.h>

class string_output_stream : public wxOutputStream {
 public:
  std::string bytes;
  size_t limit = std::numeric_limits<size_t>::max();

 protected:
  size_t OnSysWrite(const void* p, size_t n) override {
    if (bytes.size() + n > limit) {
      m_lasterror = wxSTREAM_WRITE_ERROR;
      return 0;
    }
    bytes.append(static_cast<const char*>(p), n);
    return n;
  }
};
