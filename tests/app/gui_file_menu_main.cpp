// Runs the File menu's tests against the main window in this process: start-up
// with "dir=" a private folder, the tests, then shut-down.
#include <string>

#include <gtest/gtest.h>

#include "app/norvelith.h"
#include "app_test_main.h"
#include "gui_file_menu_support.h"

std::string g_fm_root;

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  g_fm_root = make_app_test_root("nv_file_menu_", {"home", "data"});
  return run_app_tests(argv[0], g_fm_root, new MainWindow);
}
