// The body of main() of the test programs that run on the test display: a
// plain application (no Norvelith application object) with every image
// handler registered, as the program has them, around the GoogleTest run.
#pragma once

#include <cstdio>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/image.h>
#include <wx/init.h>

// Call after ::testing::InitGoogleTest; returns main()'s exit code.
inline int run_tests_in_toolkit(int argc, char** argv) {
  wxApp::SetInstance(new wxApp);
  if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit()) {
    std::fprintf(stderr, "cannot initialise the toolkit (no display?)\n");
    return 1;
  }
  wxInitAllImageHandlers();
  const int rc = RUN_ALL_TESTS();
  wxTheApp->OnExit();
  wxEntryCleanup();
  return rc;
}
