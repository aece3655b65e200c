// Message dialogs that the application shell shows itself (the question
// about unsaved changes, the message about what is new, the fatal error).
// Tests answer them through a hook; in a batch or test run (NV_LOG_TO_STDERR
// set) without a hook nothing is shown: the text goes to stderr and the
// dialog's default answer is taken, so that nothing ever waits for a user.
#pragma once

#include <functional>

#include <wx/string.h>

class wxWindow;

struct dialog_request_t {
  wxString caption;
  wxString text;
  long style = 0;         // wxOK, wxCANCEL, wxICON_... as for wxMessageDialog
  wxString ok_label;      // custom button labels, empty for the toolkit's
  wxString cancel_label;
};

// Returns wxID_OK, wxID_CANCEL, wxID_YES or wxID_NO.
using dialog_hook_t = std::function<int(const dialog_request_t&)>;

// Installs a hook (an empty one removes it); returns the previous hook.
dialog_hook_t set_dialog_hook(dialog_hook_t hook);

// True when message boxes must not be shown (NV_LOG_TO_STDERR is set).
bool dialogs_suppressed();

int show_message_dialog(wxWindow* parent, const dialog_request_t& request);
