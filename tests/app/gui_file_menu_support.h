// Helpers of the File menu's main-window tests.
#pragma once

#include <string>

#include "app_test_main.h"
#include "common/recording_files.h"

extern std::string g_fm_root;
