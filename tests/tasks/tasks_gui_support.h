// Helpers of the task pages' main-window tests: the recording they open, its
// contours, and the dialogs the tests answer.
#pragma once

#include <string>
#include <vector>

#include <wx/string.h>

#include "data/file_menu_ui.h"

extern std::string g_tasks_root, g_tasks_data;

// The recording: TASK_FRAMES frames of TASK_WIDTH x TASK_HEIGHT pixels, 1 mm
// apart, pixels TASK_SCALE cm wide and high. Objects 0 to 6, named
// "Part 0" to "Part 6", hold on frames 2 to 7 a square centred on
// (20, 15) whose side is task_square_side(frame) pixels.
constexpr int TASK_FRAMES = 10;
constexpr int TASK_WIDTH = 40;
constexpr int TASK_HEIGHT = 30;
constexpr double TASK_SCALE = 0.02;
constexpr int TASK_OBJECTS = 7;
inline double task_square_side(int frame) { return 6.0 + frame; }

// Opens the recording in the main window unless it is open.
bool open_task_recording();
// Closes whatever data is open, answering every question with OK.
void close_task_data();

// File dialogs that give a chosen answer, questions answered OK, messages kept.
struct scripted_dialogs final : file_menu_ui {
  wxString path;  // empty: the file dialog is cancelled
  int filter = 1;
  std::vector<file_dialog_request> requests;
  std::vector<wxString> messages;

  bool choose_file(const file_dialog_request& request, file_dialog_result& result) override {
    requests.push_back(request);
    if (path.empty()) return false;
    result.path = path;
    result.filter_index = filter;
    return true;
  }
  bool choose_folder(const wxString&, const wxString&, wxString&) override { return false; }
  bool ask_ok_cancel(const wxString&, const wxString&) override { return true; }
  bool ask_text(const wxString&, const wxString&, const wxString&, wxString&) override { return false; }
  void show_message(const wxString&, const wxString& text) override { messages.push_back(text); }
};
