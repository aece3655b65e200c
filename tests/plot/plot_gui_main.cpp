// Test program of the plot window: a toolkit application under the test
// display with every image handler registered, as the program has them.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <wx/init.h>

#include "plot_gui_fixture.h"

scratch_dir::scratch_dir() {
  char tmpl[] = "/tmp/nv_plot_XXXXXX";
  const char* made = mkdtemp(tmpl);
  dir_ = made ? made : "/tmp";
}

scratch_dir::~scratch_dir() {
  std::error_code ec;
  if (dir_ != "/tmp") std::filesystem::remove_all(dir_, ec);
}

std::vector<std::string> scratch_dir::entries() const {
  std::vector<std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(dir_)) out.push_back(e.path().filename());
  return out;
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  wxApp::SetInstance(new wxApp);
  if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit()) {
    std::fprintf(stderr, "cannot initialise the toolkit (no display?)\n");
    return 1;
  }
  wxInitAllImageHandlers();
  int rc = RUN_ALL_TESTS();
  wxTheApp->OnExit();
  wxEntryCleanup();
  return rc;
}
