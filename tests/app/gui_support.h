// Helpers of the main-window tests.
#pragma once

#include <string>

#include <wx/app.h>
#include <wx/utils.h>

extern std::string g_root, g_cfg;

// Lets the toolkit deliver pending events and delete destroyed windows.
inline void pump_events(int rounds = 20) {
  for (int i = 0; i < rounds; ++i) {
    wxTheApp->Yield(true);
    wxTheApp->ProcessIdle();
    wxMilliSleep(2);
  }
}
