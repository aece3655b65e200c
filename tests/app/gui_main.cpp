// Drives the application object in this process: start-up with "dir=" a
// private folder, the tests, then shut-down as the toolkit would do it.
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
#include "gui_support.h"
#include "native_fixture.h"

std::string g_root, g_cfg;

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  namespace fs = std::filesystem;
  g_root = (fs::temp_directory_path() / ("nv_app_gui_" + std::to_string(::getpid()))).string();
  g_cfg = g_root + "/cfg";
  fs::create_directories(g_cfg);
  fs::create_directories(g_root + "/home");
  fs::create_directories(g_root + "/data");
  ::setenv("HOME", (g_root + "/home").c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (g_root + "/xdg").c_str(), 1);
  ::setenv("NV_LOG_TO_STDERR", "1", 1);

  // A data file for the command-line test, written before the program's
  // own registry exists.
  {
    wxInitializer base;
    if (!write_native_fixture(wxString::FromUTF8(g_root + "/data/scan.hm"), 3, 8, 6)) {
      std::fprintf(stderr, "cannot write the data file fixture\n");
      return 1;
    }
  }

  wxDisableAsserts();
  wxLog::SetLogLevel(wxLOG_Info);
  std::string dir_arg = "dir=" + g_cfg;
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
  pump_events();
  wxTheApp->OnExit();
  wxEntryCleanup();
  fs::remove_all(g_root);
  return rc;
}
