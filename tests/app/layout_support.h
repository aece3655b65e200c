// Helpers of the layout, page, help and update-check tests: a shown main
// window of a chosen size, answering modal dialogs, and the browser
// stand-in's record.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <wx/dialog.h>
#include <wx/modalhook.h>
#include <wx/utils.h>

#include "app/main_frame.h"
#include "app_test_main.h"
#include "common/log_capture.h"

extern std::string g_layout_root, g_layout_cfg;
// What start-up took and logged, the update check included.
extern double g_startup_seconds;
extern std::vector<log_capture::record> g_startup_log;

// The addresses the browser stand-in was asked to open, oldest first;
// waits up to `wait_ms` for at least `expected` of them.
std::vector<std::string> browser_calls(size_t expected, int wait_ms);
// The addresses once every process the program started has ended: a
// browser it started has noted its address by then.
std::vector<std::string> browser_calls_settled();
void clear_browser_calls();

// Answers every modal dialog shown while it lives with `answer`, which may
// also return wxID_NONE to let the dialog run (for instance after
// arranging with CallAfter to press one of its buttons).
class modal_answer : public wxModalDialogHook {
 public:
  explicit modal_answer(std::function<int(wxDialog*)> answer) : answer_(std::move(answer)) { Register(); }
  ~modal_answer() override { Unregister(); }
  int entered() const { return entered_; }

 protected:
  int Enter(wxDialog* dialog) override {
    ++entered_;
    return answer_(dialog);
  }
  void Exit(wxDialog*) override {}

 private:
  std::function<int(wxDialog*)> answer_;
  int entered_ = 0;
};

// Lets dialogs that batch runs skip come up, for the scope's life.
class interactive_dialogs {
 public:
  interactive_dialogs() { wxUnsetEnv(L"NV_LOG_TO_STDERR"); }
  ~interactive_dialogs() { wxSetEnv(L"NV_LOG_TO_STDERR", L"1"); }
};
