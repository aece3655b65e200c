// The settings dialogs' rules that need no display: comment lines from the
// comment text, slider positions of shown values, and the material files'
// list and save names.
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <wx/filename.h>
#include <wx/init.h>

#include "common/log_capture.h"
#include "settings/comment_dlg.h"
#include "settings/material_files.h"
#include "settings/settings_dialog.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> narrow(const std::vector<wxString>& lines) {
  std::vector<std::string> out;
  for (const wxString& l : lines) out.push_back(l.ToStdString(wxConvUTF8));
  return out;
}

// A private folder with the program's and the configuration's "materials".
struct material_folders {
  material_folders() {
    root = fs::temp_directory_path() / ("nv_materials_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root);
    fs::create_directories(root / "exec/materials");
    fs::create_directories(root / "cfg/materials");
  }
  ~material_folders() { fs::remove_all(root); }
  void put(const std::string& rel) { std::ofstream(root / rel) << "RES_MATERIAL_METALLIC 0.5\n"; }
  wxString exec() const { return wxString::FromUTF8((root / "exec").string()); }
  wxString cfg() const { return wxString::FromUTF8((root / "cfg").string()); }
  wxString in_cfg(const std::string& rel) const { return wxString::FromUTF8((root / "cfg" / rel).string()); }
  fs::path root;
};

}  // namespace

TEST(CommentLines, SplitAtLineEndsWithoutATrailingEmptyLine) {
  struct row {
    const char* text;
    std::vector<std::string> lines;
  };
  const row rows[] = {
      {"", {}},
      {"one", {"one"}},
      {"one\n", {"one"}},  // the refilled form: reopening adds no empty line
      {"one\ntwo", {"one", "two"}},
      {"one\ntwo\n", {"one", "two"}},
      {"one\n\n", {"one", ""}},  // an empty line the user typed stays
      {"\n", {""}},
      {"one\n\ntwo\n", {"one", "", "two"}},
      {"  indented \t\n", {"  indented \t"}},
  };
  for (const row& r : rows) EXPECT_EQ(narrow(comment_lines(wxString::FromUTF8(r.text))), r.lines) << r.text;
}

// Every position a user sets comes back through the value the handler
// writes: position / scale - offset / scale shown again as a position.
TEST(SliderPositions, EveryPositionSurvivesTheValueRoundTrip) {
  struct mapping {
    const char* name;
    int high;
    double scale, offset;
  };
  const mapping mappings[] = {{"ambient, balance, focus", 100, 100, 0},
                              {"rotation", 200, 100, 100},
                              {"position", 100, 50, 50},
                              {"material", 255, 255, 0}};
  for (const mapping& m : mappings)
    for (int p = 0; p <= m.high; ++p) {
      const double value = p / m.scale - m.offset / m.scale;
      EXPECT_EQ(slider_position(value, m.scale, m.offset), p) << m.name << " at " << p;
    }
  // 0.29 x 100 lies just below 29 in double arithmetic.
  EXPECT_EQ(slider_position(0.29, 100), 29);
  EXPECT_EQ(slider_position(0.4, 255), 102);
  EXPECT_EQ(slider_position(-0.5, 50, 50), 25);
}

TEST(MaterialFiles, ListDefaultsSortedThenTheUsersAndFilesOnly) {
  wxInitializer init;
  material_folders f;
  for (const char* name : {"exec/materials/b.ini", "exec/materials/a.ini", "exec/materials/A.ini",
                           "exec/materials/notes.txt", "cfg/materials/zinc.ini", "cfg/materials/b.ini"})
    f.put(name);
  fs::create_directories(f.root / "exec/materials/folder.ini");
  const std::vector<std::string> defaults_first = {"A", "a", "b"};
  std::vector<std::string> names = narrow(material_names(f.exec(), f.cfg()));
  ASSERT_EQ(names.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 3), defaults_first);
  // The user's in the folder's own order, after the defaults; a name in
  // both folders is listed twice.
  std::vector<std::string> users(names.begin() + 3, names.end());
  std::sort(users.begin(), users.end());
  EXPECT_EQ(users, (std::vector<std::string>{"b", "zinc"}));

  fs::remove_all(f.root / "exec/materials");
  EXPECT_EQ(material_names(f.exec(), f.cfg()).size(), 2u);
  fs::remove_all(f.root / "cfg/materials");
  EXPECT_TRUE(material_names(f.exec(), f.cfg()).empty());
}

TEST(MaterialFiles, SaveOnlyAsIniInTheUsersFolderAndNeverOverADefaultName) {
  wxInitializer init;
  material_folders f;
  f.put("exec/materials/gold.ini");
  f.put("exec/materials/steel.ini");
  f.put("cfg/materials/steel.ini");  // the user's own file of a default name
  const wxString brass = f.in_cfg("materials/brass.ini");
  struct row {
    wxString chosen;
    wxString path;  // empty: refused
    const char* message;
  };
  const row rows[] = {
      {f.in_cfg("materials/brass"), brass, ""},
      {f.in_cfg("materials/brass.ini"), brass, ""},
      {f.in_cfg("materials/../materials/brass"), brass, ""},
      {f.in_cfg("materials/steel.ini"), f.in_cfg("materials/steel.ini"), ""},
      {f.in_cfg("materials/alloy.mat"), "", "must end in \".ini\""},
      {f.in_cfg("brass.ini"), "", "Material files are kept in the folder"},
      {f.in_cfg("materials/gold"), "", "Can't use the same name for material file\nas one of the default files."},
  };
  for (const row& r : rows) {
    log_capture log;
    EXPECT_EQ(material_save_path(r.chosen, f.exec(), f.cfg()), r.path) << r.chosen;
    if (*r.message)
      EXPECT_TRUE(log.has(wxLOG_Warning, r.message)) << r.chosen;
    else
      EXPECT_EQ(log.records().size(), 0u) << r.chosen;
  }
}
