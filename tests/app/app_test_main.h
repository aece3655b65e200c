// Start-up and shut-down of the application under test, shared by the test
// programs that drive the main window in this process.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>

#include "common/wx_events.h"

class wxApp;
class MainFrame;

// Makes the private folder <temp>/<prefix><pid> with "cfg" and the given
// sub-folders in it, and points HOME and XDG_CONFIG_HOME into it so that
// nothing of the user's is read or written. Returns the folder.
std::string make_app_test_root(const std::string& prefix, std::initializer_list<const char*> folders);

// Starts `app` with "dir=" <root>/cfg (`start` replaces the plain
// CallOnInit), runs the tests in whatever order they come, then closes the
// main window here rather than in a test, so that shuffled runs work;
// shuts the toolkit down as it would itself and removes the root folder.
// Returns the tests' result (a main window that does not go counts as a
// failure), or 1 when the application cannot start.
int run_app_tests(char* argv0, const std::string& root, wxApp* app,
                  const std::function<bool()>& start = {});

// A further main window at (0, 0) in the given size, shown or not, closed
// and deleted at the end of the scope unless a test closed it already.
struct extra_frame {
  explicit extra_frame(int width = 1400, int height = 900, bool show = false);
  ~extra_frame();
  // True once a close went through: the window waits to be deleted.
  bool closed() const;
  MainFrame* frame;
};
