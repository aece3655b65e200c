// Helpers of the main-window tests.
#pragma once

#include <string>

#include "app_test_main.h"

extern std::string g_root, g_cfg;
