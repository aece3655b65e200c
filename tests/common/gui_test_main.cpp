// main() of the windowed view test programs: as tests/common/wx_test_main.cpp,
// and a failed toolkit assertion ends the run at once instead of waiting in a
// dialog no one will answer.
#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>
#include <wx/debug.h>
#include <wx/string.h>

#include "common/wx_test_run.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  wxSetAssertHandler([](const wxString& file, int line, const wxString&, const wxString& cond,
                        const wxString& msg) {
    std::fprintf(stderr, "toolkit assertion %s at %s:%d %s\n", static_cast<const char*>(cond.utf8_str()),
                 static_cast<const char*>(file.utf8_str()), line, static_cast<const char*>(msg.utf8_str()));
    std::abort();
  });
  return run_tests_in_toolkit(argc, argv);
}
