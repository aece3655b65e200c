// Starts the application in this process with "dir=" a private folder, runs
// the visualisation pages' tests in the main window, then shuts down as the
// toolkit would.
#include <string>

#include <gtest/gtest.h>

#include "app/app_test_main.h"
#include "app/norvelith.h"

std::string g_pages_root;

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  g_pages_root = make_app_test_root("nv_visual_pages_", {"home", "data"});
  return run_app_tests(argv[0], g_pages_root, new MainWindow);
}
