// The mouse and key presses dialog: the button tool overrides, the selection
// range, the arrow-key steps, the wheel zoom, scroll bars and expert mode.
// It has no change procedure: the controls show the values of start-up and
// afterwards what the user sets in them.
#pragma once

#include "settings/settings_dialog.h"

class wxCheckBox;
class wxChoice;
class wxCommandEvent;
class wxScrollEvent;
class wxSlider;

class mouse_dlg final : public settings_dialog {
 public:
  mouse_dlg(wxWindow* parent, settings_host& host);

  void OnMouseMiddleOverride(wxCommandEvent& event);
  void OnMouseRightOverride(wxCommandEvent& event);
  void OnMouseSensitivity(wxScrollEvent& event);
  void OnCursorRotation(wxScrollEvent& event);
  void OnCursorMovement(wxScrollEvent& event);
  void OnScrollZoom(wxScrollEvent& event);
  void OnUseScrollbars(wxCommandEvent& event);
  void OnExpertMode(wxCommandEvent& event);

  wxChoice *middle = nullptr, *right = nullptr;
  wxSlider *sensitivity = nullptr, *rotation = nullptr, *movement = nullptr, *zoom = nullptr;
  wxCheckBox *scrollbars = nullptr, *expert = nullptr;

 private:
  wxChoice* tool_choice(wxSizer* line, int id, int32_t value);
  wxSlider* slider(wxSizer* line, int id, int32_t value, int low, int high);
  wxCheckBox* check(int id, const wxString& label, bool value);
};
