// Starts the application in this process with "dir=" a private folder, no
// reachable update server and a stand-in browser first on PATH; notes how
// long start-up took and what it logged; runs the tests; shuts down.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "app/norvelith.h"
#include "app_test_main.h"
#include "layout_support.h"
#include "loopback_http.h"

std::string g_layout_root, g_layout_cfg;
double g_startup_seconds = -1;
std::vector<log_capture::record> g_startup_log;

namespace {
std::string browser_record() { return g_layout_root + "/browser.txt"; }
}  // namespace

std::vector<std::string> browser_calls(size_t expected, int wait_ms) {
  std::vector<std::string> calls;
  for (int waited = 0;; waited += 20) {
    calls.clear();
    std::ifstream in(browser_record());
    for (std::string line; std::getline(in, line);) calls.push_back(line);
    if (calls.size() >= expected || waited >= wait_ms) return calls;
    pump_events(1);
    wxMilliSleep(18);
  }
}

namespace {
// True when no child process of this program is still running; ended ones
// not yet reaped count as ended.
bool no_running_children() {
  const std::string me = std::to_string(::getpid());
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream in(entry.path() / "stat");
    std::string stat;
    std::getline(in, stat);
    const size_t end = stat.rfind(')');
    if (end == std::string::npos) continue;
    std::istringstream rest(stat.substr(end + 1));
    std::string state, parent;
    rest >> state >> parent;
    if (parent == me && state != "Z" && state != "X") return false;
  }
  return true;
}
}  // namespace

std::vector<std::string> browser_calls_settled() {
  wait_until(no_running_children);
  return browser_calls(0, 0);
}

void clear_browser_calls() { std::remove(browser_record().c_str()); }

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  g_layout_root = make_app_test_root("nv_app_layout_", {"home", "bin"});
  g_layout_cfg = g_layout_root + "/cfg";

  // Nothing answers at the update addresses.
  const std::string nowhere = "http://127.0.0.1:" + std::to_string(loopback_http::closed_port());
  ::setenv("NV_UPDATE_URL", (nowhere + "/versions.htm").c_str(), 1);
  ::setenv("NV_UPDATE_FALLBACK_URL", (nowhere + "/fallback.htm").c_str(), 1);
  ::setenv("NV_HOME_PAGE_URL", "http://127.0.0.1:9/norvelith/", 1);

  // The browser stand-in notes each address it is given.
  const std::string script = g_layout_root + "/bin/xdg-open";
  std::ofstream(script) << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << browser_record() << "'\n";
  ::chmod(script.c_str(), 0755);
  const char* path = std::getenv("PATH");
  ::setenv("PATH", (g_layout_root + "/bin:" + (path ? path : "/usr/bin:/bin")).c_str(), 1);

  // Start-up is timed and its log kept; the tests begin with its events done.
  return run_app_tests(argv[0], g_layout_root, new MainWindow, [] {
    bool started = false;
    {
      log_capture startup_log;
      const auto t0 = std::chrono::steady_clock::now();
      started = wxTheApp->CallOnInit();
      g_startup_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      g_startup_log = startup_log.records();
    }
    if (started) pump_events();
    return started;
  });
}
