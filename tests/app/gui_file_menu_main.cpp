// Runs the File menu's tests against the main window in this process: start-up
// with "dir=" a private folder, the tests, then shut-down.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <wx/init.h>
#include <wx/log.h>

#include "app/main_frame.h"
#include "app/norvelith.h"
#include "gui_file_menu_support.h"

std::string g_fm_root;

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  namespace fs = std::filesystem;
  g_fm_root = (fs::temp_directory_path() / ("nv_file_menu_" + std::to_string(::getpid()))).string();
  const std::string cfg = g_fm_root + "/cfg";
  fs::create_directories(cfg);
  fs::create_directories(g_fm_root + "/home");
  fs::create_directories(g_fm_root + "/data");
  ::setenv("HOME", (g_fm_root + "/home").c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (g_fm_root + "/xdg").c_str(), 1);
  ::setenv("NV_LOG_TO_STDERR", "1", 1);

  wxDisableAsserts();
  wxLog::SetLogLevel(wxLOG_Info);
  std::string dir_arg = "dir=" + cfg;
  char* args[] = {argv[0], dir_arg.data(), nullptr};
  int n = 2;
  wxApp::SetInstance(new MainWindow);
  if (!wxEntryStart(n, args) || !wxTheApp->CallOnInit()) {
    std::fprintf(stderr, "cannot start the application (no display?)\n");
    return 1;
  }
  const int rc = RUN_ALL_TESTS();
  if (main_frame) {
    main_frame->batch_close = true;
    main_frame->Close(true);
  }
  fm_pump_events();
  wxTheApp->OnExit();
  wxEntryCleanup();
  fs::remove_all(g_fm_root);
  return rc;
}
