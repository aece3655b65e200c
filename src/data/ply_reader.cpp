// The PLY reader: the header line by line, then the data value by value.
#include <cerrno>
#include <charconv>
#include <cfloat>
#include <cinttypes>
#include <cmath>
#include <cstring>
#include <limits>

#include "data/ply_file.h"

namespace {

// Longest header line: a comment line of the longest text.
constexpr size_t kMaxHeaderLine = sizeof("comment ") - 1 + kPlyMaxComment;
// Longest ASCII number.
constexpr size_t kMaxToken = 64;
constexpr size_t kFileBuffer = size_t(1) << 18;

bool blank(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::vector<std::string> words_of(const std::string& line) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    const size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

bool is_integer(ply_type t) { return t != ply_type::float32 && t != ply_type::float64; }

template <typename T>
T load(const unsigned char* b, bool swap) {
  unsigned char c[sizeof(T)];
  if (swap)
    for (size_t i = 0; i < sizeof(T); ++i) c[i] = b[sizeof(T) - 1 - i];
  else
    std::memcpy(c, b, sizeof(T));
  T v;
  std::memcpy(&v, c, sizeof(T));
  return v;
}

double decode(ply_type t, const unsigned char* b, bool swap) {
  switch (t) {
    case ply_type::int8: return double(int8_t(b[0]));
    case ply_type::uint8: return double(b[0]);
    case ply_type::int16: return double(load<int16_t>(b, swap));
    case ply_type::uint16: return double(load<uint16_t>(b, swap));
    case ply_type::int32: return double(load<int32_t>(b, swap));
    case ply_type::uint32: return double(load<uint32_t>(b, swap));
    case ply_type::float32: return double(load<float>(b, swap));
    case ply_type::float64: return load<double>(b, swap);
  }
  return 0.0;
}

wxString text(const std::string& s) { return wxString::From8BitData(s.data(), s.size()); }

}  // namespace

// Bytes from a file, through a buffer, or from memory.
struct ply_reader::input {
  FILE* file = nullptr;
  std::vector<unsigned char> buffer;
  const unsigned char* cur = nullptr;
  const unsigned char* end = nullptr;
  uint64_t size = 0;      // of the whole input, when known
  uint64_t consumed = 0;  // bytes before cur
  bool read_error = false;

  ~input() {
    if (file) std::fclose(file);
  }
  bool refill() {
    if (!file) return false;
    const size_t got = std::fread(buffer.data(), 1, buffer.size(), file);
    if (got == 0 && std::ferror(file)) read_error = true;
    cur = buffer.data();
    end = cur + got;
    return got > 0;
  }
  uint64_t position() const { return consumed; }
  int next() {
    if (cur == end && !refill()) return -1;
    ++consumed;
    return *cur++;
  }
  int peek() {
    if (cur == end && !refill()) return -1;
    return *cur;
  }
  bool get(unsigned char* dst, size_t n) {
    while (n > 0) {
      if (cur == end && !refill()) return false;
      const size_t k = std::min(n, size_t(end - cur));
      std::memcpy(dst, cur, k);
      cur += k, dst += k, n -= k, consumed += k;
    }
    return true;
  }
  bool skip(uint64_t n) {
    while (n > 0) {
      if (cur == end && !refill()) return false;
      const size_t k = size_t(std::min<uint64_t>(n, uint64_t(end - cur)));
      cur += k, n -= k, consumed += k;
    }
    return true;
  }
};

ply_reader::ply_reader() = default;
ply_reader::~ply_reader() = default;

bool ply_reader::fail(const wxString& why) {
  if (error_.empty()) error_ = "\"" + name_ + "\": " + why;
  return false;
}

bool ply_reader::open_file(const wxString& path) {
  name_ = path;
  error_.clear();
  in_ = std::make_unique<input>();
  in_->file = std::fopen(path.fn_str(), "rb");
  if (!in_->file)
    return fail(wxString::Format("cannot be opened: %s.", wxString::FromUTF8(std::strerror(errno))));
  if (::fseeko(in_->file, 0, SEEK_END) == 0) {
    const off_t size = ::ftello(in_->file);
    in_->size = size > 0 ? uint64_t(size) : 0;
    ::fseeko(in_->file, 0, SEEK_SET);
  }
  in_->buffer.resize(kFileBuffer);
  in_->cur = in_->end = in_->buffer.data();
  return read_header();
}

bool ply_reader::open_memory(const void* data, size_t size, const wxString& name) {
  name_ = name;
  error_.clear();
  in_ = std::make_unique<input>();
  in_->cur = static_cast<const unsigned char*>(data);
  in_->end = in_->cur + size;
  in_->size = size;
  if (!data) in_->cur = in_->end = nullptr;
  return read_header();
}

const ply_element* ply_reader::find_element(const std::string& name) const {
  for (const ply_element& e : elements_)
    if (e.name == name) return &e;
  return nullptr;
}

int64_t ply_reader::set_callback(const std::string& element, const std::string& property,
                                 ply_callback cb) {
  for (size_t i = 0; i < elements_.size(); ++i) {
    if (elements_[i].name != element) continue;
    const int k = elements_[i].find_property(property);
    if (k < 0) return -1;
    callbacks_[i][size_t(k)] = std::move(cb);
    return elements_[i].count;
  }
  return -1;
}

// ---- header -------------------------------------------------------------------

bool ply_reader::read_header() {
  header_read_ = data_read_ = false;
  comments_.clear();
  obj_info_.clear();
  elements_.clear();
  callbacks_.clear();
  stop_reason_.clear();
  int number = 0;
  for (bool done = false; !done;) {
    std::string line;
    ++number;
    for (;;) {
      const int c = in_->next();
      if (c < 0) {
        if (number == 1) return fail("is not a PLY file: it does not begin with \"ply\".");
        if (in_->read_error) return fail("the file cannot be read.");
        return fail("the header ends without \"end_header\".");
      }
      if (c == '\n') break;
      if (line.size() > kMaxHeaderLine) {  // one more byte may be the '\r' of "\r\n"
        if (number == 1) return fail("is not a PLY file: it does not begin with \"ply\".");
        if (line.compare(0, 8, "comment ") == 0 || line.compare(0, 9, "obj_info ") == 0)
          return fail(wxString::Format("the comment on header line %d is longer than %zu bytes.",
                                       number, kPlyMaxComment));
        return fail(wxString::Format("header line %d is longer than %zu bytes.", number,
                                     kMaxHeaderLine));
      }
      line += char(c);
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (number == 1) {
      if (line != "ply") return fail("is not a PLY file: it does not begin with \"ply\".");
      continue;
    }
    if (number == 2) {
      const std::vector<std::string> w = words_of(line);
      if (w.size() != 3 || w[0] != "format")
        return fail("the second header line is not a \"format\" line.");
      if (w[1] == "ascii")
        format_ = ply_format::ascii;
      else if (w[1] == "binary_little_endian")
        format_ = ply_format::binary_little_endian;
      else if (w[1] == "binary_big_endian")
        format_ = ply_format::binary_big_endian;
      else
        return fail(wxString::Format("unknown PLY format \"%s\".", text(w[1])));
      if (w[2] != "1.0" && w[2] != "1")
        return fail(wxString::Format("unknown PLY version \"%s\".", text(w[2])));
      continue;
    }
    if (!parse_header_line(line, done)) {
      if (error_.empty()) fail(wxString::Format("header line %d is malformed.", number));
      error_ += wxString::Format(" (header line %d)", number);
      return false;
    }
  }
  callbacks_.assign(elements_.size(), {});
  for (size_t i = 0; i < elements_.size(); ++i) callbacks_[i].resize(elements_[i].properties.size());
  if (!check_counts()) return false;
  header_read_ = true;
  return true;
}

bool ply_reader::parse_header_line(const std::string& line, bool& done) {
  auto rest_after = [&](size_t keyword) {
    return line.size() > keyword ? line.substr(keyword + 1) : std::string();
  };
  if (line.compare(0, 7, "comment") == 0 && (line.size() == 7 || line[7] == ' ' || line[7] == '\t')) {
    std::string t = rest_after(7);
    if (t.size() > kPlyMaxComment)
      return fail(wxString::Format("a comment is longer than %zu bytes.", kPlyMaxComment));
    comments_.push_back(std::move(t));
    return true;
  }
  if (line.compare(0, 8, "obj_info") == 0 && (line.size() == 8 || line[8] == ' ' || line[8] == '\t')) {
    std::string t = rest_after(8);
    if (t.size() > kPlyMaxComment)
      return fail(wxString::Format("an obj_info line is longer than %zu bytes.", kPlyMaxComment));
    obj_info_.push_back(std::move(t));
    return true;
  }
  const std::vector<std::string> w = words_of(line);
  if (w.empty()) return fail("an empty header line.");
  if (w[0] == "end_header") {
    if (w.size() != 1) return fail("text after \"end_header\".");
    done = true;
    return true;
  }
  if (w[0] == "element") {
    if (w.size() != 3) return fail("an \"element\" line needs a name and a count.");
    for (const ply_element& e : elements_)
      if (e.name == w[1]) return fail(wxString::Format("element \"%s\" is declared twice.", text(w[1])));
    int64_t count = 0;
    const char* first = w[2].data();
    const char* last = first + w[2].size();
    const auto r = std::from_chars(first, last, count);
    if (r.ec != std::errc() || r.ptr != last || count < 0)
      return fail(wxString::Format("element \"%s\" has the count \"%s\", not a count of instances.",
                                   text(w[1]), text(w[2])));
    elements_.push_back(ply_element{w[1], count, {}});
    return true;
  }
  if (w[0] == "property") {
    if (elements_.empty()) return fail("a property comes before any element.");
    ply_element& e = elements_.back();
    ply_property p;
    if (w.size() == 5 && w[1] == "list") {
      p.is_list = true;
      if (!ply_type_from_name(w[2], p.length_type))
        return fail(wxString::Format("unknown type \"%s\".", text(w[2])));
      if (!ply_type_from_name(w[3], p.type))
        return fail(wxString::Format("unknown type \"%s\".", text(w[3])));
      if (!is_integer(p.length_type))
        return fail(wxString::Format("the length type of list \"%s\" is not an integer type.",
                                     text(w[4])));
      p.name = w[4];
    } else if (w.size() == 3 && w[1] != "list") {
      if (!ply_type_from_name(w[1], p.type))
        return fail(wxString::Format("unknown type \"%s\".", text(w[1])));
      p.name = w[2];
    } else {
      return fail("a malformed \"property\" line.");
    }
    if (e.find_property(p.name) >= 0)
      return fail(wxString::Format("element \"%s\" declares property \"%s\" twice.", text(e.name),
                                   text(p.name)));
    e.properties.push_back(std::move(p));
    return true;
  }
  return fail(wxString::Format("unknown keyword \"%s\".", text(w[0])));
}

// Every element's instances need some bytes: refuse counts the rest of the
// input cannot hold, so that a caller may reserve room for them.
bool ply_reader::check_counts() {
  if (in_->file && in_->size == 0) return true;  // size unknown
  const uint64_t after = in_->size >= in_->position() ? in_->size - in_->position() : 0;
  const bool ascii = format_ == ply_format::ascii;
  long double need = 0;
  for (const ply_element& e : elements_) {
    uint64_t least = 0;  // bytes of one instance at least
    for (const ply_property& p : e.properties)
      least += ascii ? 2 : ply_type_size(p.is_list ? p.length_type : p.type);
    need += static_cast<long double>(least) * static_cast<long double>(e.count);
    const long double room = static_cast<long double>(after) + (ascii ? 1 : 0);
    if (need > room)
      return fail(wxString::Format(
          "element \"%s\" announces %" PRId64 " instances, more than the %" PRIu64
          " bytes after the header can hold.",
          text(e.name), e.count, after));
  }
  return true;
}

// ---- data ---------------------------------------------------------------------

bool ply_reader::read_ascii_value(ply_type t, double& v, const ply_element& e, int64_t instance,
                                  const ply_property& p) {
  int c;
  do c = in_->next();
  while (c >= 0 && blank(c));
  if (c < 0) {
    if (in_->read_error) return fail("the file cannot be read.");
    return fail(wxString::Format("the data end early, in element \"%s\", instance %" PRId64
                                 ", property \"%s\".",
                                 text(e.name), instance, text(p.name)));
  }
  char token[kMaxToken + 1];
  size_t n = 0;
  token[n++] = char(c);
  while ((c = in_->peek()) >= 0 && !blank(c)) {
    if (n == kMaxToken) break;
    token[n++] = char(in_->next());
  }
  const char* last = token + n;
  bool ok;
  if (n == kMaxToken && c >= 0 && !blank(c)) {
    ok = false;
  } else if (is_integer(t)) {
    int64_t i = 0;
    const char* first = token + (token[0] == '+' && n > 1 ? 1 : 0);
    const auto r = std::from_chars(first, last, i);
    ok = r.ec == std::errc() && r.ptr == last;
    if (ok) {
      int64_t lo = 0, hi = 0;
      switch (t) {
        case ply_type::int8: lo = INT8_MIN, hi = INT8_MAX; break;
        case ply_type::uint8: lo = 0, hi = UINT8_MAX; break;
        case ply_type::int16: lo = INT16_MIN, hi = INT16_MAX; break;
        case ply_type::uint16: lo = 0, hi = UINT16_MAX; break;
        case ply_type::int32: lo = INT32_MIN, hi = INT32_MAX; break;
        default: lo = 0, hi = UINT32_MAX; break;
      }
      ok = i >= lo && i <= hi;
      v = double(i);
    }
  } else {
    const char* first = token + (token[0] == '+' && n > 1 ? 1 : 0);
    const auto r = std::from_chars(first, last, v);
    ok = r.ec == std::errc() && r.ptr == last;
    // A float property holds the float nearest the text.
    if (ok && t == ply_type::float32) {
      ok = !(std::isfinite(v) && std::fabs(v) > FLT_MAX);
      if (ok) v = double(float(v));
    }
  }
  if (!ok)
    return fail(wxString::Format("element \"%s\", instance %" PRId64 ", property \"%s\": \"%s\" is "
                                 "not a valid %s.",
                                 text(e.name), instance, text(p.name),
                                 text(std::string(token, n)), ply_type_name(t)));
  return true;
}

bool ply_reader::read_binary_value(ply_type t, double& v, const ply_element& e, int64_t instance,
                                   const ply_property& p) {
  const size_t size = ply_type_size(t);
  const bool swap = (format_ == ply_format::binary_big_endian) !=
                    (__BYTE_ORDER__ == __ORDER_BIG_ENDIAN__);
  if (size_t(in_->end - in_->cur) >= size) {
    v = decode(t, in_->cur, swap);
    in_->cur += size;
    in_->consumed += size;
    return true;
  }
  unsigned char b[8];
  if (!in_->get(b, size)) {
    if (in_->read_error) return fail("the file cannot be read.");
    return fail(wxString::Format("the data end early, in element \"%s\", instance %" PRId64
                                 ", property \"%s\".",
                                 text(e.name), instance, text(p.name)));
  }
  v = decode(t, b, swap);
  return true;
}

bool ply_reader::read() {
  if (!header_read_) return fail("the header was not read.");
  if (data_read_) return fail("the data were read already.");
  data_read_ = true;
  const bool ascii = format_ == ply_format::ascii;
  auto value = [&](ply_type t, double& v, const ply_element& e, int64_t i, const ply_property& p) {
    return ascii ? read_ascii_value(t, v, e, i, p) : read_binary_value(t, v, e, i, p);
  };
  auto stopped = [&]() {
    return fail(stop_reason_.empty() ? wxString("the reading was stopped.") : stop_reason_);
  };
  for (size_t ei = 0; ei < elements_.size(); ++ei) {
    const ply_element& e = elements_[ei];
    const std::vector<ply_callback>& cbs = callbacks_[ei];
    ply_value arg{&e, 0, nullptr, 1, 0, 0.0};
    // An element without properties holds no bytes, whatever its count.
    for (int64_t i = 0; i < e.count && !e.properties.empty(); ++i) {
      arg.instance = i;
      for (size_t pi = 0; pi < e.properties.size(); ++pi) {
        const ply_property& p = e.properties[pi];
        const ply_callback& cb = cbs[pi];
        arg.property = &p;
        double v;
        if (!p.is_list) {
          if (!value(p.type, v, e, i, p)) return false;
          if (cb) {
            arg.list_length = 1;
            arg.value_index = 0;
            arg.value = v;
            if (!cb(arg)) return stopped();
          }
          continue;
        }
        if (!value(p.length_type, v, e, i, p)) return false;
        if (v < 0)
          return fail(wxString::Format("element \"%s\", instance %" PRId64
                                       ", property \"%s\": negative list length.",
                                       text(e.name), i, text(p.name)));
        const int64_t length = int64_t(v);
        arg.list_length = length;
        if (cb) {
          arg.value_index = -1;
          arg.value = v;
          if (!cb(arg)) return stopped();
        }
        if (!cb && !ascii) {
          const uint64_t bytes = uint64_t(length) * ply_type_size(p.type);
          if (!in_->skip(bytes))
            return fail(wxString::Format("the data end early, in element \"%s\", instance %" PRId64
                                         ", property \"%s\".",
                                         text(e.name), i, text(p.name)));
          continue;
        }
        for (int64_t k = 0; k < length; ++k) {
          if (!value(p.type, v, e, i, p)) return false;
          if (cb) {
            arg.value_index = k;
            arg.value = v;
            if (!cb(arg)) return stopped();
          }
        }
      }
    }
  }
  return true;
}
