// Answers the program's message dialogs with a fixed answer while it lives,
// and records what they asked.
#pragma once

#include <vector>

#include "app/app_dialogs.h"

struct dialog_answers {
  explicit dialog_answers(int answer) {
    old = set_dialog_hook([this, answer](const dialog_request_t& r) {
      asked.push_back(r);
      return answer;
    });
  }
  ~dialog_answers() { set_dialog_hook(old); }
  dialog_answers(const dialog_answers&) = delete;
  dialog_answers& operator=(const dialog_answers&) = delete;

  std::vector<dialog_request_t> asked;
  dialog_hook_t old;
};
