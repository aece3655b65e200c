// The PLY type table and the writer.
#include <cfloat>
#include <cinttypes>
#include <cmath>
#include <algorithm>
#include <cstring>

#include "data/ply_file.h"

namespace {

struct type_entry {
  ply_type type;
  const char* name;
  const char* alias;
  size_t size;
};

constexpr type_entry kTypes[] = {
    {ply_type::int8, "char", "int8", 1},       {ply_type::uint8, "uchar", "uint8", 1},
    {ply_type::int16, "short", "int16", 2},    {ply_type::uint16, "ushort", "uint16", 2},
    {ply_type::int32, "int", "int32", 4},      {ply_type::uint32, "uint", "uint32", 4},
    {ply_type::float32, "float", "float32", 4}, {ply_type::float64, "double", "float64", 8},
};

// Written buffers reach the stream once they hold this many bytes.
constexpr size_t kFlushSize = size_t(1) << 20;

bool is_integer(ply_type t) { return t != ply_type::float32 && t != ply_type::float64; }

// Range of the integer types, as doubles.
void integer_range(ply_type t, double& lo, double& hi) {
  switch (t) {
    case ply_type::int8: lo = INT8_MIN, hi = INT8_MAX; break;
    case ply_type::uint8: lo = 0, hi = UINT8_MAX; break;
    case ply_type::int16: lo = INT16_MIN, hi = INT16_MAX; break;
    case ply_type::uint16: lo = 0, hi = UINT16_MAX; break;
    case ply_type::int32: lo = INT32_MIN, hi = INT32_MAX; break;
    case ply_type::uint32: lo = 0, hi = UINT32_MAX; break;
    default: lo = -DBL_MAX, hi = DBL_MAX; break;
  }
}

// Stores v little-endian at p.
template <typename T>
void store_le(char* p, T v) {
  std::memcpy(p, &v, sizeof(T));
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  for (size_t i = 0; i < sizeof(T) / 2; ++i) std::swap(p[i], p[sizeof(T) - 1 - i]);
#endif
}

const char* format_name(ply_format f) {
  switch (f) {
    case ply_format::ascii: return "ascii";
    case ply_format::binary_little_endian: return "binary_little_endian";
    case ply_format::binary_big_endian: return "binary_big_endian";
  }
  return "?";
}

}  // namespace

size_t ply_type_size(ply_type t) { return kTypes[size_t(t)].size; }
const char* ply_type_name(ply_type t) { return kTypes[size_t(t)].name; }

bool ply_type_from_name(const std::string& name, ply_type& t) {
  for (const type_entry& e : kTypes)
    if (name == e.name || name == e.alias) {
      t = e.type;
      return true;
    }
  return false;
}

int ply_element::find_property(const std::string& property) const {
  for (size_t i = 0; i < properties.size(); ++i)
    if (properties[i].name == property) return int(i);
  return -1;
}

// ---- writer -----------------------------------------------------------------

ply_writer::ply_writer(wxOutputStream& out, ply_format format)
    : out_(out), format_(format == ply_format::ascii ? format : ply_format::binary_little_endian) {}

ply_writer::~ply_writer() {
  if (!closed_) close();
}

bool ply_writer::fail(const wxString& why) {
  if (error_.empty()) error_ = why;
  return false;
}

bool ply_writer::header_open(const char* what) {
  if (header_written_ || closed_)
    return fail(wxString::Format("The PLY header is already written: cannot add %s.", what));
  return true;
}

bool ply_writer::check_name(const std::string& name, const char* what) {
  if (name.empty() || name.find_first_of(" \t\r\n") != std::string::npos)
    return fail(wxString::Format("The %s name \"%s\" is empty or holds blanks.", what,
                                 wxString::FromUTF8(name)));
  return true;
}

bool ply_writer::add_comment(const std::string& text) {
  if (!header_open("a comment")) return false;
  if (text.size() > kPlyMaxComment)
    return fail(wxString::Format("A PLY comment may hold at most %zu bytes; this one has %zu.",
                                 kPlyMaxComment, text.size()));
  if (text.find_first_of("\r\n") != std::string::npos)
    return fail("A PLY comment may not hold a line break.");
  header_lines_.push_back("comment " + text);
  return true;
}

bool ply_writer::add_obj_info(const std::string& text) {
  if (!header_open("obj_info")) return false;
  if (text.size() > kPlyMaxComment || text.find_first_of("\r\n") != std::string::npos)
    return fail("A PLY obj_info line is too long or holds a line break.");
  header_lines_.push_back("obj_info " + text);
  return true;
}

bool ply_writer::add_element(const std::string& name, int64_t count) {
  if (!header_open("an element") || !check_name(name, "element")) return false;
  if (count < 0) return fail(wxString::Format("Element \"%s\" has a negative count.", name));
  for (const ply_element& e : elements_)
    if (e.name == name) return fail(wxString::Format("Element \"%s\" is added twice.", name));
  elements_.push_back(ply_element{name, count, {}});
  return true;
}

bool ply_writer::add_scalar_property(const std::string& name, ply_type type) {
  if (!header_open("a property") || !check_name(name, "property")) return false;
  if (elements_.empty()) return fail("A PLY property needs an element before it.");
  ply_element& e = elements_.back();
  if (e.find_property(name) >= 0)
    return fail(wxString::Format("Element \"%s\" has a property \"%s\" already.", e.name, name));
  e.properties.push_back(ply_property{name, false, type, ply_type::uint8});
  return true;
}

bool ply_writer::add_list_property(const std::string& name, ply_type length_type,
                                   ply_type value_type) {
  if (!header_open("a property") || !check_name(name, "property")) return false;
  if (elements_.empty()) return fail("A PLY property needs an element before it.");
  if (!is_integer(length_type))
    return fail(wxString::Format("The length type of list \"%s\" is not an integer type.", name));
  ply_element& e = elements_.back();
  if (e.find_property(name) >= 0)
    return fail(wxString::Format("Element \"%s\" has a property \"%s\" already.", e.name, name));
  e.properties.push_back(ply_property{name, true, value_type, length_type});
  return true;
}

bool ply_writer::write_header() {
  if (!header_open("the header")) return false;
  std::string h = "ply\nformat ";
  h += format_name(format_);
  h += " 1.0\n";
  for (const std::string& line : header_lines_) h += line + "\n";
  for (const ply_element& e : elements_) {
    h += "element " + e.name + " " + std::to_string(e.count) + "\n";
    for (const ply_property& p : e.properties) {
      if (p.is_list)
        h += std::string("property list ") + ply_type_name(p.length_type) + " " +
             ply_type_name(p.type) + " " + p.name + "\n";
      else
        h += std::string("property ") + ply_type_name(p.type) + " " + p.name + "\n";
    }
  }
  h += "end_header\n";
  buffer_.assign(std::max(kFlushSize, h.size()) + 64, 0);
  std::memcpy(buffer_.data(), h.data(), h.size());
  used_ = h.size();
  header_written_ = true;
  element_ = 0, instance_ = 0, property_ = 0, list_left_ = -1;
  settle();
  return true;
}

// Moves past elements that hold no values.
void ply_writer::settle() {
  while (element_ < elements_.size() &&
         (instance_ >= elements_[element_].count || elements_[element_].properties.empty())) {
    ++element_;
    instance_ = 0;
    property_ = 0;
  }
}

void ply_writer::advance(double value) {
  const ply_element& e = elements_[element_];
  const ply_property& p = e.properties[property_];
  if (p.is_list) {
    if (list_left_ < 0)
      list_left_ = int64_t(value);
    else
      --list_left_;
    if (list_left_ > 0) return;
    list_left_ = -1;
  }
  if (++property_ < e.properties.size()) return;
  property_ = 0;
  if (format_ == ply_format::ascii) append("\n", 1);
  line_start_ = true;
  ++instance_;
  settle();
}

bool ply_writer::put_value(ply_type t, double v) {
  if (is_integer(t)) {
    double lo, hi;
    integer_range(t, lo, hi);
    if (!(v > lo - 1 && v < hi + 1))  // also NaN
      return fail(wxString::Format("The value %g does not fit a PLY %s.", v, ply_type_name(t)));
    v = std::trunc(v);
  } else if (t == ply_type::float32 && std::isfinite(v) && std::fabs(v) > FLT_MAX) {
    return fail(wxString::Format("The value %g does not fit a PLY float.", v));
  }
  if (format_ == ply_format::ascii) {
    char text[40];
    int n;
    if (is_integer(t))
      n = std::snprintf(text + 1, sizeof text - 1, "%" PRId64, int64_t(v));
    else if (t == ply_type::float32)
      n = std::snprintf(text + 1, sizeof text - 1, "%.9g", double(float(v)));
    else
      n = std::snprintf(text + 1, sizeof text - 1, "%.17g", v);
    text[0] = ' ';
    append(line_start_ ? text + 1 : text, size_t(n) + (line_start_ ? 0 : 1));
    line_start_ = false;
    return true;
  }
  // The buffer keeps 64 bytes of room beyond kFlushSize.
  char* p = buffer_.data() + used_;
  switch (t) {
    case ply_type::int8: store_le(p, int8_t(v)); break;
    case ply_type::uint8: store_le(p, uint8_t(v)); break;
    case ply_type::int16: store_le(p, int16_t(v)); break;
    case ply_type::uint16: store_le(p, uint16_t(v)); break;
    case ply_type::int32: store_le(p, int32_t(v)); break;
    case ply_type::uint32: store_le(p, uint32_t(v)); break;
    case ply_type::float32: store_le(p, float(v)); break;
    case ply_type::float64: store_le(p, v); break;
  }
  used_ += ply_type_size(t);
  return true;
}

bool ply_writer::write_value(double value) {
  if (!header_written_ || closed_) return fail("PLY values come after the header.");
  if (failed_stream_) return false;
  if (element_ >= elements_.size())
    return fail("More PLY values are written than the header announces.");
  const ply_property& p = elements_[element_].properties[property_];
  const bool length = p.is_list && list_left_ < 0;
  if (length && !(value >= 0))
    return fail(wxString::Format("A PLY list length may not be %g.", value));
  if (!put_value(length ? p.length_type : p.type, value)) return false;
  advance(value);
  if (used_ >= kFlushSize) return flush_buffer();
  return true;
}

void ply_writer::append(const char* p, size_t n) {
  if (used_ + n + 64 > buffer_.size()) buffer_.resize(used_ + n + kFlushSize + 64);
  std::memcpy(buffer_.data() + used_, p, n);
  used_ += n;
}

bool ply_writer::flush_buffer() {
  if (failed_stream_) return false;
  if (used_ > 0) {
    out_.Write(buffer_.data(), used_);
    if (out_.LastWrite() != used_ || !out_.IsOk()) {
      failed_stream_ = true;
      used_ = 0;
      return fail("The PLY data could not be written.");
    }
  }
  used_ = 0;
  return true;
}

bool ply_writer::close() {
  if (closed_) return error_.empty();
  bool ok = flush_buffer();
  closed_ = true;
  if (header_written_ && element_ < elements_.size())
    ok = fail("The PLY data end before all the values the header announces.");
  return ok && error_.empty();
}
