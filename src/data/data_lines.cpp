#include "data/data_lines.h"

#include <wx/stream.h>

#include <charconv>
#include <climits>
#include <system_error>

static_assert(wxUSE_UNICODE_WCHAR, "word_reader walks the string's wide characters");

namespace {

bool is_separator(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

// The word as ASCII in buf; false when it holds other characters or is too
// long to be a number of any use.
bool to_ascii(const word_t& w, char* buf, size_t cap) {
  if (w.size == 0 || w.size >= cap) return false;
  for (size_t i = 0; i < w.size; ++i) {
    const wchar_t c = w.begin[i];
    if (c <= 0 || c >= 128) return false;
    buf[i] = static_cast<char>(c);
  }
  buf[w.size] = '\0';
  return true;
}

constexpr size_t kNumberChars = 512;

}  // namespace

bool word_to_int32(const word_t& w, int32_t& out) {
  char buf[kNumberChars];
  if (!to_ascii(w, buf, sizeof buf)) return false;
  const char* p = buf;
  const char* end = buf + w.size;
  if (*p == '+') ++p;
  if (p == end || *p == '+') return false;
  long long v = 0;
  auto [ptr, ec] = std::from_chars(p, end, v, 10);
  if (ec != std::errc() || ptr != end || v < INT32_MIN || v > INT32_MAX) return false;
  out = static_cast<int32_t>(v);
  return true;
}

bool word_to_double(const word_t& w, double& out) {
  char buf[kNumberChars];
  if (!to_ascii(w, buf, sizeof buf)) return false;
  const char* p = buf;
  const char* end = buf + w.size;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  if (p == end || *p == '+' || *p == '-') return false;
  double v = 0.0;
  auto [ptr, ec] = std::from_chars(p, end, v, std::chars_format::general);
  if (ec != std::errc() || ptr != end) return false;
  out = negative ? -v : v;
  return true;
}

wxString word_to_string(const word_t& w) { return wxString(w.begin, w.size); }

word_reader::word_reader(const wxString& text)
    : pos_(text.wx_str()), end_(text.wx_str() + text.length()) {}

bool word_reader::next(word_t& w) {
  while (pos_ < end_ && is_separator(*pos_)) ++pos_;
  if (pos_ == end_) {
    w = word_t();
    return false;
  }
  const wchar_t* b = pos_;
  while (pos_ < end_ && !is_separator(*pos_)) ++pos_;
  w.begin = b;
  w.size = static_cast<size_t>(pos_ - b);
  return true;
}

bool word_reader::next_int(int32_t& v) {
  word_t w;
  return next(w) && word_to_int32(w, v);
}

bool word_reader::next_double(double& v) {
  word_t w;
  return next(w) && word_to_double(w, v);
}

wxString word_reader::rest_as_name() {
  wxString name;
  word_t w;
  while (next(w)) {
    if (!name.empty()) name += L' ';
    name.append(w.begin, w.size);
  }
  return name;
}

wxString join_name(const wxString& a, const wxString& b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  return a + " " + b;
}

// ---- writing ---------------------------------------------------------------

void append_int(std::string& s, long long v) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  s.append(buf, r.ptr);
}

void append_uint(std::string& s, unsigned long long v) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  s.append(buf, r.ptr);
}

void append_fixed(std::string& s, double v, int decimals) {
  char buf[400];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  if (r.ec == std::errc()) s.append(buf, r.ptr);
}

void append_general(std::string& s, double v) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 6);
  if (r.ec == std::errc()) s.append(buf, r.ptr);
}

void append_line_text(std::string& s, const wxString& text) {
  const size_t start = s.size();
  const wxScopedCharBuffer utf8 = text.utf8_str();
  s.append(utf8.data(), utf8.length());
  for (size_t i = start; i < s.size(); ++i)
    if (s[i] == '\r' || s[i] == '\n') s[i] = ' ';
}

bool write_bytes(wxOutputStream& out, const std::string& s) {
  if (s.empty()) return out.IsOk();
  out.Write(s.data(), s.size());
  return out.LastWrite() == s.size() && out.IsOk();
}

bool line_sink::flush() {
  if (!buf_.empty()) {
    if (ok_) ok_ = write_bytes(out_, buf_);
    buf_.clear();
  }
  return ok_ && out_.IsOk();
}
