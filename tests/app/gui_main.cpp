// Drives the application object in this process: start-up with "dir=" a
// private folder, the tests, then shut-down as the toolkit would do it.
#include <cstdio>
#include <string>

#include <gtest/gtest.h>
#include <wx/init.h>

#include "app/norvelith.h"
#include "app_test_main.h"
#include "gui_support.h"
#include "native_fixture.h"
#include "registry/resource_table.h"

std::string g_root, g_cfg;
wxString g_startup_data_name, g_startup_frames_name;

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  g_root = make_app_test_root("nv_app_gui_", {"home", "data"});
  g_cfg = g_root + "/cfg";

  // A data file for the command-line test, written before the program's
  // own registry exists.
  {
    wxInitializer base;
    if (!write_native_fixture(wxString::FromUTF8(g_root + "/data/scan.hm"), 3, 8, 6)) {
      std::fprintf(stderr, "cannot write the data file fixture\n");
      return 1;
    }
  }
  return run_app_tests(argv[0], g_root, new MainWindow, [] {
    if (!wxTheApp->CallOnInit()) return false;
    g_startup_data_name = resource_table->RES_ASCII_FILENAME->read().GetFullPath();
    g_startup_frames_name = resource_table->RES_BIN_IM_FILENAME->read();
    return true;
  });
}
