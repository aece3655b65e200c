// The run with a stand-in host: the handler calls over a file list, failures
// that stop it, repeats, the results table, the results name and progress.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "script_fake_host.h"

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct ScriptRun : ::testing::Test {
  script_fixture f;
  fs::path root;
  void SetUp() override {
    static int serial = 0;
    root = fs::temp_directory_path() / ("nv_script_" + std::to_string(::getpid()) + "_" + std::to_string(serial++));
    fs::create_directories(root / "res");
    f.host.dirs = {"/d"};
    f.host.tree = {{"/d", "/d/a.hm"}, {"/d", "/d/b.hm"}};
  }
  void TearDown() override { fs::remove_all(root); }
  bool run(const std::string& text) {
    f.host.text = text;
    return f.script->run();
  }
  std::string res() const { return (root / "res").string(); }
};

TEST_F(ScriptRun, TwoFilesAreOpenedProcessedAndClosed) {
  ASSERT_TRUE(run("results_dir " + res() + "\nopen /d\nwrite_header XSCALE\nparam XSCALE 0.25\nfunc FILE_SAVEAS new\nwrite\n"))
      << f.host.output;
  const std::vector<std::string> calls = {"close", "open /d/a.hm", "save /d/a_new.hm", "close",
                                          "open /d/b.hm", "save /d/b_new.hm", "close", "close"};
  EXPECT_EQ(f.host.calls, calls);
  EXPECT_TRUE(f.host.has_line(">>  Successfully completed script."));
  EXPECT_EQ(slurp(root / "res" / "log.txt"),
            "File number,Full file name,Results file name,Current surface,RES_XSCALE\n"
            "1,/d/a_new.hm,,(none),0.250000\n"
            "2,/d/b_new.hm,,(none),0.250000\n");
  // The run leaves its resources at rest.
  EXPECT_EQ(resource_table->RES_SCRIPT_RESULTS_DIR->read(), "INITIAL_STATE");
  EXPECT_FALSE(resource_table->RES_IN_SCRIPT->read());
}

TEST_F(ScriptRun, AFailedOpenStopsTheList) {
  f.host.open_ok = [](const wxString& p) { return p != "/d/a.hm"; };
  EXPECT_FALSE(run("open /d\nparam XSCALE 1\n"));
  const std::vector<std::string> calls = {"close", "open /d/a.hm", "close"};
  EXPECT_EQ(f.host.calls, calls);
  EXPECT_TRUE(f.host.has_line(">> ERROR: Failed opening file: /d/a.hm")) << f.host.output;
  EXPECT_FALSE(f.host.has_line(">>  Successfully completed script."));
}

TEST_F(ScriptRun, AParseErrorOrARefusalClosesNothing) {
  EXPECT_FALSE(run("open /d\nbogus\n"));
  EXPECT_TRUE(f.host.calls.empty());
  f.host.unsaved_refused = true;
  EXPECT_FALSE(run("open /d\nparam XSCALE 1\n"));
  EXPECT_TRUE(f.host.calls.empty());
}

TEST_F(ScriptRun, RepeatsRunTheirCountTimes) {
  struct row {
    const char* count;
    size_t saves;
  };
  for (const row r : {row{"0", 0}, row{"-3", 0}, row{"2", 4}}) {
    f.host.calls.clear();
    ASSERT_TRUE(run(std::string("repeat ") + r.count + "\nfunc FILE_SAVE\nfunc FILE_SAVE\nend\n")) << f.host.output;
    EXPECT_EQ(f.host.calls.size(), r.saves) << r.count;
  }
}

TEST_F(ScriptRun, ALoopOrRepeatOfOneCommandIsIgnoredWithAWarning) {
  ASSERT_TRUE(run("repeat 3\nend\n")) << f.host.output;
  EXPECT_TRUE(f.host.has_line(">> WARNING: Command 'repeat' is not implemented and will be ignored."));
}

TEST_F(ScriptRun, RowsWithoutAFileListAndWithCommasInTheirFields) {
  resource_table->RES_ASCII_FILENAME->write(wxFileName("/d/x,y.hm"));
  f.host.selected = "left hip ";
  ASSERT_TRUE(run("results_dir " + res() + " 0\nscript_name run1\nwrite_header XSCALE\nwrite cortex\n")) << f.host.output;
  const wxString value = base_res_t::get_as_string("RES_XSCALE");
  EXPECT_EQ(slurp(root / "res" / "log_run1.txt"),
            "File number,Full file name,Results file name,Current surface,RES_XSCALE\n"
            ",\"/d/x,y.hm\",\"x,y_cortex_run1_left_hip\",left hip ," + value.ToStdString() + "\n");
}

TEST_F(ScriptRun, ResultsThatCouldNotBeWrittenAreWrittenAtTheEnd) {
  // A folder in the results file's place until the file has been processed.
  fs::create_directories(root / "res" / "log.txt");
  int closes = 0;
  f.host.on_close = [&] {
    if (++closes == 2) fs::remove_all(root / "res" / "log.txt");
  };
  f.host.tree = {{"/d", "/d/a.hm"}};
  EXPECT_FALSE(run("results_dir " + res() + "\nopen /d\nwrite_header XSCALE\nwrite\n"));
  EXPECT_TRUE(f.host.has_line(">> ERROR: Unable to write to results log file")) << f.host.output;
  const std::string text = slurp(root / "res" / "log.txt");
  EXPECT_EQ(text.substr(0, text.find('\n')), "File number,Full file name,Results file name,Current surface,RES_XSCALE");
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
}

TEST_F(ScriptRun, WithoutAResultsDirectoryWritesFailAndWriteNothing) {
  EXPECT_FALSE(run("write_header XSCALE\nwrite\n"));
  EXPECT_TRUE(f.host.has_line(">> ERROR: Unable to write to results log file: the script names no results directory."));
  EXPECT_FALSE(fs::exists("INITIAL_STATE"));
}

TEST_F(ScriptRun, AFailingScriptFailsEveryTime) {
  for (int k = 0; k < 2; ++k) {
    EXPECT_FALSE(run("func SAVE_3D x\n")) << k;
    EXPECT_TRUE(f.host.has_line(">> ERROR: Function name tag not recognised: 'SAVE_3D'"));
  }
  const std::string log = f.host.output.ToStdString();
  size_t n = 0;
  for (size_t p = log.find("not recognised: 'SAVE_3D'"); p != std::string::npos; p = log.find("not recognised: 'SAVE_3D'", p + 1)) ++n;
  EXPECT_EQ(n, 2u);
}

TEST_F(ScriptRun, MessagesFromElsewhereReachTheLog) {
  auto& channel = *resource_table->RES_SCRIPT_WRITE_MESSAGE;
  channel.write("Script file doesn't exist.");
  channel.write("WARNING  two blanks");
  channel.write("INITIAL_STATE");
  EXPECT_EQ(f.host.output, ">>  Script file doesn't exist.\n>> WARNING:  two blanks\n");
}

TEST_F(ScriptRun, TheEstimateIsCorrectedAfterTheFirstFile) {
  f.host.tree = {{"/d", "/d/a.hm"}, {"/d", "/d/b.hm"}, {"/d", "/d/c.hm"}};
  std::vector<int32_t> estimates;
  f.host.open_ok = [&](const wxString&) {
    estimates.push_back(f.script->step_estimate);
    return true;
  };
  ASSERT_TRUE(run("open /d\nfunc FILE_SAVE\nfunc FILE_SAVE\n")) << f.host.output;
  EXPECT_EQ(estimates, (std::vector<int32_t>{12, 12, 12}));
  EXPECT_EQ(f.host.progress_opened, 1);
  // Twelve counted steps and two re-estimates; the last step shows 9999.
  ASSERT_EQ(f.host.positions.size(), 15u);
  EXPECT_EQ(f.host.positions[1], 833);
  EXPECT_EQ(f.host.positions.back(), 9999);

  f.host.progress_opened = 0;
  ASSERT_TRUE(run("param XSCALE 2\n"));
  EXPECT_EQ(f.host.progress_opened, 0);
}

TEST_F(ScriptRun, ResultsNamesFromTheDataFilesFolders) {
  struct row {
    std::vector<int32_t> parts;
    const char* tag;
    const char* name;
    const char* expected;
  };
  const row rows[] = {{{-1, 0}, "cortex", "run1", "patient7_scan2_cortex_run1"},
                      {{1}, "", "", "patient7"},
                      {{-2}, "", "", ""},
                      {{}, "", "", ""},
                      {{0, 5, -9}, "two words", "", "scan2_two_words"}};
  resource_table->RES_ASCII_FILENAME->write(wxFileName("/data/patient7/scan2.hm"));
  for (const row& r : rows) {
    f.script->name_parts = r.parts;
    f.script->write_tag = r.tag;
    f.script->script_name = r.name;
    f.script->update_results_name();
    EXPECT_EQ(resource_table->RES_SCRIPT_RESULTS_NAME->read(), r.expected);
  }
}

TEST_F(ScriptRun, TheDispatchersFrameRefusesUnknownAndShortCalls) {
  f.script->reset(true);
  f.script->call_function("INITIAL_STATE", {});
  EXPECT_TRUE(f.script->success);
  EXPECT_EQ(f.host.output, "");
  f.script->call_function("OBJECT_OPACITY", {"bone"});
  EXPECT_EQ(resource_table->RES_SCRIPT_FUNC_ARG->read(), "INITIAL_STATE");
  f.script->call_function("NO_TAG", {});
  EXPECT_EQ(f.host.output,
            ">> ERROR: Error in parsing. Not enough function arguments in call command constructed by the script.\n"
            ">> ERROR: Error in parsing. Function name not recognised in call command constructed by the script.\n");
  EXPECT_TRUE(f.host.calls.empty());
  f.script->reset(false);
}

}  // namespace

#include "script/scripts_page.h"

namespace {
TEST(ScriptDebugName, IsTheScriptNameAndItsTimeOneHourAheadOfUtc) {
  wxDateTime utc(5, wxDateTime::Mar, 2024, 13, 7, 9);
  utc.MakeFromTimezone(wxDateTime::UTC);
  EXPECT_EQ(script_debug_file_name("/x/y/scan.txt", utc), "/x/y/scan_debug_05-03-24__14-07-09.txt");
}
}  // namespace
