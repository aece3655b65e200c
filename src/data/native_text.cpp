#include "data/native_text.h"

#include <wx/file.h>
#include <wx/filefn.h>
#include <wx/log.h>
#include <wx/strconv.h>

#include <cstring>
#include <cwchar>

namespace {

bool valid_utf8(const std::string& s, size_t from) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data()) + from;
  const auto* end = reinterpret_cast<const unsigned char*>(s.data()) + s.size();
  while (p < end) {
    const unsigned c = *p;
    if (c < 0x80) {
      ++p;
      continue;
    }
    int extra;
    unsigned min;
    if ((c & 0xE0) == 0xC0) {
      extra = 1;
      min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2;
      min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3;
      min = 0x10000;
    } else {
      return false;
    }
    if (end - p <= extra) return false;
    unsigned v = c & (0x3F >> extra);
    for (int i = 1; i <= extra; ++i) {
      if ((p[i] & 0xC0) != 0x80) return false;
      v = (v << 6) | (p[i] & 0x3F);
    }
    if (v < min || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return false;
    p += extra + 1;
  }
  return true;
}

// Past one line end (LF, CR LF or CR) at end.
template <class C>
size_t skip_line_end(const C* data, size_t end, size_t n) {
  if (end >= n) return end;
  if (data[end] == C('\r') && end + 1 < n && data[end + 1] == C('\n')) return end + 2;
  return end + 1;
}

}  // namespace

bool read_whole_file(const wxString& path, std::string& bytes) {
  if (wxDirExists(path)) return false;
  wxFile file;
  {
    wxLogNull quiet;  // the caller reports the failure in its own words
    if (!file.Open(path, wxFile::read)) return false;
  }
  const wxFileOffset length = file.Length();
  if (length < 0) return false;
  bytes.resize(static_cast<size_t>(length));
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t got = file.Read(&bytes[done], bytes.size() - done);
    if (got <= 0) return false;
    done += static_cast<size_t>(got);
  }
  return true;
}

line_source::line_source(std::string bytes) : bytes_(std::move(bytes)) {
  const std::string& b = bytes_;
  auto starts = [&](const char* mark, size_t n) {
    return b.size() >= n && b.compare(0, n, mark, n) == 0;
  };
  if (starts("\xFF\xFE\x00\x00", 4)) {
    wide_ = wxString(b.data() + 4, wxMBConvUTF32LE(), b.size() - 4);
  } else if (starts("\x00\x00\xFE\xFF", 4)) {
    wide_ = wxString(b.data() + 4, wxMBConvUTF32BE(), b.size() - 4);
  } else if (starts("\xFF\xFE", 2)) {
    wide_ = wxString(b.data() + 2, wxMBConvUTF16LE(), b.size() - 2);
  } else if (starts("\xFE\xFF", 2)) {
    wide_ = wxString(b.data() + 2, wxMBConvUTF16BE(), b.size() - 2);
  } else {
    if (starts("\xEF\xBB\xBF", 3)) pos_ = 3;
    latin1_ = !valid_utf8(bytes_, pos_);
    binary_ = std::memchr(bytes_.data(), '\0', bytes_.size()) != nullptr;
    return;
  }
  wide_mode_ = true;
  bytes_.clear();
  binary_ = std::wmemchr(wide_.wx_str(), L'\0', wide_.length()) != nullptr;
}

bool line_source::next(wxString& line) { return wide_mode_ ? next_wide(line) : next_narrow(line); }

bool line_source::next_narrow(wxString& line) {
  const size_t n = bytes_.size();
  if (pos_ >= n) return false;
  const char* data = bytes_.data();
  size_t end = pos_;
  bool ascii = true;
  while (end < n && data[end] != '\n' && data[end] != '\r') {
    ascii = ascii && static_cast<unsigned char>(data[end]) < 0x80;
    ++end;
  }
  const char* b = data + pos_;
  const size_t length = end - pos_;
  if (ascii)
    line = wxString::FromAscii(b, length);
  else if (latin1_)
    line = wxString(b, wxConvISO8859_1, length);
  else
    line = wxString::FromUTF8Unchecked(b, length);
  pos_ = skip_line_end(data, end, n);
  return true;
}

bool line_source::next_wide(wxString& line) {
  const size_t n = wide_.length();
  if (pos_ >= n) return false;
  const wchar_t* data = wide_.wx_str();
  size_t end = pos_;
  while (end < n && data[end] != L'\n' && data[end] != L'\r') ++end;
  line.assign(data + pos_, end - pos_);
  pos_ = skip_line_end(data, end, n);
  return true;
}
