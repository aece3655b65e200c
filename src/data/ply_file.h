// PLY surface files: the writer and the reader every part of the program
// uses for them.
//
// A PLY file is a text header followed by the data:
//
//   ply
//   format ascii 1.0            (or binary_little_endian 1.0, binary_big_endian 1.0)
//   comment any text            (any number, kept in order)
//   obj_info any text
//   element vertex 8            (name and instance count)
//   property float x            (scalar property: type and name)
//   element face 6
//   property list uchar int vertex_indices   (list: length type, value type, name)
//   end_header
//
// then, element by element, every instance with its property values in
// header order; a list is its length followed by that many values. ASCII
// data are blank-separated numbers, binary data the values in the declared
// byte order.
//
// The writer writes ASCII or binary little-endian data to an output stream
// the caller has opened and still owns; closing the writer flushes it and
// leaves the stream open, so that the caller decides (with the save helper's
// batch) whether the file is kept.
//
// The reader reads all three formats from a file or from memory. It reads
// the header first, then calls the callbacks set on properties for every
// value of the data, skipping elements and properties without a callback.
// Neither prints nor logs: failures are returned as a sentence for the
// caller's message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <wx/stream.h>
#include <wx/string.h>

enum class ply_type : uint8_t { int8, uint8, int16, uint16, int32, uint32, float32, float64 };
enum class ply_format : uint8_t { ascii, binary_little_endian, binary_big_endian };

// The longest comment or obj_info text the writer adds and the reader
// accepts, in bytes (without "comment " and the line end).
constexpr size_t kPlyMaxComment = 1023;

// Bytes of one value of the type.
size_t ply_type_size(ply_type t);
// The name written for the type: "char", "uchar", "short", "ushort", "int",
// "uint", "float", "double".
const char* ply_type_name(ply_type t);
// The type of a name: the names above and their aliases "int8", "uint8",
// "int16", "uint16", "int32", "uint32", "float32", "float64". False for
// any other name.
bool ply_type_from_name(const std::string& name, ply_type& t);

struct ply_property {
  std::string name;
  bool is_list = false;
  ply_type type = ply_type::float32;         // the value type
  ply_type length_type = ply_type::uint8;    // lists only
};

struct ply_element {
  std::string name;
  int64_t count = 0;
  std::vector<ply_property> properties;
  // Index of the property named name, or -1.
  int find_property(const std::string& name) const;
};

// ---------------------------------------------------------------------------

class ply_writer {
 public:
  // A writer of the given format (ASCII or binary little-endian) on out.
  explicit ply_writer(wxOutputStream& out, ply_format format = ply_format::binary_little_endian);
  ~ply_writer();  // closes when close() was not called
  ply_writer(const ply_writer&) = delete;
  ply_writer& operator=(const ply_writer&) = delete;

  // The header, in file order. Each is refused (false, error() set) after
  // the header was written; a comment also when it is longer than
  // kPlyMaxComment or holds a line break; an element or property with an
  // empty name or one holding blanks; a property before any element, or
  // with a name its element has already; a list whose length type is not
  // an integer type.
  bool add_comment(const std::string& text);
  bool add_obj_info(const std::string& text);
  bool add_element(const std::string& name, int64_t count);
  bool add_scalar_property(const std::string& name, ply_type type);
  bool add_list_property(const std::string& name, ply_type length_type, ply_type value_type);
  bool write_header();

  // The next value of the data: the values of each instance in property
  // order, a list as its length followed by its values. Integer types take
  // the value truncated, float the nearest float. False (error() set) before
  // the header, past the last instance, for a value the type cannot hold
  // (out of range, or not a number for an integer type), for a negative
  // list length, or when the stream refuses the bytes.
  bool write_value(double value);

  // Writes out what is buffered; the stream stays open. False when the
  // stream refused bytes at any time, or the data written are fewer than
  // the header announces (what was written is still flushed).
  bool close();

  const wxString& error() const { return error_; }

 private:
  bool fail(const wxString& why);
  bool header_open(const char* what);
  bool check_name(const std::string& name, const char* what);
  bool put_value(ply_type t, double v);
  bool flush_buffer();
  void append(const char* p, size_t n);
  void advance(double value);
  void settle();

  wxOutputStream& out_;
  ply_format format_;
  std::vector<std::string> header_lines_;  // "comment ..." and "obj_info ..." lines, in order
  std::vector<ply_element> elements_;
  std::vector<char> buffer_;  // used_ bytes waiting for the stream
  size_t used_ = 0;
  wxString error_;
  bool header_written_ = false, closed_ = false, failed_stream_ = false;
  // Position in the data.
  size_t element_ = 0;
  int64_t instance_ = 0;
  size_t property_ = 0;
  int64_t list_left_ = -1;  // values of the current list still to come; -1: its length comes next
  bool line_start_ = true;  // ASCII: no value of the instance written yet
};

// ---------------------------------------------------------------------------

// One value handed to a read callback. For a list property the callback is
// called first with value_index -1 and the list's length as value, then
// once per list value with value_index 0, 1, ...; for a scalar property once
// per instance with value_index 0 and list_length 1.
struct ply_value {
  const ply_element* element;
  int64_t instance;
  const ply_property* property;
  int64_t list_length;
  int64_t value_index;
  double value;
};

// Returns false to stop reading; read() then fails with the text given to
// ply_reader::stop (or a plain one).
using ply_callback = std::function<bool(const ply_value&)>;

class ply_reader {
 public:
  ply_reader();
  ~ply_reader();
  ply_reader(const ply_reader&) = delete;
  ply_reader& operator=(const ply_reader&) = delete;

  // Opens the file (or takes the bytes, which must outlive the reader) and
  // reads its header. False, with error() set, when the file cannot be
  // opened or its header is not a well-formed PLY header: no "ply" line, an
  // unknown format or version, an unknown keyword or type, a header line
  // longer than the longest comment line, a comment longer than
  // kPlyMaxComment, a property outside an element or named twice, a list
  // whose length type is not an integer type, a negative or impossible
  // instance count (more instances than the bytes after the header could
  // hold), or a header without "end_header".
  bool open_file(const wxString& path);
  bool open_memory(const void* data, size_t size, const wxString& name = "memory");

  ply_format format() const { return format_; }
  const std::vector<std::string>& comments() const { return comments_; }
  const std::vector<std::string>& obj_info() const { return obj_info_; }
  const std::vector<ply_element>& elements() const { return elements_; }
  // The element named name, or null.
  const ply_element* find_element(const std::string& name) const;

  // Sets the callback of property `property` of element `element`; returns
  // the element's instance count, or -1 (and nothing set) when there is no
  // such property.
  int64_t set_callback(const std::string& element, const std::string& property, ply_callback cb);

  // Reads the data, calling the callbacks. False, with error() set, when the
  // data end early, a value is malformed (ASCII: not a number of the
  // property's type, or out of its range; any format: a negative list
  // length), a callback stopped the reading, or the file cannot be read.
  // Bytes after the last instance are ignored.
  bool read();

  // For a callback: the sentence read() fails with once the callback
  // returns false.
  void stop(const wxString& why) { stop_reason_ = why; }

  const wxString& error() const { return error_; }

 private:
  struct input;
  bool fail(const wxString& why);
  bool read_header();
  bool parse_header_line(const std::string& line, bool& done);
  bool check_counts();
  bool read_ascii_value(ply_type t, double& v, const ply_element& e, int64_t instance,
                        const ply_property& p);
  bool read_binary_value(ply_type t, double& v, const ply_element& e, int64_t instance,
                         const ply_property& p);

  std::unique_ptr<input> in_;
  wxString name_;
  ply_format format_ = ply_format::ascii;
  std::vector<std::string> comments_, obj_info_;
  std::vector<ply_element> elements_;
  std::vector<std::vector<ply_callback>> callbacks_;  // per element, per property
  wxString error_, stop_reason_;
  bool header_read_ = false, data_read_ = false;
};
