#include "registry/res_values.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>

#include <wx/fileconf.h>
#include <wx/txtstrm.h>

namespace {

bool is_white(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The C library's decimal integer conversion of the whole text: optional
// leading white space and sign, digits, nothing after, within 32 bits.
bool parse_int32(const wxString& text, int32_t& out) {
  const std::string s = text.ToStdString(wxConvUTF8);
  const char* begin = s.c_str();
  const char* p = begin;
  while (*p && is_white(*p)) ++p;
  if (!*p) return false;
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(p, &end, 10);
  if (end == p || *end != '\0' || errno == ERANGE) return false;
  if (v < INT32_MIN || v > INT32_MAX) return false;
  out = static_cast<int32_t>(v);
  return true;
}

// The C library's decimal floating-point conversion in the "C" locale,
// whatever the process locale is.
bool parse_double(const wxString& text, double& out) {
  const std::string s = text.ToStdString(wxConvUTF8);
  const char* p = s.c_str();
  const char* end = p + s.size();
  while (p < end && is_white(*p)) ++p;
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) {
    negative = *p == '-';
    ++p;
  }
  if (p == end || *p == '+' || *p == '-') return false;
  double v = 0;
  auto [ptr, ec] = std::from_chars(p, end, v, std::chars_format::general);
  if (ec != std::errc() || ptr != end) return false;
  out = negative ? -v : v;
  return true;
}

wxString format_double(double v, std::chars_format fmt, int precision) {
  char buf[64];
  auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, v, fmt, precision);
  if (ec != std::errc()) return wxString();
  return wxString::FromAscii(buf, ptr - buf);
}

wxString trim_white(const wxString& text) {
  size_t b = 0, e = text.length();
  auto white = [](wxUniChar c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
  };
  while (b < e && white(text[b])) ++b;
  while (e > b && white(text[e - 1])) --e;
  return text.substr(b, e - b);
}

void write_line(wxTextOutputStream& out, const wchar_t* name, const wxString& value) {
  out.WriteString(wxString(name) + " " + value + "\n");
}

}  // namespace

// ---------------------------------------------------------------------------
// Configuration binding

namespace {
config_value_check value_check = nullptr;
double_value_check double_check = nullptr;
}  // namespace

void set_config_value_check(config_value_check check) { value_check = check; }
void set_double_value_check(double_value_check check) { double_check = check; }

bool config_read_back(const wchar_t* key, bool fallback) {
  if (!app_config) return fallback;
  bool v = fallback;
  app_config->Read(key, &v, fallback);
  app_config->Write(key, v);
  return v;
}

int32_t config_read_back(const wchar_t* key, int32_t fallback) {
  if (!app_config) return fallback;
  long v = fallback;
  // A bad entry is overwritten with the default rather than deleted: the
  // toolkit's file configuration corrupts its line list when every entry of
  // a group is deleted, and the program then dies at start-up.
  if (!app_config->Read(key, &v, static_cast<long>(fallback)) || v < INT32_MIN || v > INT32_MAX ||
      (value_check && !value_check(key, v)))
    v = fallback;
  app_config->Write(key, v);
  return static_cast<int32_t>(v);
}

double config_read_back(const wchar_t* key, double fallback) {
  if (!app_config) return fallback;
  double v = fallback;
  if (!app_config->Read(key, &v, fallback) ||
      (double_check && double_check(key, RES_CLASS_CONFIG, v, false) != value_verdict::take))
    v = fallback;
  app_config->Write(key, v);
  return v;
}

wxString config_read_back(const wchar_t* key, const wxString& fallback) {
  if (!app_config) return fallback;
  wxString v = app_config->Read(key, fallback);
  app_config->Write(key, v);
  return v;
}

void config_write(const wchar_t* key, bool value) {
  if (app_config) app_config->Write(key, value);
}
void config_write(const wchar_t* key, int32_t value) {
  if (app_config) app_config->Write(key, static_cast<long>(value));
}
void config_write(const wchar_t* key, double value) {
  if (app_config) app_config->Write(key, value);
}
void config_write(const wchar_t* key, const wxString& value) {
  if (app_config) app_config->Write(key, value);
}

void log_template_misuse(const char* what, bool flag_kind) {
  wxLogError("Use of the %s in a template %sresource.\n", what, flag_kind ? "flag " : "");
}

// ---------------------------------------------------------------------------
// bool_res_t

bool bool_res_t::parse_value_no_changeprocs(wxString& text) {
  bool value;
  wxUniChar first = text.empty() ? wxUniChar(0) : text[0];
  if (first == 't' || first == 'T') {
    value = true;
  } else if (first == 'f' || first == 'F') {
    value = false;
  } else {
    int32_t n;
    if (!parse_int32(text, n) || (n != 0 && n != 1)) return false;
    value = n == 1;
  }
  store(value);
  return true;
}

wxString bool_res_t::get_value_as_string() { return current_ ? "true" : "false"; }

void bool_res_t::write_out_value(wxTextOutputStream& out) {
  write_line(out, name(), current_ ? "true" : "false");
}

// ---------------------------------------------------------------------------
// long_res_t

bool long_res_t::parse_value_no_changeprocs(wxString& text) {
  int32_t value;
  if (!parse_int32(text, value)) {
    wxUniChar first = text.empty() ? wxUniChar(0) : text[0];
    if (first == 't' || first == 'T')
      value = 1;
    else if (first == 'f' || first == 'F')
      value = 0;
    else
      return false;
  }
  store(value);
  return true;
}

wxString long_res_t::get_value_as_string() { return wxString::Format("%i", current_); }

void long_res_t::write_out_value(wxTextOutputStream& out) {
  write_line(out, name(), wxString::Format("%li", static_cast<long>(current_)));
}

// ---------------------------------------------------------------------------
// double_res_t

bool double_res_t::parse_value_no_changeprocs(wxString& text) {
  double value;
  if (!parse_double(text, value)) return false;
  if (double_check) switch (double_check(name(), class_flags(), value, true)) {
      case value_verdict::take: break;
      case value_verdict::skip: return true;
      case value_verdict::refuse: return false;
    }
  store(value);
  return true;
}

wxString double_res_t::get_value_as_string() {
  return format_double(current_, std::chars_format::fixed, 6);
}

void double_res_t::write_out_value(wxTextOutputStream& out) {
  write_line(out, name(), format_double(current_, std::chars_format::general, 6));
}

// ---------------------------------------------------------------------------
// wxString_res_t

bool wxString_res_t::parse_value_no_changeprocs(wxString& text) {
  store(trim_white(text));
  return true;
}

wxString wxString_res_t::get_value_as_string() { return current_; }

// A line break inside the text would start a new resource line in the file.
void wxString_res_t::write_out_value(wxTextOutputStream& out) {
  wxString text = current_;
  text.Replace("\r", " ");
  text.Replace("\n", " ");
  write_line(out, name(), text);
}

// ---------------------------------------------------------------------------
// flag_res_t

bool flag_res_t::commit() {
  set_changed(true);
  return true;
}

bool flag_res_t::parse_value_no_changeprocs(wxString&) {
  raise();
  return true;
}

wxString flag_res_t::get_value_as_string() {
  wxLogError("Use of the get_value_as_string in a flag resource.\n");
  return wxString();
}

void flag_res_t::write_out_value(wxTextOutputStream& out) {
  out.WriteString(wxString(name()) + "\n");
}
