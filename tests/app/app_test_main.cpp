#include "app_test_main.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>
#include <wx/utils.h>

#include "app/main_frame.h"

std::string make_app_test_root(const std::string& prefix, std::initializer_list<const char*> folders) {
  namespace fs = std::filesystem;
  const std::string root = (fs::temp_directory_path() / (prefix + std::to_string(::getpid()))).string();
  fs::create_directories(root + "/cfg");
  for (const char* f : folders) fs::create_directories(root + "/" + f);
  ::setenv("HOME", (root + "/home").c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (root + "/xdg").c_str(), 1);
  ::setenv("NV_LOG_TO_STDERR", "1", 1);
  return root;
}

extra_frame::extra_frame(int width, int height, bool show)
    : frame(new MainFrame(L"norvelith", 0, 0, width, height)) {
  if (show) {
    frame->Show();
    pump_events();
  }
}

extra_frame::~extra_frame() {
  if (!closed()) {
    frame->batch_close = true;
    frame->Close(true);
  }
  pump_events();
}

bool extra_frame::closed() const { return frame->IsBeingDeleted() || wxPendingDelete.Member(frame); }

int run_app_tests(char* argv0, const std::string& root, wxApp* app, const std::function<bool()>& start) {
  wxDisableAsserts();
  wxLog::SetLogLevel(wxLOG_Info);
  std::string dir_arg = "dir=" + root + "/cfg";
  char* args[] = {argv0, dir_arg.data(), nullptr};
  int n = 2;
  wxApp::SetInstance(app);
  if (!wxEntryStart(n, args)) {
    std::fprintf(stderr, "cannot start the toolkit (no display?)\n");
    return 1;
  }
  if (!(start ? start() : wxTheApp->CallOnInit())) {
    std::fprintf(stderr, "cannot start the application\n");
    return 1;
  }
  int rc = RUN_ALL_TESTS();
  if (main_frame) {
    main_frame->batch_close = true;
    main_frame->Close(true);
  }
  pump_events();
  if (main_frame) {
    std::fprintf(stderr, "the main window did not close\n");
    rc = 1;
  }
  wxTheApp->OnExit();
  wxEntryCleanup();
  std::filesystem::remove_all(root);
  return rc;
}
