// The common ground of the settings dialogs: each is a dialog of the main
// window that owns its controls, its handlers and its change procedure. Its
// block-events style is cleared before the window exists, so that its
// controls' command events travel on to the main window, whose command
// table forwards them to the dialog's handlers.
#pragma once

#include <cstdint>

#include <wx/dialog.h>

#include "registry/proc_registrations.h"

class shader;
class wxSizer;

// What the dialogs need of the main window.
class settings_host {
 public:
  virtual ~settings_host() = default;
  // An edited text field that loses the focus sends its Enter event.
  virtual void send_enter_on_focus_loss(wxWindow* text) = 0;
  // Rebuilds the toolbar's images for an icon-size code (-1 automatic).
  virtual void set_toolbar_icon_size(int32_t code) = 0;
  // The 3D view's shader set; null while there is no 3D view.
  virtual const shader* outline_shaders() = 0;
};

class settings_dialog : public wxDialog {
 public:
  ~settings_dialog() override;
  settings_dialog(const settings_dialog&) = delete;
  settings_dialog& operator=(const settings_dialog&) = delete;

  // Removes the dialog's change procedures (the main window is closing).
  void stop_listening() { procs_.clear(); }

 protected:
  // Creates the hidden dialog over parent (the main window) with a box sizer
  // of the given orientation; it stays on top, and only a resizable one has
  // a resize border.
  settings_dialog(wxWindow* parent, settings_host& host, const wxString& title, bool resizable,
                  int orientation);

  // Dialog units to pixels in the main window's font (-1 stays -1).
  wxSize dialog_units(int width, int height = -1) const;
  // Adds window to sizer with proportion 0 and a 5-pixel border all round.
  static void add(wxSizer* sizer, wxWindow* window, int flags = 0);
  // A horizontal row of a label and its control, added to sizer.
  wxSizer* row(wxSizer* sizer, const wxString& label);

  settings_host& host_;
  proc_registrations procs_;
};

// A slider's position for a value shown as value x scale + offset, taken to
// the nearest whole position, so that every position the user sets comes
// back unchanged through value = (position - offset) / scale.
int32_t slider_position(double value, double scale, double offset = 0.0);
