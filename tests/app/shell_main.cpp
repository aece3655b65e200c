// Starts the application in this process with "dir=" a private folder and a
// 30-frame recording written beside it, runs the tests, then shuts down as
// the toolkit would.
#include <cstdio>
#include <string>

#include <gtest/gtest.h>
#include <wx/init.h>

#include "app_test_main.h"
#include "native_fixture.h"
#include "shell_support.h"

std::string g_shell_root, g_shell_cfg, g_shell_data;

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  g_shell_root = make_app_test_root("nv_app_shell_", {"home", "data"});
  g_shell_cfg = g_shell_root + "/cfg";
  g_shell_data = g_shell_root + "/data/played.hm";
  {
    wxInitializer base;
    if (!write_native_fixture(wxString::FromUTF8(g_shell_data), SHELL_FRAMES, 8, 6, shell_interval_ms)) {
      std::fprintf(stderr, "cannot write the recording\n");
      return 1;
    }
  }
  return run_app_tests(argv[0], g_shell_root, new recording_app);
}
