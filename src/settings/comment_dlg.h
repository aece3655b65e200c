// The comment dialog: one multi-line text field holding the data file's
// comment lines (the resource "#"), rewritten at every change of the text.
#pragma once

#include <vector>

#include <wx/string.h>

#include "settings/settings_dialog.h"

class wxCommandEvent;
class wxTextCtrl;

class comment_dlg final : public settings_dialog {
 public:
  comment_dlg(wxWindow* parent, settings_host& host);

  // Text changed (also by the program, which the refill flag passes over).
  void OnComment(wxCommandEvent& event);
  // The change procedure: newly loaded or closed data refill the text.
  void update();

  wxTextCtrl* text = nullptr;

 private:
  void refill();
  // Set while the program refills the text.
  bool refilling_ = false;
};

// The comment lines of a text: one per line, without line ends; an empty
// text has none, and a final line end closes the last line rather than
// starting an empty one.
std::vector<wxString> comment_lines(const wxString& text);
