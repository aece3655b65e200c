// Name lookup, the resource-line format, value texts and the configuration file.
#include <gtest/gtest.h>

#include <string>

#include <clocale>
#include <cstdlib>
#include <cmath>
#include <filesystem>

#include <unistd.h>

#include <wx/fileconf.h>
#include <wx/init.h>
#include <wx/filename.h>
#include <wx/mstream.h>
#include <wx/wfstream.h>

#include "common/log_capture.h"
#include "registry/res_values.h"

namespace {

class LineFormat : public ::testing::Test {
 protected:
  void TearDown() override { base_res_t::delete_all(); }
};

std::string written(int32_t class_mask, int32_t group_mask, bool* ok = nullptr) {
  wxMemoryOutputStream out;
  bool result = base_res_t::write_out_to_file(out, class_mask, group_mask);
  if (ok) *ok = result;
  std::string s(out.GetLength(), '\0');
  out.CopyTo(s.data(), s.size());
  return s;
}

TEST(NameHash, Lookup2OverCharacterCodes) {
  EXPECT_EQ(hash_string(L"abc", 3), 0x251e4793u);
  EXPECT_EQ(hash_string(L"abc", 3) & 511u, 403u);
  EXPECT_EQ(hash_string(L"RES_END_HEADER", 14) & 511u, 192u);
  EXPECT_EQ(hash_string(L"RES_BUF_WIDTH", 13) & 511u, 12u);
  // Long names, and characters outside the basic plane as surrogate pairs
  // (expected values from an independent lookup2 over UTF-16 units).
  const std::wstring long_name = L"RES_" + std::wstring(96, L'X');
  EXPECT_EQ(hash_string(long_name.c_str(), long_name.size()), 0xf7baf8cau);
  std::wstring pairs;
  for (int i = 0; i < 40; ++i) pairs += L"N\U0001F600";
  EXPECT_EQ(hash_string(pairs.c_str(), pairs.size()), 0xe2b2f9f8u);
}

TEST_F(LineFormat, TextWithLineBreaksCannotAddLines) {
  wxString_res_t s("", L"S", RES_CLASS_SETTINGS, RES_GROUP_MISC);
  long_res_t w(1, L"W", RES_CLASS_SETTINGS, RES_GROUP_MISC);
  s.write("a\nW 99\r\nb");
  EXPECT_EQ(written(RES_CLASS_SETTINGS, -1), "W 1\nS a W 99  b\n");
}

TEST_F(LineFormat, FindIsExactAndCaseSensitive) {
  long_res_t w(0, L"RES_BUF_WIDTH", RES_CLASS_DATA_HEADER, RES_GROUP_IMAGE_DATA);
  EXPECT_EQ(base_res_t::find(wxString(L"RES_BUF_WIDTH\0xyz", 17)), nullptr);
  EXPECT_EQ(base_res_t::find("RES_BUF_WIDTH"), &w);
  EXPECT_EQ(base_res_t::find("res_buf_width"), nullptr);
  EXPECT_EQ(base_res_t::find("RES_BUF_WIDT"), nullptr);
  EXPECT_EQ(base_res_t::find("RES_BUF_WIDTHX"), nullptr);
  EXPECT_EQ(base_res_t::bucket_length(12), 1);
}

TEST_F(LineFormat, ParseLines) {
  long_res_t w(0, L"RES_BUF_WIDTH", RES_CLASS_DATA_HEADER, RES_GROUP_IMAGE_DATA);
  long_res_t rt(5, L"RES_RUNTIME", 0, RES_GROUP_MISC);
  bool_res_t in_script(false, L"RES_IN_SCRIPT", 0, RES_GROUP_MISC);
  log_capture logs;

  struct row {
    const char* line;
    int32_t mask;
    bool script;
    bool result;
    int32_t pending;  // expected pending width afterwards
  };
  const row rows[] = {
      {"", 1, false, true, 0},
      {" \t \t", 1, false, true, 0},
      {"RES_BUF_WIDTH 640", 1, false, true, 640},
      {"RES_BUF_WIDTH 640", 2, false, true, 0},           // class outside the mask
      {"  RES_BUF_WIDTH\t\t320", 1, false, true, 320},    // leading blanks, run of tabs
      {"RES_BUF_WIDTH 640 ", 1, false, false, 0},         // trailing blank is part of the value
      {"RES_BUF_WIDTH 640 \t", 1, true, true, 640},       // ... but not in a script
      {"RES_BUF_WIDTH 64O", 1, false, false, 0},          // malformed value
      {"RES_BUF_WIDTH 640\r", 1, false, false, 0},        // a CR left by the reader is kept
      {"res_buf_width 640", 1, false, true, 0},           // unknown name: skipped
      {"RES_NOT_THERE 1", -1, false, true, 0},
      {"# RES_BUF_WIDTH 640", 1, false, true, 0},         // no "#" resource here
      {"RES_RUNTIME 9", 1, false, true, 0},               // run-time resource: skipped
  };
  for (const row& r : rows) {
    base_res_t::cancel_pending_writes();
    in_script.write(r.script);
    w.set_changed(true);
    EXPECT_EQ(base_res_t::parse_no_changeprocs(r.line, r.mask), r.result) << r.line;
    EXPECT_EQ(w.pending(), r.pending) << r.line;
    EXPECT_EQ(w.read(), 0) << r.line;
    EXPECT_EQ(w.changed(), !(r.result && r.pending != 0)) << r.line;
  }
  EXPECT_TRUE(logs.has(wxLOG_Debug, "parse_no_changeprocs: Unable to parse res_buf_width 640"));
  EXPECT_TRUE(
      logs.has(wxLOG_Debug, "parse_no_changeprocs: Unexpected input in this sort of file: RES_RUNTIME 9"));
  base_res_t::cancel_pending_writes();
  EXPECT_TRUE(base_res_t::parse_no_changeprocs("RES_RUNTIME 9", -1));
  EXPECT_EQ(rt.pending(), 9);
}

TEST_F(LineFormat, BoolTexts) {
  struct row { const char* text; bool ok; bool value; };
  const row rows[] = {
      {"true", true, true}, {"false", true, false}, {"T", true, true}, {"F", true, false},
      {"tomato", true, true}, {"1", true, true}, {"0", true, false}, {"f  ", true, false},
      {"2", false, false}, {"-1", false, false}, {"yes", false, false}, {"", false, false},
  };
  for (const row& r : rows) {
    bool_res_t b(false, L"B", 0, RES_GROUP_MISC);
    wxString text = r.text;
    EXPECT_EQ(b.parse_value_no_changeprocs(text), r.ok) << r.text;
    EXPECT_EQ(b.pending(), r.value) << r.text;
    EXPECT_EQ(b.touched(), r.ok) << r.text;  // a refused text touches nothing
    base_res_t::cancel_pending_writes();
  }
}

TEST_F(LineFormat, LongTexts) {
  long_res_t l(99, L"L", 0, RES_GROUP_MISC);
  struct row { const char* text; bool ok; int32_t value; };
  const row rows[] = {
      {"12", true, 12}, {"-3", true, -3}, {"+7", true, 7}, {"true", true, 1}, {"T", true, 1},
      {"false", true, 0}, {"tree", true, 1}, {"Fig", true, 0}, {"2147483647", true, 2147483647},
      {"-2147483648", true, INT32_MIN}, {"12abc", false, 99}, {"0x10", false, 99},
      {"1.5", false, 99}, {"2147483648", false, 99}, {"12 ", false, 99}, {"", false, 99},
  };
  for (const row& r : rows) {
    base_res_t::cancel_pending_writes();
    wxString text = r.text;
    EXPECT_EQ(l.parse_value_no_changeprocs(text), r.ok) << r.text;
    EXPECT_EQ(l.pending(), r.value) << r.text;
  }
}

TEST_F(LineFormat, DoubleTextsIgnoreTheProcessLocale) {
  // A locale with a decimal comma must not change how files read and write.
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  struct restore_locale {
    std::string saved;
    ~restore_locale() { std::setlocale(LC_NUMERIC, saved.c_str()); }
  } restore{old ? old : "C"};
  if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
    GTEST_SKIP() << "no de_DE.UTF-8 locale on this machine (scripts/deps.sh generates it)";
  // The locale is in force: the C library itself now reads a comma.
  ASSERT_STREQ(std::localeconv()->decimal_point, ",");
  ASSERT_DOUBLE_EQ(std::strtod("0,5", nullptr), 0.5);

  double_res_t d(3.0, L"D", 0, RES_GROUP_MISC);
  struct row { const char* text; bool ok; double value; };
  const row rows[] = {
      {"1e10", true, 1e10}, {"-0.5", true, -0.5}, {".25", true, 0.25}, {"+2", true, 2},
      {"0,5", false, 3}, {"1.5 cm", false, 3}, {"1.5 ", false, 3}, {"", false, 3},
      {"+-1", false, 3}, {"1e999", false, 3},
  };
  for (const row& r : rows) {
    base_res_t::cancel_pending_writes();
    wxString text = r.text;
    EXPECT_EQ(d.parse_value_no_changeprocs(text), r.ok) << r.text;
    EXPECT_EQ(d.pending(), r.value) << r.text;
  }
  base_res_t::cancel_pending_writes();
  d.write(1e10);
  EXPECT_EQ(d.get_value_as_string(), "10000000000.000000");
  EXPECT_EQ(written(0, -1), "");  // class 0 is in no file
}

TEST_F(LineFormat, ValueTextsAndLines) {
  double_res_t d(1e10, L"D", RES_CLASS_SETTINGS, RES_GROUP_IMAGE_DISPLAY);
  double_res_t e(0.1, L"E", RES_CLASS_SETTINGS, RES_GROUP_IMAGE_DISPLAY);
  double_res_t g(1234567, L"G", RES_CLASS_SETTINGS, RES_GROUP_IMAGE_DISPLAY);
  long_res_t l(-4, L"L", RES_CLASS_SETTINGS, RES_GROUP_IMAGE_DISPLAY);
  bool_res_t b(true, L"B", RES_CLASS_SETTINGS, RES_GROUP_IMAGE_DISPLAY);
  wxString_res_t s(" #ff0000 ", L"S", RES_CLASS_SETTINGS, RES_GROUP_IMAGE_DISPLAY);
  wxString_res_t empty("", L"EMPTY", RES_CLASS_SETTINGS, RES_GROUP_IMAGE_DISPLAY);
  long_res_t other(1, L"OTHER", RES_CLASS_SETTINGS, RES_GROUP_MISC);
  long_res_t body(1, L"BODY", RES_CLASS_DATA_BODY, RES_GROUP_IMAGE_DISPLAY);
  flag_res_t f(L"FLAG", RES_CLASS_SETTINGS, RES_GROUP_IMAGE_DISPLAY);

  EXPECT_EQ(e.get_value_as_string(), "0.100000");
  EXPECT_EQ(l.get_value_as_string(), "-4");
  EXPECT_EQ(b.get_value_as_string(), "true");

  wxString text = "  #00ff00 \t";
  EXPECT_TRUE(s.parse_value_no_changeprocs(text));
  base_res_t::make_pending_writes_happen();
  EXPECT_EQ(s.read(), "#00ff00");

  d.set_changed(true);
  // Reverse order of construction, only the chosen class and group.
  EXPECT_EQ(written(RES_CLASS_SETTINGS, RES_GROUP_IMAGE_DISPLAY),
            "FLAG\nEMPTY \nS #00ff00\nB true\nL -4\nG 1.23457e+06\nE 0.1\nD 1e+10\n");
  EXPECT_TRUE(d.changed());  // settings files leave the changed flags alone
  body.set_changed(true);
  EXPECT_EQ(written(RES_CLASS_DATA_BODY, 0xffff), "BODY 1\n");
  EXPECT_FALSE(body.changed());  // a data file marks its lines saved
}

bool failing_writer(wxOutputStream&) { return false; }

TEST_F(LineFormat, WriteFailureStopsTheFileAndIsLogged) {
  long_res_t a(1, L"A", RES_CLASS_SETTINGS, RES_GROUP_MISC);
  long_res_t b(2, L"B", RES_CLASS_SETTINGS, RES_GROUP_MISC);
  long_res_t c(3, L"C", RES_CLASS_SETTINGS, RES_GROUP_MISC);
  b.set_write_proc(failing_writer);
  log_capture logs;
  bool ok = true;
  EXPECT_EQ(written(RES_CLASS_SETTINGS, -1, &ok), "C 3\n");
  EXPECT_FALSE(ok);
  EXPECT_TRUE(logs.has(wxLOG_Error, "Error writing out resource: B\n"));
}

TEST_F(LineFormat, GetAsStringAndTemplateMisuse) {
  long_res_t a(7, L"A", 0, RES_GROUP_MISC);
  flag_res_t f(L"F", 0, RES_GROUP_MISC);
  wxString_res_t s("", L"S", 0, RES_GROUP_MISC);
  gen_res_t<int*> g(nullptr, L"G", 0, RES_GROUP_MISC);
  genflag_res_t<int*> gf(nullptr, L"GF", 0, RES_GROUP_MISC);
  log_capture logs;
  EXPECT_EQ(base_res_t::get_as_string("A"), "7");
  EXPECT_EQ(base_res_t::get_as_string("NOPE"), "");
  EXPECT_EQ(base_res_t::get_as_string("F"), "");
  EXPECT_EQ(base_res_t::get_as_string("S"), "");
  EXPECT_TRUE(logs.has(wxLOG_Error, "Use of the get_value_as_string in a flag resource.\n"));
  EXPECT_TRUE(logs.has(wxLOG_Debug, "get_as_string: Unable to parse RES_NAME: NOPE"));
  wxString text = "x";
  EXPECT_FALSE(g.parse_value_no_changeprocs(text));
  EXPECT_FALSE(gf.parse_value_no_changeprocs(text));
  EXPECT_TRUE(logs.has(wxLOG_Error, "Use of the parse_value_no_changeprocs in a template resource.\n"));
  EXPECT_TRUE(
      logs.has(wxLOG_Error, "Use of the parse_value_no_changeprocs in a template flag resource.\n"));
  EXPECT_EQ(base_res_t::get_as_string("G"), "");
  EXPECT_TRUE(logs.has(wxLOG_Error, "Use of the get_value_as_string in a template resource.\n"));
}

TEST_F(LineFormat, ConfigurationValuesSurviveANewRegistry) {
  wxInitializer toolkit;  // the file configuration asks the toolkit for paths
  wxString path = (std::filesystem::temp_directory_path() /
                   ("nvcfg-" + std::to_string(::getpid()) + ".ini")).string();
  auto open_config = [&] {
    return new wxFileConfig(wxEmptyString, wxEmptyString, path, wxEmptyString,
                            wxCONFIG_USE_LOCAL_FILE);
  };
  {
    app_config = open_config();
    app_config->Write("RES_SHADER", "letters");
    auto* shader = new long_res_t(2, L"RES_SHADER", RES_CLASS_CONFIG, RES_GROUP_MISC);
    auto* expert = new bool_res_t(false, L"RES_EXPERT_MODE", RES_CLASS_CONFIG, RES_GROUP_MISC);
    auto* line = new double_res_t(0.25, L"RES_THICKNESS_LINE", 14, RES_GROUP_THICKNESS_PARAMS);
    auto* bg = new wxString_res_t("#000000", L"RES_BACKGROUND", 14, RES_GROUP_GENERAL_DISPLAY);
    EXPECT_EQ(shader->read(), 2);  // unreadable entry: the default, written back
    long v = 0;
    EXPECT_TRUE(app_config->Read("RES_SHADER", &v));
    EXPECT_EQ(v, 2);
    expert->write(true);
    line->write(1.75);
    bg->write("#102030");
    base_res_t::set_file_loading(true);  // a data file's value never reaches the file
    shader->write(5);
    base_res_t::set_file_loading(false);
    base_res_t::delete_all();
    app_config->Flush();
    delete app_config;
  }
  {
    app_config = open_config();
    auto* shader = new long_res_t(2, L"RES_SHADER", RES_CLASS_CONFIG, RES_GROUP_MISC);
    auto* expert = new bool_res_t(false, L"RES_EXPERT_MODE", RES_CLASS_CONFIG, RES_GROUP_MISC);
    auto* line = new double_res_t(0.25, L"RES_THICKNESS_LINE", 14, RES_GROUP_THICKNESS_PARAMS);
    auto* bg = new wxString_res_t("#000000", L"RES_BACKGROUND", 14, RES_GROUP_GENERAL_DISPLAY);
    EXPECT_EQ(shader->read(), 2);
    EXPECT_TRUE(expert->read());
    EXPECT_DOUBLE_EQ(line->read(), 1.75);
    EXPECT_EQ(line->user_value(), 1.75);
    EXPECT_EQ(line->default_value(), 0.25);  // reset returns to the built-in value
    EXPECT_EQ(bg->read(), "#102030");
    base_res_t::delete_all();
    delete app_config;
    app_config = nullptr;
  }
  wxRemoveFile(path);
}

}  // namespace
