// The norvelith program end to end: its configuration file, a data file
// named on the command line, batch scripts and the fatal-error path.
#include <algorithm>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <regex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "loopback_http.h"
#include "native_fixture.h"

namespace fs = std::filesystem;

namespace {

struct run_result {
  bool exited = false;
  int status = -1;
  std::string err;
};

std::string slurp(const fs::path& p) {
  std::ifstream in(p);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void spit(const fs::path& p, const std::string& text) { std::ofstream(p) << text; }

class Program : public ::testing::Test {
 protected:
  void SetUp() override {
    static int serial = 0;
    root_ = fs::temp_directory_path() /
            ("nv_app_proc_" + std::to_string(::getpid()) + "_" + std::to_string(serial++));
    fs::create_directories(root_ / "home");
    fs::create_directories(root_ / "cfg");
  }
  void TearDown() override { fs::remove_all(root_); }

  // Runs norvelith with args and the extra environment given; with
  // signal_when_shown, SIGSEGV is sent once the program reports its main
  // window shown.
  run_result run(const std::vector<std::string>& args, bool close_after_startup = true,
                 bool signal_when_shown = false,
                 const std::vector<std::pair<std::string, std::string>>& env = {}) {
    const fs::path err = root_ / "stderr.txt";
    pid_t pid = ::fork();
    if (pid == 0) {
      ::setenv("HOME", (root_ / "home").c_str(), 1);
      ::unsetenv("XDG_CONFIG_HOME");
      ::setenv("NV_LOG_TO_STDERR", "1", 1);
      if (close_after_startup)
        ::setenv("NV_TEST_CLOSE_AFTER_STARTUP", "1", 1);
      else
        ::unsetenv("NV_TEST_CLOSE_AFTER_STARTUP");
      if (signal_when_shown)
        ::setenv("NV_TEST_REPORT_STARTUP", "1", 1);
      else
        ::unsetenv("NV_TEST_REPORT_STARTUP");
      for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
      if (file_size_ != RLIM_INFINITY) {
        rlimit limit{file_size_, file_size_};
        ::setrlimit(RLIMIT_FSIZE, &limit);
      }
      int fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(fd, 2);
      ::dup2(fd, 1);
      if (::chdir(root_.c_str()) != 0) ::_exit(126);
      std::vector<char*> argv;
      argv.push_back(const_cast<char*>(NV_NORVELITH_EXE));
      for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execv(NV_NORVELITH_EXE, argv.data());
      ::_exit(127);
    }
    run_result r;
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    bool signalled = !signal_when_shown;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
      if (!signalled && slurp(err).find("main window shown after") != std::string::npos) {
        ::kill(pid, SIGSEGV);
        signalled = true;
      }
      if (std::chrono::steady_clock::now() > deadline) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        ADD_FAILURE() << "norvelith did not end";
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    r.exited = WIFEXITED(status);
    r.status = r.exited ? WEXITSTATUS(status) : -WTERMSIG(status);
    r.err = slurp(err);
    return r;
  }

  std::string cfg_arg() const { return "dir=" + (root_ / "cfg").string(); }
  fs::path root_;
  rlim_t file_size_ = RLIM_INFINITY;  // the program's file-size limit
};

// The value of key in an ini text, or "<none>".
std::string ini_value(const std::string& ini, const std::string& key) {
  std::smatch m;
  if (std::regex_search(ini, m, std::regex("(^|\n)" + key + "=([^\n]*)"))) return m[2];
  return "<none>";
}

std::string with_value(std::string ini, const std::string& key, const std::string& value) {
  return std::regex_replace(ini, std::regex("(^|\n)" + key + "=[^\n]*"), "$1" + key + "=" + value);
}

TEST_F(Program, WritesItsConfigurationOnCloseAndReadsItBackNextTime) {
  run_result r = run({cfg_arg()});
  ASSERT_TRUE(r.exited) << r.err;
  EXPECT_EQ(r.status, 0) << r.err;
  std::smatch m;
  ASSERT_TRUE(std::regex_search(r.err, m, std::regex("main window shown after ([0-9]+) ms"))) << r.err;
  std::cout << "[ timing ] start-up to a shown main window: " << m[1] << " ms" << std::endl;
  RecordProperty("startup_ms", m[1].str());

  const fs::path ini = root_ / "cfg" / "norvelith.ini";
  std::string text = slurp(ini);
  ASSERT_EQ(ini_value(text, "RES_ICON_SIZE"), "-1") << text;
  EXPECT_EQ(ini_value(text, "RES_PRESSURE_TASK"), "0");
  EXPECT_FALSE(fs::exists(root_ / "home" / ".config")) << "dir= keeps everything in its folder";

  // Values of the file are kept; the Spine switch brings the Pressure
  // features for the run only.
  text = with_value(with_value(text, "RES_ICON_SIZE", "2"), "RES_SPINE_TASK", "1");
  spit(ini, text);
  r = run({cfg_arg()});
  EXPECT_EQ(r.status, 0) << r.err;
  text = slurp(ini);
  EXPECT_EQ(ini_value(text, "RES_ICON_SIZE"), "2");
  EXPECT_EQ(ini_value(text, "RES_SPINE_TASK"), "1");
  EXPECT_EQ(ini_value(text, "RES_PRESSURE_TASK"), "0");
}

// Out-of-range index entries alone once crashed the start-up and left the
// file empty: the program starts and the file keeps every entry.
TEST_F(Program, AConfigurationOfOnlyBadIndexEntriesStartsAndKeepsEveryEntry) {
  const fs::path ini = root_ / "cfg" / "norvelith.ini";
  spit(ini, "RES_SHADER=46\nRES_MOUSE_MIDDLE_OVERRIDE=110\n");
  run_result r = run({cfg_arg()});
  ASSERT_TRUE(r.exited) << r.err;
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string text = slurp(ini);
  EXPECT_EQ(ini_value(text, "RES_SHADER"), "2") << text;
  EXPECT_EQ(ini_value(text, "RES_MOUSE_MIDDLE_OVERRIDE"), "0");
  EXPECT_EQ(std::count(text.begin(), text.end(), '='), 64) << text;
}

// A damaged configuration file: the program starts with the valid entries,
// warns once, and the file it writes holds no bad line, so that the next
// start has nothing to say. Floating-point entries that are not finite or out
// of range give the built-in values.
TEST_F(Program, ADamagedConfigurationWarnsOnceAndIsCleanedOnClose) {
  const fs::path ini = root_ / "cfg" / "norvelith.ini";
  spit(ini, "RES_ICON_SIZE=2\n%%garbage%%\nRES_ICON_SIZE=1\nRES_RESLICE_OPACITY=-5\n"
            "RES_LIGHTING_AMBIENT=nan\nRES_LIGHTING_UP_DOWN=-1e300\nRES_THICKNESS_LINE=inf\n"
            "RES_HUGE=" + std::string(size_t(20) << 20, '9') + "\nRES_LIGHTING_FRONT_SIDE=0.3\n");
  const std::string warning = "has lines that are not settings";
  run_result r = run({cfg_arg()});
  ASSERT_TRUE(r.exited) << r.err.substr(0, 2000);
  EXPECT_EQ(r.status, 0) << r.err.substr(0, 2000);
  const size_t at = r.err.find(warning);
  ASSERT_NE(at, std::string::npos) << r.err.substr(0, 2000);
  EXPECT_EQ(r.err.find(warning, at + 1), std::string::npos) << "warned once";
  EXPECT_NE(r.err.find("line 2 is not a setting, line 3 repeats RES_ICON_SIZE of line 1, line 8 is "
                       "longer than 1024 characters)"),
            std::string::npos)
      << r.err.substr(0, 2000);

  const std::string text = slurp(ini);
  EXPECT_EQ(ini_value(text, "RES_ICON_SIZE"), "2") << text.substr(0, 2000);
  EXPECT_EQ(ini_value(text, "RES_RESLICE_OPACITY"), "0.5");
  EXPECT_EQ(ini_value(text, "RES_LIGHTING_AMBIENT"), "0.1");
  EXPECT_EQ(ini_value(text, "RES_LIGHTING_UP_DOWN"), "-0.5");
  EXPECT_EQ(ini_value(text, "RES_THICKNESS_LINE"), "1.8");
  EXPECT_EQ(ini_value(text, "RES_LIGHTING_FRONT_SIDE"), "0.3");
  EXPECT_EQ(text.find("garbage"), std::string::npos);
  EXPECT_EQ(text.find("RES_HUGE"), std::string::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 64);

  r = run({cfg_arg()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.find(warning), std::string::npos) << r.err;
  EXPECT_EQ(slurp(ini), text);
}

// Past the file-size limit the configuration cannot be written: the program
// says so and ends normally, and the old file stays whole.
TEST_F(Program, AConfigurationPastTheFileSizeLimitIsReportedNotFatal) {
  // Entries the program does not know are kept; they make the file larger
  // than the limit, which its messages stay well below.
  const fs::path ini = root_ / "cfg" / "norvelith.ini";
  std::string old_text = "RES_ICON_SIZE=2\n";
  for (int k = 0; k < 10; ++k)
    old_text += "RES_LATER_" + std::to_string(k) + "=" + std::string(1000, 'x') + "\n";
  spit(ini, old_text);
  file_size_ = 8192;
  run_result r = run({cfg_arg()});
  ASSERT_TRUE(r.exited) << "ended by signal " << -r.status << "\n" << r.err;
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("The settings could not be saved."), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
  EXPECT_EQ(slurp(ini), old_text);
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(root_ / "cfg")) names.push_back(e.path().filename());
  EXPECT_EQ(names, std::vector<std::string>{"norvelith.ini"});
}

// Without an update server (the default build) start-up shows nothing in
// front of the main window; given addresses, it checks and warns when no
// page loads.
TEST_F(Program, StartUpChecksForUpdatesOnlyWhenTheBuildHasAServer) {
  const std::string nowhere = "http://127.0.0.1:" + std::to_string(loopback_http::closed_port());
  const struct {
    const char* what;
    std::string main, fallback;
    bool warned;
  } cases[] = {
      {"no update server", "", "", false},
      {"unreachable server", nowhere + "/versions.htm", nowhere + "/fallback.htm", true},
  };
  for (const auto& c : cases) {
    run_result r = run({cfg_arg()}, true, false, {{"NV_UPDATE_URL", c.main}, {"NV_UPDATE_FALLBACK_URL", c.fallback}});
    EXPECT_EQ(r.status, 0) << c.what << "\n" << r.err;
    EXPECT_NE(r.err.find("main window shown after"), std::string::npos) << c.what << "\n" << r.err;
    EXPECT_EQ(r.err.find("Could not access web page with Norvelith version information.") != std::string::npos,
              c.warned)
        << c.what << "\n" << r.err;
  }
}

TEST_F(Program, WithoutDirUsesTheUserConfigFolderAndTakesInAnOldFile) {
  spit(root_ / "home" / "norvelith.ini", "RES_ICON_SIZE=1\n");
  run_result r = run({});
  EXPECT_EQ(r.status, 0) << r.err;
  const fs::path folder = root_ / "home" / ".config" / "Norvelith";
  EXPECT_TRUE(fs::is_directory(folder / "volumes"));
  EXPECT_TRUE(fs::is_directory(folder / "materials"));
  EXPECT_EQ(ini_value(slurp(folder / "norvelith.ini"), "RES_ICON_SIZE"), "1");
  EXPECT_FALSE(fs::exists(root_ / "home" / "norvelith.ini"));
}

TEST_F(Program, OpensANativeDataFileNamedOnTheCommandLine) {
  const fs::path data = root_ / "data" / "scan.hm";
  fs::create_directories(data.parent_path());
  ASSERT_TRUE(write_native_fixture(wxString::FromUTF8(data.string()), 3, 8, 6));
  for (const fs::path& arg : {data, root_ / "data" / "scan.qzi"}) {
    run_result r = run({cfg_arg(), arg.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("Error"), std::string::npos) << r.err;
  }
  // A missing file is reported and start-up goes on.
  run_result r = run({cfg_arg(), (root_ / "data" / "missing.hm").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("missing.hm"), std::string::npos) << r.err;
}

TEST_F(Program, ASingleOtherArgumentIsOpenedAsImageData) {
  const fs::path image = root_ / "data" / "x.Hm";  // not a native data file name
  run_result r = run({image.string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find(image.string() + ": there is no such file or directory."), std::string::npos) << r.err;
}

TEST_F(Program, AFailedBatchScriptEndsWithANonZeroStatus) {
  const fs::path script = root_ / "run.txt";
  spit(script, "anything\n");
  run_result r = run({cfg_arg(), script.string()}, false);
  ASSERT_TRUE(r.exited) << r.err;
  EXPECT_NE(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("Error in Script. See log for details."), std::string::npos) << r.err;
  EXPECT_TRUE(fs::exists(root_ / "cfg" / "norvelith.ini")) << "the batch run closed the program normally";
}

TEST_F(Program, AScriptNamedLikeItsLogIsNeverOverwritten) {
  const fs::path script = root_ / "hm_debug.txt";
  spit(script, "keep me\n");
  run_result r = run({cfg_arg(), script.string()}, false);
  ASSERT_TRUE(r.exited) << r.err;
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("is not run: its message log would overwrite it"), std::string::npos) << r.err;
  EXPECT_EQ(slurp(script), "keep me\n");
}

TEST_F(Program, AFatalErrorTellsTheUserSavesTheConfigurationAndEnds) {
  run_result r = run({cfg_arg()}, false, true);
  ASSERT_TRUE(r.exited) << "ended by signal " << -r.status << "\n" << r.err;
  EXPECT_EQ(r.status, EXIT_FAILURE);
  EXPECT_NE(r.err.find("Fatal error in Norvelith: There has been a fatal error and Norvelith must now close."),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.err.find("AddressSanitizer"), std::string::npos) << r.err;
  EXPECT_EQ(ini_value(slurp(root_ / "cfg" / "norvelith.ini"), "RES_ICON_SIZE"), "-1");
}

}  // namespace
