// The PLY writer and reader: bytes written compared with bytes laid out here
// by hand, files written by a Python script read back exactly, and broken
// files refused with a message.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <algorithm>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include <wx/mstream.h>

#include "common/string_output_stream.h"
#include "data/ply_file.h"

namespace {

using string_stream = string_output_stream;

template <typename T>
std::string le(T v) {
  std::string s(sizeof(T), '\0');
  unsigned char b[sizeof(T)];
  std::memcpy(b, &v, sizeof(T));  // the test machine is little-endian
  for (size_t i = 0; i < sizeof(T); ++i) s[i] = char(b[i]);
  return s;
}

// Every callback of every property of the elements named, as one line each.
struct recorder {
  std::vector<std::string> lines;
  void watch(ply_reader& r, const std::vector<std::string>& elements) {
    for (const ply_element& e : r.elements()) {
      if (std::find(elements.begin(), elements.end(), e.name) == elements.end()) continue;
      for (const ply_property& p : e.properties)
        r.set_callback(e.name, p.name, [this](const ply_value& v) {
          char text[200];
          std::snprintf(text, sizeof text, "%s %s %lld %lld %.17g", v.element->name.c_str(),
                        v.property->name.c_str(), (long long)v.instance,
                        (long long)v.value_index, v.value);
          lines.push_back(text);
          return true;
        });
    }
  }
};

// The Python script's files, made once in a folder removed at exit.
struct fixture_folder {
  std::string dir;
  bool made = false;
  fixture_folder() {
    dir = (std::filesystem::temp_directory_path() / ("nv_ply_" + std::to_string(::getpid())))
              .string();
    std::filesystem::create_directories(dir);
    const std::string cmd =
        "/usr/bin/python3 " NV_TEST_SCRIPTS "/make_ply_fixtures.py '" + dir + "'";
    made = std::system(cmd.c_str()) == 0;
  }
  ~fixture_folder() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

const fixture_folder& fixtures() {
  static const fixture_folder f;
  return f;
}

}  // namespace

// The writer's bytes against a file laid out here: header lines in order
// (comments first), then little-endian values of every type, a list with
// its length first, an empty element skipped.
TEST(PlyWriter, BinaryBytesMatchTheLayout) {
  string_stream out;
  ply_writer w(out);
  ASSERT_TRUE(w.add_comment("one"));
  ASSERT_TRUE(w.add_element("vertex", 2));
  ASSERT_TRUE(w.add_scalar_property("a", ply_type::int8));
  ASSERT_TRUE(w.add_scalar_property("b", ply_type::uint16));
  ASSERT_TRUE(w.add_scalar_property("c", ply_type::int32));
  ASSERT_TRUE(w.add_scalar_property("d", ply_type::float32));
  ASSERT_TRUE(w.add_scalar_property("e", ply_type::float64));
  ASSERT_TRUE(w.add_comment("two"));
  ASSERT_TRUE(w.add_element("none", 0));
  ASSERT_TRUE(w.add_scalar_property("z", ply_type::uint8));
  ASSERT_TRUE(w.add_element("face", 1));
  ASSERT_TRUE(w.add_list_property("vertex_indices", ply_type::uint8, ply_type::uint32));
  ASSERT_TRUE(w.write_header());
  for (double v : {-3.9, 65535.0, -7.0, 0.1, 0.1, 127.0, 0.0, 2147483647.0, -1e30, -0.5})
    ASSERT_TRUE(w.write_value(v)) << w.error();
  for (double v : {3.0, 0.0, 4294967295.0, 2.7}) ASSERT_TRUE(w.write_value(v)) << w.error();
  EXPECT_TRUE(out.bytes.empty());  // buffered until closed
  ASSERT_TRUE(w.close()) << w.error();

  std::string want =
      "ply\nformat binary_little_endian 1.0\ncomment one\ncomment two\n"
      "element vertex 2\nproperty char a\nproperty ushort b\nproperty int c\n"
      "property float d\nproperty double e\nelement none 0\nproperty uchar z\n"
      "element face 1\nproperty list uchar uint vertex_indices\nend_header\n";
  want += le<int8_t>(-3) + le<uint16_t>(65535) + le<int32_t>(-7) + le<float>(0.1f) + le<double>(0.1);
  want += le<int8_t>(127) + le<uint16_t>(0) + le<int32_t>(2147483647) + le<float>(-1e30f) +
          le<double>(-0.5);
  want += le<uint8_t>(3) + le<uint32_t>(0) + le<uint32_t>(4294967295u) + le<uint32_t>(2);
  EXPECT_EQ(out.bytes, want);
}

TEST(PlyWriter, AsciiText) {
  string_stream out;
  ply_writer w(out, ply_format::ascii);
  ASSERT_TRUE(w.add_element("v", 2));
  ASSERT_TRUE(w.add_scalar_property("x", ply_type::float32));
  ASSERT_TRUE(w.add_list_property("l", ply_type::uint8, ply_type::int16));
  ASSERT_TRUE(w.write_header());
  for (double v : {0.1, 2.0, -5.0, 6.0, 1e20, 0.0}) ASSERT_TRUE(w.write_value(v)) << w.error();
  ASSERT_TRUE(w.close());
  EXPECT_EQ(out.bytes,
            "ply\nformat ascii 1.0\nelement v 2\nproperty float x\nproperty list uchar short l\n"
            "end_header\n0.100000001 2 -5 6\n1.00000002e+20 0\n");
}

// Each refusal leaves an error naming the problem; the stream keeps only
// what came before it.
TEST(PlyWriter, RefusesWhatAFileCannotHold) {
  struct row {
    const char* what;
    std::function<bool(ply_writer&)> step;
  };
  const std::vector<row> rows = {
      {"comment of 1024 bytes", [](ply_writer& w) { return w.add_comment(std::string(1024, 'c')); }},
      {"comment with a line break", [](ply_writer& w) { return w.add_comment("a\nb"); }},
      {"property before any element",
       [](ply_writer& w) { return w.add_scalar_property("x", ply_type::float32); }},
      {"element name with a blank", [](ply_writer& w) { return w.add_element("a b", 1); }},
      {"float list length",
       [](ply_writer& w) {
         return w.add_element("f", 1) &&
                w.add_list_property("l", ply_type::float32, ply_type::int32);
       }},
      {"property named twice",
       [](ply_writer& w) {
         return w.add_element("f", 1) && w.add_scalar_property("x", ply_type::int8) &&
                w.add_scalar_property("x", ply_type::int16);
       }},
      {"value before the header", [](ply_writer& w) { return w.write_value(1); }},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    string_stream out;
    ply_writer w(out);
    EXPECT_FALSE(r.step(w));
    EXPECT_FALSE(w.error().empty());
  }
  // The longest comment is accepted.
  string_stream out;
  ply_writer w(out);
  EXPECT_TRUE(w.add_comment(std::string(kPlyMaxComment, 'c')));
}

TEST(PlyWriter, RefusesValuesOutsideTheirType) {
  struct row {
    ply_type type;
    double value;
    bool ok;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::vector<row> rows = {
      {ply_type::uint8, 255.9, true},      {ply_type::uint8, 256, false},
      {ply_type::uint8, -1, false},        {ply_type::int8, -128.5, true},
      {ply_type::int8, -129, false},       {ply_type::uint32, 4294967295.0, true},
      {ply_type::uint32, 4294967296.0, false}, {ply_type::int32, nan, false},
      {ply_type::float32, 1e39, false},    {ply_type::float32, nan, true},
      {ply_type::float64, 1e300, true},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(std::string(ply_type_name(r.type)) + " " + std::to_string(r.value));
    string_stream out;
    ply_writer w(out);
    ASSERT_TRUE(w.add_element("v", 1) && w.add_scalar_property("x", r.type) && w.write_header());
    EXPECT_EQ(w.write_value(r.value), r.ok);
  }
}

TEST(PlyWriter, CountsAndStreamFailures) {
  {  // more values than announced; fewer make close() fail but flush what was written
    string_stream out;
    ply_writer w(out);
    ASSERT_TRUE(w.add_element("v", 1) && w.add_list_property("l", ply_type::uint8, ply_type::int8) &&
                w.write_header());
    EXPECT_FALSE(w.write_value(-1));  // negative list length
    EXPECT_TRUE(w.write_value(1));
    EXPECT_TRUE(w.write_value(5));
    EXPECT_FALSE(w.write_value(6));
  }
  {
    string_stream out;
    ply_writer w(out);
    ASSERT_TRUE(w.add_element("v", 2) && w.add_scalar_property("x", ply_type::uint8) &&
                w.write_header());
    EXPECT_TRUE(w.write_value(9));
    EXPECT_FALSE(w.close());
    EXPECT_EQ(out.bytes.back(), '\x09');
  }
  {  // a stream that refuses bytes fails the writer
    string_stream out;
    out.limit = 10;
    ply_writer w(out);
    ASSERT_TRUE(w.add_element("v", 1) && w.add_scalar_property("x", ply_type::uint8) &&
                w.write_header());
    EXPECT_TRUE(w.write_value(1));
    EXPECT_FALSE(w.close());
    EXPECT_TRUE(out.bytes.empty());
  }
}

// What the writer writes the reader reads back: every type, both formats.
TEST(PlyReader, ReadsWhatTheWriterWrites) {
  for (ply_format format : {ply_format::ascii, ply_format::binary_little_endian}) {
    SCOPED_TRACE(int(format));
    string_stream out;
    ply_writer w(out, format);
    ASSERT_TRUE(w.add_comment("c1") && w.add_comment("") && w.add_obj_info("o"));
    ASSERT_TRUE(w.add_element("v", 2));
    const ply_type types[] = {ply_type::int8,   ply_type::uint8,  ply_type::int16,
                              ply_type::uint16, ply_type::int32,  ply_type::uint32,
                              ply_type::float32, ply_type::float64};
    for (ply_type t : types) ASSERT_TRUE(w.add_scalar_property(ply_type_name(t), t));
    ASSERT_TRUE(w.add_list_property("l", ply_type::uint16, ply_type::float64));
    ASSERT_TRUE(w.write_header());
    const double row0[] = {-128, 255, -32768, 65535, -2147483648.0, 4294967295.0, 0.25, 1.0 / 3};
    const double row1[] = {127, 0, 32767, 0, 2147483647.0, 0, -1e-20, -1e300};
    for (double v : row0) ASSERT_TRUE(w.write_value(v));
    for (double v : {2.0, 0.1, -0.2}) ASSERT_TRUE(w.write_value(v));
    for (double v : row1) ASSERT_TRUE(w.write_value(v));
    ASSERT_TRUE(w.write_value(0));
    ASSERT_TRUE(w.close()) << w.error();

    ply_reader r;
    ASSERT_TRUE(r.open_memory(out.bytes.data(), out.bytes.size())) << r.error();
    EXPECT_EQ(r.format(), format);
    EXPECT_EQ(r.comments(), (std::vector<std::string>{"c1", ""}));
    EXPECT_EQ(r.obj_info(), (std::vector<std::string>{"o"}));
    recorder rec;
    rec.watch(r, {"v"});
    ASSERT_TRUE(r.read()) << r.error();
    std::vector<double> got;
    for (const std::string& l : rec.lines) got.push_back(std::strtod(l.substr(l.rfind(' ')).c_str(), nullptr));
    std::vector<double> want(row0, row0 + 8);
    want.insert(want.end(), {2, 0.1, -0.2});
    want.insert(want.end(), row1, row1 + 8);
    want.push_back(0);
    want[6] = double(0.25f);
    want[17] = double(float(-1e-20));
    EXPECT_EQ(got, want);
    // The list's length comes with index -1, its values with 0, 1.
    EXPECT_NE(rec.lines[8].find("v l 0 -1 2"), std::string::npos) << rec.lines[8];
    EXPECT_NE(rec.lines[10].find("v l 0 1 "), std::string::npos) << rec.lines[10];
  }
}

// Files a Python script wrote in the three formats: the callbacks see
// exactly the values it lists; the extra element is passed over.
TEST(PlyReader, ReadsFilesWrittenByAnotherProgram) {
  ASSERT_TRUE(fixtures().made) << "the fixture script failed";
  const std::string dir = fixtures().dir;
  std::ifstream expect(dir + "/py.expect");
  ASSERT_TRUE(expect.good()) << "the fixture script did not run";
  std::vector<std::string> comments, obj_info;
  struct value_line {
    std::string element, property;
    long long instance, index;
    double value;
  };
  std::vector<value_line> values;
  std::string line;
  while (std::getline(expect, line)) {
    if (line.rfind("comment ", 0) == 0) comments.push_back(line.substr(8));
    if (line.rfind("obj_info ", 0) == 0) obj_info.push_back(line.substr(9));
    if (line.rfind("value ", 0) == 0) {
      std::istringstream in(line.substr(6));
      value_line v;
      std::string number;
      in >> v.element >> v.property >> v.instance >> v.index >> number;
      v.value = std::strtod(number.c_str(), nullptr);
      values.push_back(v);
    }
  }
  ASSERT_EQ(values.size(), 4u * 8 + 2 + 3 + 4);
  for (const char* name : {"py_ascii.ply", "py_le.ply", "py_be.ply"}) {
    SCOPED_TRACE(name);
    ply_reader r;
    ASSERT_TRUE(r.open_file(dir + "/" + name)) << r.error();
    EXPECT_EQ(r.comments(), comments);
    EXPECT_EQ(r.obj_info(), obj_info);
    ASSERT_EQ(r.elements().size(), 3u);
    EXPECT_EQ(r.elements()[1].name, "extra");
    EXPECT_EQ(r.find_element("face")->properties[0].name, "vertex_index");
    EXPECT_EQ(r.find_element("vertex")->properties[7].type, ply_type::float64);
    std::vector<value_line> got;
    for (const char* e : {"vertex", "face"})
      for (const ply_property& p : r.find_element(e)->properties)
        EXPECT_EQ(r.set_callback(e, p.name,
                                 [&](const ply_value& v) {
                                   got.push_back({v.element->name, v.property->name, v.instance,
                                                  v.value_index, v.value});
                                   return true;
                                 }),
                  r.find_element(e)->count);
    EXPECT_EQ(r.set_callback("vertex", "nothing", nullptr), -1);
    ASSERT_TRUE(r.read()) << r.error();
    ASSERT_EQ(got.size(), values.size());
    for (size_t i = 0; i < got.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(got[i].element, values[i].element);
      EXPECT_EQ(got[i].property, values[i].property);
      EXPECT_EQ(got[i].instance, values[i].instance);
      EXPECT_EQ(got[i].index, values[i].index);
      EXPECT_EQ(got[i].value, values[i].value);
      EXPECT_EQ(std::signbit(got[i].value), std::signbit(values[i].value));
    }
  }
}

// Broken headers and data are refused with a sentence naming the problem.
TEST(PlyReader, RefusesMalformedFiles) {
  const std::string head = "ply\nformat ascii 1.0\nelement v 2\nproperty uchar x\nend_header\n";
  const std::string bin = "ply\nformat binary_big_endian 1.0\nelement v 2\nproperty short x\n"
                          "property list uchar int l\nend_header\n";
  struct row {
    std::string bytes, message;
  };
  const std::vector<row> rows = {
      {"", "does not begin with \"ply\""},
      {"plx\nformat ascii 1.0\nend_header\n", "does not begin with \"ply\""},
      {"ply\nformat binary_middle_endian 1.0\nend_header\n", "unknown PLY format"},
      {"ply\nformat ascii 2.0\nend_header\n", "unknown PLY version"},
      {"ply\nelement v 1\nend_header\n", "\"format\" line"},
      {"ply\nformat ascii 1.0\nelement v 1\nproperty quad x\nend_header\n1\n", "unknown type \"quad\""},
      {"ply\nformat ascii 1.0\nproperty int x\nend_header\n", "before any element"},
      {"ply\nformat ascii 1.0\nelement v 1\nproperty list float int l\nend_header\n1\n",
       "not an integer type"},
      {"ply\nformat ascii 1.0\nelement v 1\nproperty int x\nproperty int x\nend_header\n1 1\n",
       "twice"},
      {"ply\nformat ascii 1.0\nelement v -1\nend_header\n", "not a count"},
      {"ply\nformat ascii 1.0\nfrobnicate\nend_header\n", "unknown keyword \"frobnicate\""},
      {"ply\nformat ascii 1.0\nelement v 1\nproperty int x\n", "without \"end_header\""},
      {"ply\nformat ascii 1.0\ncomment " + std::string(kPlyMaxComment + 1, 'c') + "\nend_header\n",
       "longer than 1023 bytes"},
      {"ply\nformat ascii 1.0\nelement v 1000\nproperty int x\nend_header\n1 2 3\n",
       "announces 1000 instances"},
      {head + "1   ", "the data end early, in element \"v\", instance 1, property \"x\""},
      {head + "1 256", "\"256\" is not a valid uchar"},
      {head + "1 2.5", "\"2.5\" is not a valid uchar"},
      {head + "1 x", "\"x\" is not a valid uchar"},
      {bin + std::string("\0\1\3\0\0\0\1", 7), "the data end early"},
      {"ply\nformat ascii 1.0\nelement v 1\nproperty list char int l\nend_header\n-1\n",
       "negative list length"},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.bytes.substr(0, 120));
    ply_reader reader;
    bool ok = reader.open_memory(r.bytes.data(), r.bytes.size(), "broken.ply");
    if (ok) {
      reader.set_callback("v", "x", [](const ply_value&) { return true; });
      ok = reader.read();
    }
    EXPECT_FALSE(ok);
    EXPECT_NE(reader.error().find(r.message), wxString::npos) << reader.error();
    EXPECT_NE(reader.error().find("\"broken.ply\""), wxString::npos) << reader.error();
  }
  // The longest comment passes, with a "\r\n" line end too.
  const std::string longest =
      "ply\r\nformat ascii 1.0\r\ncomment " + std::string(kPlyMaxComment, 'c') + "\r\nend_header\r\n";
  ply_reader reader;
  ASSERT_TRUE(reader.open_memory(longest.data(), longest.size())) << reader.error();
  EXPECT_EQ(reader.comments().at(0).size(), kPlyMaxComment);
  EXPECT_TRUE(reader.read());
  // An element without properties takes no bytes and no time, whatever its count.
  const std::string empty_element =
      "ply\nformat ascii 1.0\nelement e 9223372036854775807\nelement v 1\nproperty int x\n"
      "end_header\n7\n";
  ply_reader big;
  ASSERT_TRUE(big.open_memory(empty_element.data(), empty_element.size())) << big.error();
  double x = 0;
  big.set_callback("v", "x", [&](const ply_value& v) { return x = v.value, true; });
  EXPECT_TRUE(big.read()) << big.error();
  EXPECT_EQ(x, 7);
}

// A file cut anywhere is refused, never read past its end; a callback may
// stop the reading with its own reason.
TEST(PlyReader, CutFilesAndStoppedReads) {
  string_stream out;
  ply_writer w(out);
  ASSERT_TRUE(w.add_element("vertex", 3) && w.add_scalar_property("x", ply_type::float32) &&
              w.add_element("face", 2) &&
              w.add_list_property("vertex_indices", ply_type::uint8, ply_type::int32) &&
              w.write_header());
  for (double v : {1.0, 2.0, 3.0, 3.0, 0.0, 1.0, 2.0, 1.0, 2.0}) ASSERT_TRUE(w.write_value(v));
  ASSERT_TRUE(w.close());
  const std::string& full = out.bytes;
  for (size_t n = 0; n < full.size(); ++n) {
    // Copied into a buffer of its own, so that AddressSanitizer sees any read past it.
    std::vector<char> cut(full.begin(), full.begin() + long(n));
    ply_reader r;
    if (r.open_memory(cut.data(), cut.size())) {
      r.set_callback("face", "vertex_indices", [](const ply_value&) { return true; });
      EXPECT_FALSE(r.read()) << n;
    }
    EXPECT_FALSE(r.error().empty()) << n;
  }
  ply_reader r;
  ASSERT_TRUE(r.open_memory(full.data(), full.size()));
  int seen = 0;
  r.set_callback("vertex", "x", [&](const ply_value& v) {
    ++seen;
    if (v.instance == 1) r.stop("vertex 1 is not wanted.");
    return v.instance != 1;
  });
  EXPECT_FALSE(r.read());
  EXPECT_EQ(seen, 2);
  EXPECT_NE(r.error().find("vertex 1 is not wanted."), wxString::npos);
  EXPECT_FALSE(r.read());  // once only
}

TEST(PlyReader, MissingFile) {
  ply_reader r;
  EXPECT_FALSE(r.open_file("/nonexistent/folder/x.ply"));
  EXPECT_NE(r.error().find("cannot be opened"), wxString::npos);
}
