// norvelith dir=CFG script.txt as a user runs it: the script's message log
// beside it, its results table, the saved copies, and an exit status that is
// 0 only for a script that completed.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/native_fixture.h"

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void spit(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> out;
  std::string cur;
  for (char c : text) {
    if (c == '\n') {
      out.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) out.push_back(cur);
  return out;
}

struct exit_result {
  bool exited = false;
  int status = -1;
  std::string err;
};

class BatchScript : public ::testing::Test {
 protected:
  void SetUp() override {
    static int serial = 0;
    root_ = fs::temp_directory_path() / ("nv_script_batch_" + std::to_string(::getpid()) + "_" + std::to_string(serial++));
    fs::create_directories(root_ / "home");
    fs::create_directories(root_ / "cfg");
    fs::create_directories(root_ / "data");
    fs::create_directories(root_ / "res");
  }
  void TearDown() override { fs::remove_all(root_); }

  // Runs the program on script as a user would (no test switches), killed
  // after a minute: a run that waits for a click fails.
  exit_result run(const fs::path& script) {
    const fs::path err = root_ / "stderr.txt";
    pid_t pid = ::fork();
    if (pid == 0) {
      ::setenv("HOME", (root_ / "home").c_str(), 1);
      for (const char* name : {"XDG_CONFIG_HOME", "NV_LOG_TO_STDERR", "NV_TEST_CLOSE_AFTER_STARTUP", "NV_TEST_REPORT_STARTUP"})
        ::unsetenv(name);
      int fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(fd, 2);
      ::dup2(fd, 1);
      if (::chdir(root_.c_str()) != 0) ::_exit(126);
      const std::string cfg = "dir=" + (root_ / "cfg").string();
      const std::string name = script.string();
      char* argv[] = {const_cast<char*>(NV_NORVELITH_EXE), const_cast<char*>(cfg.c_str()),
                      const_cast<char*>(name.c_str()), nullptr};
      ::execv(NV_NORVELITH_EXE, argv);
      ::_exit(127);
    }
    exit_result r;
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (::waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        ADD_FAILURE() << "norvelith did not end: something waits for a user";
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    r.exited = WIFEXITED(status);
    r.status = r.exited ? WEXITSTATUS(status) : -1;
    r.err = slurp(err);
    return r;
  }

  fs::path root_;
};

TEST_F(BatchScript, OpensWritesAndSavesCopiesOfEveryListedFile) {
  // Two native files of known sizes: frames, width, height.
  const std::map<std::string, std::vector<int>> sizes = {{"a", {3, 8, 6}}, {"b", {2, 5, 4}}};
  for (const auto& [name, s] : sizes)
    ASSERT_TRUE(write_native_fixture(wxString::FromUTF8((root_ / "data" / (name + ".hm")).string()), s[0], s[1], s[2]));
  const fs::path script = root_ / "case.txt";
  spit(script, "# copies of every scan\n"
               "results_dir " + (root_ / "res").string() + "\n"
               "open " + (root_ / "data").string() + "\n"
               "write_header BUF_FRAMES BUF_WIDTH RES_BUF_HEIGHT\n"
               "param XSCALE 0.5\n"
               "func FILE_SAVEAS copy\n"
               "write\n");
  exit_result r = run(script);
  ASSERT_TRUE(r.exited) << r.err;
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string log = slurp(root_ / "hm_debug.txt");
  EXPECT_NE(log.find(">>  Successfully completed script.\n"), std::string::npos) << log;
  EXPECT_EQ(log.find(">> ERROR"), std::string::npos) << log;

  // One row per file, its number from the listing, its values the fixture's.
  const std::vector<std::string> rows = lines_of(slurp(root_ / "res" / "log.txt"));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], "File number,Full file name,Results file name,Current surface,RES_BUF_FRAMES,RES_BUF_WIDTH,RES_BUF_HEIGHT");
  std::vector<std::string> numbers, rest;
  for (size_t k = 1; k < rows.size(); ++k) {
    numbers.push_back(rows[k].substr(0, rows[k].find(',')));
    rest.push_back(rows[k].substr(rows[k].find(',') + 1));
  }
  std::sort(numbers.begin(), numbers.end());
  std::sort(rest.begin(), rest.end());
  EXPECT_EQ(numbers, (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(rest, (std::vector<std::string>{(root_ / "data" / "a_copy.hm").string() + ",,(none),3,8,6",
                                            (root_ / "data" / "b_copy.hm").string() + ",,(none),2,5,4"}));

  // The copies open again with the same contents.
  const fs::path again = root_ / "again.txt";
  spit(again, "script_name again\nresults_dir " + (root_ / "res").string() + "\nopen " + (root_ / "data").string() +
                  " *_copy.hm\nwrite_header BUF_FRAMES BUF_WIDTH BUF_HEIGHT\nwrite\n");
  r = run(again);
  EXPECT_EQ(r.status, 0) << r.err << slurp(root_ / "hm_debug.txt");
  std::vector<std::string> reopened = lines_of(slurp(root_ / "res" / "log_again.txt"));
  ASSERT_EQ(reopened.size(), 3u);
  std::sort(reopened.begin() + 1, reopened.end(), [](const std::string& x, const std::string& y) {
    return x.substr(x.find(',')) < y.substr(y.find(','));
  });
  EXPECT_NE(reopened[1].find("a_copy.hm,again,(none),3,8,6"), std::string::npos) << reopened[1];
  EXPECT_NE(reopened[2].find("b_copy.hm,again,(none),2,5,4"), std::string::npos) << reopened[2];
}

TEST_F(BatchScript, FailuresExitNonZeroWithTheirLog) {
  spit(root_ / "data" / "broken.hm", "not a data file\n");
  struct row {
    const char* file;
    std::string text;
    std::string expected;
  };
  const row rows[] = {
      {"typo.txt", "param XSCALE 1\nparm YSCALE 1\n", ">> ERROR: In line 2 of Script. Command not recognised."},
      {"open.txt", "open " + (root_ / "data").string() + "\nparam XSCALE 1\n",
       ">> ERROR: Failed opening file: " + std::string((root_ / "data" / "broken.hm").string())},
  };
  for (const row& r : rows) {
    fs::remove(root_ / "hm_debug.txt");
    spit(root_ / r.file, r.text);
    exit_result e = run(root_ / r.file);
    ASSERT_TRUE(e.exited) << e.err;
    EXPECT_NE(e.status, 0) << r.file;
    const std::string log = slurp(root_ / "hm_debug.txt");
    EXPECT_NE(log.find(r.expected + "\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("Successfully completed"), std::string::npos) << log;
  }
}

TEST_F(BatchScript, AMissingScriptExitsNonZeroWithoutALog) {
  exit_result e = run(root_ / "missing.txt");
  ASSERT_TRUE(e.exited) << e.err;
  EXPECT_NE(e.status, 0);
  EXPECT_NE(e.err.find("Script file doesn't exist"), std::string::npos) << e.err;
  EXPECT_FALSE(fs::exists(root_ / "hm_debug.txt"));
}

}  // namespace
