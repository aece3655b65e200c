// Helpers of the settings dialogs' main-window tests: the recording with
// comment lines they open, control events as the toolkit sends them, and a
// commit counter.
#pragma once

#include <string>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/slider.h>

#include <vector>

#include "data/file_menu_ui.h"
#include "registry/hm_resource.h"

extern std::string g_settings_root;

// A recording of two frames whose header holds the comment lines
// "first note" and "second, longer note".
std::string settings_recording();
// Opens a data file in the main window, closing what is open first.
bool open_data(const std::string& path);
// Closes whatever data is open, answering every question with OK.
void close_data();

// File dialogs that give a chosen answer, questions answered OK, messages kept.
struct scripted_dialogs final : file_menu_ui {
  wxString path;  // empty: the file dialog is cancelled
  std::vector<file_dialog_request> requests;
  std::vector<wxString> messages;

  bool choose_file(const file_dialog_request& request, file_dialog_result& result) override {
    requests.push_back(request);
    if (path.empty()) return false;
    result.path = path;
    return true;
  }
  bool choose_folder(const wxString&, const wxString&, wxString&) override { return false; }
  bool ask_ok_cancel(const wxString&, const wxString&) override { return true; }
  bool ask_text(const wxString&, const wxString&, const wxString&, wxString&) override { return false; }
  void show_message(const wxString&, const wxString& text) override { messages.push_back(text); }
};

// A control's command event sent from the control itself, so that it
// travels up through the dialog to the main window's command table.
inline void send_command(wxWindow* control, wxEventType type, int value = 0) {
  wxCommandEvent event(type, control->GetId());
  event.SetEventObject(control);
  event.SetInt(value);
  control->GetEventHandler()->ProcessEvent(event);
}

// The slider moved to position by an event of the given kind.
inline void scroll(wxSlider* slider, int position, wxEventType type = wxEVT_SCROLL_CHANGED) {
  slider->SetValue(position);
  wxScrollEvent event(type, slider->GetId(), position, wxHORIZONTAL);
  event.SetEventObject(slider);
  slider->GetEventHandler()->ProcessEvent(event);
}

inline void choose(wxChoice* choice, int selection) {
  choice->SetSelection(selection);
  send_command(choice, wxEVT_CHOICE, selection);
}

inline void tick(wxCheckBox* box, bool on) {
  box->SetValue(on);
  send_command(box, wxEVT_CHECKBOX, on ? 1 : 0);
}

// Counts the commits in which a resource changed.
struct change_counter {
  explicit change_counter(base_res_t* r) : res(r), functor(this, &change_counter::seen) { res->add_proc(&functor); }
  ~change_counter() { res->remove_proc(&functor); }
  void seen() { ++count; }
  base_res_t* res;
  pmf_functor<change_counter> functor;
  int count = 0;
};
