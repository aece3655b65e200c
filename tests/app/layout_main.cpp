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
#include <wx/init.h>
#include <wx/log.h>

#include "app/norvelith.h"
#include "layout_support.h"
#include "loopback_http.h"

std::string g_layout_root, g_layout_cfg;
double g_startup_seconds = -1;
std::vector<log_capture::record> g_startup_log;

namespace {
std::string browser_record() { return g_layout_root + "/browser.txt"; }
}  // namespace

void layout_pump(int rounds) {
  for (int i = 0; i < rounds; ++i) {
    wxTheApp->Yield(true);
    wxTheApp->ProcessIdle();
    wxMilliSleep(2);
  }
}

std::vector<std::string> browser_calls(size_t expected, int wait_ms) {
  std::vector<std::string> calls;
  for (int waited = 0;; waited += 20) {
    calls.clear();
    std::ifstream in(browser_record());
    for (std::string line; std::getline(in, line);) calls.push_back(line);
    if (calls.size() >= expected || waited >= wait_ms) return calls;
    layout_pump(1);
    wxMilliSleep(18);
  }
}

void clear_browser_calls() { std::remove(browser_record().c_str()); }

shown_frame::shown_frame(int width, int height) : frame(new MainFrame(L"norvelith", 0, 0, width, height)) {
  frame->Show();
  layout_pump();
}

shown_frame::~shown_frame() {
  frame->batch_close = true;
  frame->Close(true);
  layout_pump();
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  namespace fs = std::filesystem;
  g_layout_root = (fs::temp_directory_path() / ("nv_app_layout_" + std::to_string(::getpid()))).string();
  g_layout_cfg = g_layout_root + "/cfg";
  fs::create_directories(g_layout_cfg);
  fs::create_directories(g_layout_root + "/home");
  fs::create_directories(g_layout_root + "/bin");
  ::setenv("HOME", (g_layout_root + "/home").c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (g_layout_root + "/xdg").c_str(), 1);
  ::setenv("NV_LOG_TO_STDERR", "1", 1);

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

  wxDisableAsserts();
  wxLog::SetLogLevel(wxLOG_Info);
  std::string dir_arg = "dir=" + g_layout_cfg;
  char* args[] = {argv[0], dir_arg.data(), nullptr};
  int n = 2;
  wxApp::SetInstance(new MainWindow);
  if (!wxEntryStart(n, args)) {
    std::fprintf(stderr, "cannot start the toolkit (no display?)\n");
    return 1;
  }
  bool started = false;
  {
    log_capture startup_log;
    const auto t0 = std::chrono::steady_clock::now();
    started = wxTheApp->CallOnInit();
    g_startup_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    g_startup_log = startup_log.records();
  }
  if (!started) {
    std::fprintf(stderr, "cannot start the application\n");
    return 1;
  }
  layout_pump();
  const int rc = RUN_ALL_TESTS();
  if (main_frame) {
    main_frame->batch_close = true;
    main_frame->Close(true);
  }
  layout_pump();
  wxTheApp->OnExit();
  wxEntryCleanup();
  fs::remove_all(g_layout_root);
  return rc;
}
