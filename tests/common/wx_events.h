// Letting the toolkit run while a test waits: pending events, idle
// processing and deferred deletes.
#pragma once

#include <functional>

#include <wx/app.h>
#include <wx/stopwatch.h>
#include <wx/utils.h>

// Lets the toolkit deliver what is pending; for effects that follow at once.
inline void pump_events(int rounds = 20) {
  for (int i = 0; i < rounds; ++i) {
    wxTheApp->Yield(true);
    wxTheApp->ProcessIdle();
    wxMilliSleep(2);
  }
}

// Keeps the toolkit running until `done` holds or `timeout_ms` has passed;
// true when it holds. The limit is generous: it only bounds a failing test.
inline bool wait_until(const std::function<bool()>& done, long timeout_ms = 20000) {
  wxStopWatch watch;
  while (!done()) {
    if (watch.Time() > timeout_ms) return false;
    wxTheApp->Yield(true);
    wxTheApp->ProcessIdle();
    wxMilliSleep(2);
  }
  return true;
}
