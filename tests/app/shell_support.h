// Helpers of the command-table and main-window behaviour tests: the
// application object that can note handler calls instead of making them,
// and the 30-frame recording the tests load.
#pragma once

#include <string>
#include <vector>

#include <wx/event.h>

#include "app/norvelith.h"
#include "app_test_main.h"

extern std::string g_shell_root, g_shell_cfg, g_shell_data;

// Frame intervals of the recording, in milliseconds: 29 intervals between
// its 30 frames, alternating 20 and 40 ms.
constexpr int SHELL_FRAMES = 30;
inline int shell_interval_ms(int frame) { return frame % 2 == 0 ? 20 : 40; }

// The application as start-up runs it; while recording, every event
// handler the toolkit would call is noted and not called.
class recording_app : public MainWindow {
 public:
  struct call_t {
    wxEvtHandler* handler;
    wxEventFunction method;
  };

  void CallEventHandler(wxEvtHandler* handler, wxEventFunctor& functor, wxEvent& event) const override {
    if (recording) {
      calls.push_back({handler, functor.GetEvtMethod()});
      return;
    }
    MainWindow::CallEventHandler(handler, functor, event);
  }

  bool recording = false;
  mutable std::vector<call_t> calls;
};

inline recording_app& shell_app() { return *static_cast<recording_app*>(wxTheApp); }
