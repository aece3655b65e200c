// main() of the windowed test programs: the toolkit on the test display with
// every image handler registered, and a failed toolkit assertion ending the
// run at once instead of waiting in a dialog no one will answer.
#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/debug.h>
#include <wx/image.h>
#include <wx/init.h>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  wxSetAssertHandler([](const wxString& file, int line, const wxString&, const wxString& cond,
                        const wxString& msg) {
    std::fprintf(stderr, "toolkit assertion %s at %s:%d %s\n", static_cast<const char*>(cond.utf8_str()),
                 static_cast<const char*>(file.utf8_str()), line, static_cast<const char*>(msg.utf8_str()));
    std::abort();
  });
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
