// Start-up and shut-down of the application under test, shared by the test
// programs that drive the main window in this process.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>

class wxApp;

// Lets the toolkit deliver pending events, run idle processing and delete
// destroyed windows.
void pump_events(int rounds = 20);

// Makes the private folder <temp>/<prefix><pid> with "cfg" and the given
// sub-folders in it, and points HOME and XDG_CONFIG_HOME into it so that
// nothing of the user's is read or written. Returns the folder.
std::string make_app_test_root(const std::string& prefix, std::initializer_list<const char*> folders);

// Starts `app` with "dir=" <root>/cfg (`start` replaces the plain
// CallOnInit), runs the tests, closes the main window, shuts the toolkit
// down as it would itself and removes the root folder. Returns the tests'
// result, or 1 when the application cannot start.
int run_app_tests(char* argv0, const std::string& root, wxApp* app,
                  const std::function<bool()>& start = {});
