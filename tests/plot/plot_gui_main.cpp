// The plot window tests' scratch folder; main() is the shared one of
// tests/common/wx_test_main.cpp.
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
