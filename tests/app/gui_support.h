// Helpers of the main-window tests.
#pragma once

#include <string>

#include "app_test_main.h"

#include <wx/string.h>

extern std::string g_root, g_cfg;
// The data file names start-up chose, noted before any test runs.
extern wxString g_startup_data_name, g_startup_frames_name;
