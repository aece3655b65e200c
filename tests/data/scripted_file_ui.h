// The File menu's dialogs answered from lists, for tests with and without
// the main window.
#pragma once

#include <deque>
#include <utility>
#include <vector>

#include "data/file_menu_ui.h"

// Answers the dialogs from lists (cancelling when a list runs out) and
// records what was asked.
class scripted_file_ui : public file_menu_ui {
 public:
  std::deque<file_dialog_result> files;
  std::deque<wxString> folders;
  std::deque<bool> confirmations;
  std::deque<wxString> texts;
  std::vector<file_dialog_request> file_requests;
  std::vector<wxString> asked;     // "caption|text" of OK/Cancel questions
  std::vector<wxString> messages;  // "caption|text"
  std::vector<wxString> text_requests;  // "caption|initial"
  std::deque<int> picks;                          // answers of single-choice dialogs
  std::vector<std::vector<wxString>> choice_lists;  // the choices offered, caption first

  void choose(const wxString& path, int filter = 0, std::vector<bool> checks = {}) {
    file_dialog_result r;
    r.path = path;
    r.filter_index = filter;
    r.checks = std::move(checks);
    files.push_back(r);
  }

  bool choose_file(const file_dialog_request& request, file_dialog_result& result) override {
    file_requests.push_back(request);
    if (files.empty()) return false;
    result = files.front();
    files.pop_front();
    return true;
  }
  bool choose_folder(const wxString&, const wxString&, wxString& path) override {
    if (folders.empty()) return false;
    path = folders.front();
    folders.pop_front();
    return true;
  }
  bool ask_ok_cancel(const wxString& caption, const wxString& text) override {
    asked.push_back(caption + "|" + text);
    if (confirmations.empty()) return false;
    const bool ok = confirmations.front();
    confirmations.pop_front();
    return ok;
  }
  bool ask_text(const wxString& caption, const wxString&, const wxString& initial,
                wxString& text) override {
    text_requests.push_back(caption + "|" + initial);
    if (texts.empty()) return false;
    text = texts.front();
    texts.pop_front();
    return true;
  }
  void show_message(const wxString& caption, const wxString& text) override {
    messages.push_back(caption + "|" + text);
  }
  bool choose_one(const wxString& caption, const wxString& message, const std::vector<wxString>& choices,
                  int& index) override {
    std::vector<wxString> offered{caption + "|" + message};
    offered.insert(offered.end(), choices.begin(), choices.end());
    choice_lists.push_back(offered);
    if (picks.empty()) return false;
    index = picks.front();
    picks.pop_front();
    return true;
  }
};
