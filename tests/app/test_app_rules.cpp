// The start-up and main-window decisions that need no window.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include <gtest/gtest.h>
#include <wx/filename.h>
#include <wx/platinfo.h>
#include <wx/utils.h>

#include "app/app_rules.h"

namespace fs = std::filesystem;

namespace {

std::vector<wxString> words(std::initializer_list<const char*> list) {
  std::vector<wxString> w;
  for (const char* s : list) w.push_back(wxString::FromUTF8(s));
  return w;
}

// ----------------------------------------------------------- command line

struct command_case {
  std::vector<wxString> words;
  const char* native;
  const char* image;
  const char* script;
  const char* log;
  bool close;
};

TEST(CommandLine, LastTwoWordsChooseWhatToOpenOrRun) {
  const command_case cases[] = {
      {words({"p"}), "", "", "", "", false},
      {words({"p", "x.qzi"}), "x.hm", "", "", "", false},
      {words({"p", "X.QZI"}), "", "", "", "", false},  // checked below: X.HM
      {words({"p", "x.Hm"}), "", "x.Hm", "", "", false},
      {words({"p", "/d/x.Qzi"}), "", "/d/x.Qzi", "", "", false},
      {words({"p", "dir=/cfg"}), "", "", "", "", false},
      {words({"p", "dir=/cfg", "data.hm"}), "data.hm", "", "", "", false},
      {words({"p", "/d/run.txt"}), "", "", "/d/run.txt", "/d/hm_debug.txt", true},
      {words({"p", "/d/RUN.TXT"}), "", "", "/d/RUN.TXT", "/d/hm_debug.txt", true},
      {words({"p", "/d/run.Txt"}), "", "/d/run.Txt", "", "", false},
      {words({"p", "-s", "/d/my.scr"}), "", "", "/d/my.scr", "/d/hm_debug.txt", false},
      {words({"p", "-sc", "/d/my.scr"}), "", "", "/d/my.scr", "/d/hm_debug.txt", true},
      {words({"p", "-sbatch", "/d/my.scr"}), "", "", "/d/my.scr", "/d/hm_debug.txt", true},
      {words({"p", "dir=/c", "-s", "/d/my.scr"}), "", "", "/d/my.scr", "/d/hm_debug.txt", false},
      {words({"p", "-cs", "/d/my.scr"}), "", "", "", "", false},
      {words({"p", "-S", "/d/my.scr"}), "", "", "", "", false},
      {words({"p", "-s", "/d/run.txt"}), "", "", "/d/run.txt", "/d/hm_debug.txt", true},
      {words({"p", "a.dat", "b.dat"}), "", "", "", "", false},
      // A data file named after -s is opened, never run as a script.
      {words({"p", "-s", "/d/data.hm"}), "/d/data.hm", "", "", "", false},
      {words({"p", "-sc", "/d/data.qzi"}), "/d/data.hm", "", "", "", false},
      // A script named like its own log is not given a log that would overwrite it.
      {words({"p", "/d/hm_debug.txt"}), "", "", "/d/hm_debug.txt", "", true},
  };
  for (const command_case& c : cases) {
    const command_line_plan_t plan = plan_command_line(c.words);
    const wxString where = c.words.back();
    EXPECT_EQ(plan.native_file, wxString(where == "X.QZI" ? "X.HM" : c.native)) << where;
    EXPECT_EQ(plan.image_data, wxString(c.image)) << where;
    EXPECT_EQ(plan.script, wxString(c.script)) << where;
    EXPECT_EQ(plan.script_log, wxString(c.log)) << where;
    EXPECT_EQ(plan.close_after_script, c.close) << where;
  }
}

// ---------------------------------------------------------------- folders

class temp_folder : public ::testing::Test {
 protected:
  void SetUp() override {
    static int serial = 0;
    root_ = fs::temp_directory_path() /
            ("nv_app_rules_" + std::to_string(::getpid()) + "_" + std::to_string(serial++));
    fs::create_directories(root_);
  }
  void TearDown() override { fs::remove_all(root_); }
  wxString path(const std::string& rel) const { return wxString::FromUTF8((root_ / rel).string()); }
  static void write(const wxString& file, const std::string& text) {
    std::ofstream(file.utf8_string()) << text;
  }
  static std::string read(const wxString& file) {
    std::ifstream in(file.utf8_string());
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  fs::path root_;
};

TEST(ConfigLocation, XdgFolderElseDotConfigElseTheDirOption) {
  struct {
    std::vector<wxString> words;
    const char* xdg;
    const char* config_dir;
    const char* data_base;
    bool dir_option;
    const char* old_ini;
  } cases[] = {
      {words({"p"}), "/x/cfg", "/x/cfg/Norvelith", "/home/u", false, "/home/u/norvelith.ini"},
      {words({"p"}), "", "/home/u/.config/Norvelith", "/home/u", false, "/home/u/norvelith.ini"},
      {words({"p"}), "relative", "/home/u/.config/Norvelith", "/home/u", false, "/home/u/norvelith.ini"},
      {words({"p", "a.hm"}), "", "/home/u/.config/Norvelith", "/home/u", false, "/home/u/norvelith.ini"},
      {words({"p", "dir=/data/cfg/", "a.hm"}), "/x", "/data/cfg", "/data/cfg", true, ""},
      {words({"p", "x", "dir=/data"}), "", "/home/u/.config/Norvelith", "/home/u", false,
       "/home/u/norvelith.ini"},
  };
  for (const auto& c : cases) {
    const config_location_t where = choose_config_location(c.words, "/home/u", c.xdg);
    EXPECT_EQ(where.config_dir, wxString(c.config_dir)) << c.xdg;
    EXPECT_EQ(where.data_base, wxString(c.data_base));
    EXPECT_EQ(where.dir_option, c.dir_option);
    EXPECT_EQ(where.old_ini, wxString(c.old_ini));
    EXPECT_EQ(where.ini_path(), wxString(c.config_dir) + "/norvelith.ini");
  }
}

using ConfigFolder = temp_folder;

TEST_F(ConfigFolder, IsCreatedWholeWithItsSubFoldersAndTakesInAnOldFile) {
  const wxString home = path("home");
  fs::create_directories(root_ / "home");
  write(home + "/norvelith.ini", "RES_ICON_SIZE=1\n");
  const config_location_t where = choose_config_location(words({"p"}), home, "");
  ASSERT_TRUE(prepare_config_folder(where, nullptr));
  EXPECT_TRUE(wxDirExists(home + "/.config/Norvelith/volumes"));
  EXPECT_TRUE(wxDirExists(home + "/.config/Norvelith/materials"));
  EXPECT_EQ(read(home + "/.config/Norvelith/norvelith.ini"), "RES_ICON_SIZE=1\n");
  EXPECT_FALSE(wxFileExists(home + "/norvelith.ini"));
}

TEST_F(ConfigFolder, AnOldFileNeverReplacesAnExistingConfiguration) {
  const wxString home = path("home");
  fs::create_directories(root_ / "home/.config/Norvelith");
  write(home + "/norvelith.ini", "RES_ICON_SIZE=1\n");
  write(home + "/.config/Norvelith/norvelith.ini", "RES_ICON_SIZE=2\n");
  const config_location_t where = choose_config_location(words({"p"}), home, "");
  prepare_config_folder(where, nullptr);
  EXPECT_EQ(read(home + "/.config/Norvelith/norvelith.ini"), "RES_ICON_SIZE=2\n");
  EXPECT_EQ(read(home + "/norvelith.ini"), "RES_ICON_SIZE=1\n");
}

TEST_F(ConfigFolder, DirOptionMakesOnlyTheNamedFolderAndMovesNothing) {
  const wxString home = path("home");
  fs::create_directories(root_ / "home");
  write(home + "/norvelith.ini", "old\n");
  const wxString dir = path("given/cfg");
  const config_location_t where = choose_config_location(words({"p", ("dir=" + dir).c_str()}), home, "");
  ASSERT_TRUE(prepare_config_folder(where, nullptr));
  EXPECT_TRUE(wxDirExists(dir));
  EXPECT_FALSE(wxDirExists(dir + "/volumes"));
  EXPECT_FALSE(wxFileExists(dir + "/norvelith.ini"));
  EXPECT_EQ(read(home + "/norvelith.ini"), "old\n");
}

TEST_F(ConfigFolder, UncreatableFolderIsReportedNotFatal) {
  write(path("file"), "x");
  config_location_t where;
  where.config_dir = path("file/sub");
  wxString problem;
  EXPECT_FALSE(prepare_config_folder(where, &problem));
  EXPECT_TRUE(problem.Contains("Cannot create")) << problem;
}

TEST(DataFolder, DocumentsWhenPresentExceptWithTheDirOption) {
  std::set<wxString> dirs = {"/home/u/Documents", "/c/Documents"};
  auto exists = [&](const wxString& d) { return dirs.count(d) > 0; };
  EXPECT_EQ(default_data_folder(choose_config_location(words({"p"}), "/home/u", ""), exists),
            "/home/u/Documents");
  EXPECT_EQ(default_data_folder(choose_config_location(words({"p"}), "/home/v", ""), exists), "/home/v");
  EXPECT_EQ(default_data_folder(choose_config_location(words({"p", "dir=/c"}), "/home/u", ""), exists), "/c");
}

TEST(DefaultNames, BothNamesCarryTheFirstNumberWhereNeitherFileExists) {
  std::set<wxString> files = {"/d/halmondo_data_1.hm", "/d/halmondo_data_2.qzi", "/d/halmondo_data_4.hm"};
  auto exists = [&](const wxString& f) { return files.count(f) > 0; };
  default_names_t n = first_free_data_names("/d", "halmondo_data", 1, exists);
  EXPECT_EQ(n.native, "/d/halmondo_data_3.hm");
  EXPECT_EQ(n.frames, "/d/halmondo_data_3.qzi");
  EXPECT_EQ(n.number, 3);
  n = first_free_data_names("/d", "halmondo_data", 4, exists);
  EXPECT_EQ(n.native, "/d/halmondo_data_5.hm");
  n = first_free_data_names("/e", "scan", 1, exists);
  EXPECT_EQ(n.native, "/e/scan_1.hm");
  EXPECT_EQ(n.frames, "/e/scan_1.qzi");
}

TEST(ExecDir, AbsolutePathThenWorkingFolderThenSearchPath) {
  std::set<wxString> files = {"/w/bin/norvelith", "/usr/local/bin/nv"};
  auto exists = [&](const wxString& f) { return files.count(f) > 0; };
  EXPECT_EQ(exec_dir_from("/opt/n/norvelith", "/w", "", exists), "/opt/n");
  EXPECT_EQ(exec_dir_from("bin/norvelith", "/w", "/usr/bin", exists), "/w/bin");
  EXPECT_EQ(exec_dir_from("./bin/norvelith", "/w/", "/usr/bin", exists), "/w/bin");
  EXPECT_EQ(exec_dir_from("nv", "/w", "/usr/bin:/usr/local/bin", exists), "/usr/local/bin");
  EXPECT_EQ(exec_dir_from("missing", "/w", "/usr/bin", exists), "");
  EXPECT_EQ(exec_dir_from("", "/w", "/usr/bin", exists), "");
}

// ------------------------------------------------------------- start-up

TEST(OsCheck, LinuxAndNtPassWindowsFromSevenOnly) {
  struct {
    int family, major, minor;
    bool ok;
  } cases[] = {{64, 5, 10, true}, {8, 5, 0, true},  {60, 6, 1, true},  {60, 10, 0, true},
               {60, 6, 0, false}, {60, 5, 9, false}, {2, 14, 0, false}, {0, 0, 0, false}};
  for (const auto& c : cases)
    EXPECT_EQ(os_supported(c.family, c.major, c.minor), c.ok) << c.family << " " << c.major << "." << c.minor;
  EXPECT_EQ(static_cast<int>(wxOS_UNIX_LINUX), 64);
  EXPECT_EQ(static_cast<int>(wxOS_WINDOWS_NT), 8);
  EXPECT_EQ(static_cast<int>(wxOS_WINDOWS), 60);
  int major = 0, minor = 0;
  const int family = wxGetOsVersion(&major, &minor);
  EXPECT_TRUE(os_supported(family, major, minor)) << "this machine: " << family;
}

TEST(UpdateCutoff, WhatIsNewUntilTheLastMinuteOfSeptember2024) {
  EXPECT_LE(days_since_update_cutoff(wxDateTime(30, wxDateTime::Sep, 2024, 23, 59, 59)), 0);
  EXPECT_LE(days_since_update_cutoff(wxDateTime(1, wxDateTime::Jan, 2024, 12, 0, 0)), 0);
  EXPECT_EQ(days_since_update_cutoff(wxDateTime(1, wxDateTime::Oct, 2024, 0, 0, 0)), 1);
  EXPECT_EQ(days_since_update_cutoff(wxDateTime(10, wxDateTime::Oct, 2024, 12, 0, 0)), 10);
}

TEST(WhatsNew, CountsThreeShowingsAndStopsForGood) {
  struct {
    int32_t value;
    int32_t shown;
    bool due;
    int32_t after_ok;
    const char* count_text;
  } cases[] = {
      {72700000, 0, true, 72700001, "displayed 2 more time(s)."},
      {72700001, 1, true, 72700002, "displayed 1 more time(s)."},
      {72700002, 2, true, 72700003, "displayed 0 more time(s)."},
      {72700003, 3, false, 72700004, nullptr},
      {72800000, 100000, false, 72800001, nullptr},
      {72600005, 0, true, 72700001, "displayed 2 more time(s)."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(whats_new_showings(c.value), c.shown) << c.value;
    EXPECT_EQ(whats_new_due(c.value), c.due) << c.value;
    EXPECT_EQ(whats_new_after(c.value, true), c.after_ok) << c.value;
    EXPECT_EQ(whats_new_after(c.value, false), 72700003) << c.value;
    if (c.count_text) {
      const wxString text = whats_new_text(c.value);
      EXPECT_TRUE(text.StartsWith("This is a new version of Norvelith.\n\nPlease take a look at the new "
                                  "features and bug fixes.\nThis message will be "))
          << text;
      EXPECT_TRUE(text.EndsWith(c.count_text)) << text;
    }
  }
}

// --------------------------------------------------------- window texts

TEST(FramesStatusText, RemembersCountAndRateAcrossCalls) {
  frames_status_t s;
  const struct {
    double rate;
    int32_t count;
    const char* text;
  } steps[] = {
      {0, 0, "0 frames loaded."},
      {-1, 12, "12 frames loaded."},
      {25, -1, "12 frames at 25 per second."},
      {-1, 40, "40 frames at 25 per second."},
      {24.6, -1, "40 frames at 25 per second."},
      {0, -1, "40 frames loaded."},
      {-1, -1, "40 frames loaded."},
  };
  for (const auto& step : steps) EXPECT_EQ(s.text(step.rate, step.count), step.text);
}

TEST(StatusTexts, FileFieldAndUnsavedQuestion) {
  EXPECT_EQ(data_file_status_text("/d/a.hm", 3, true, true, "DICOM"), "DICOM data: /d/a.hm");
  EXPECT_EQ(data_file_status_text("/d/a.hm", 3, false, true, "DICOM"), "/d/a.hm");
  EXPECT_EQ(data_file_status_text("/d/a.hm", 3, true, false, "DICOM"), "/d/a.hm");
  EXPECT_EQ(data_file_status_text("/d/a.hm", 0, true, true, "DICOM"), "/d/a.hm");
  EXPECT_EQ(unsaved_changes_text(" - Object data\n"),
            "There are unsaved changes for:\n\n - Object data\n\nSelect OK to ignore these changes");
}

TEST(Layout, WideFromTwelveEightyPixels) {
  EXPECT_FALSE(wide_control_layout(1279));
  EXPECT_TRUE(wide_control_layout(1280));
}

TEST(IconSet, AutomaticFollowsContentScaleAndFixedCodesChooseSets) {
  struct {
    int32_t code;
    double scale;
    int set, edge;
  } cases[] = {{-1, 1.0, 0, 24},  {-1, 1.24, 0, 24}, {-1, 1.25, 1, 32}, {-1, 2.5, 1, 32},
               {-1, 2.51, 2, 48}, {0, 3.0, 0, 0},    {1, 1.0, 1, 0},    {2, 1.0, 2, 0},
               {7, 1.0, 2, 0},    {-2, 1.0, 0, 24}};
  for (const auto& c : cases) {
    const icon_set_choice_t got = choose_icon_set(c.code, c.scale);
    EXPECT_EQ(got.set, c.set) << c.code << " " << c.scale;
    EXPECT_EQ(got.edge, c.edge) << c.code << " " << c.scale;
  }
}

}  // namespace
