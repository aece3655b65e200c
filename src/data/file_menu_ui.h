// The dialogs of the File menu's commands: file and folder choosers, the
// OK/Cancel question about unsaved changes, a line of text and a message box.
// The main window supplies toolkit dialogs; tests script them. Questions that
// take Yes or No go through data_io_ui.
#pragma once

#include <wx/string.h>

#include <utility>
#include <vector>

struct file_dialog_request {
  wxString message;
  wxString folder;    // starting folder
  wxString wildcard;  // "label|pattern|label|pattern..."
  wxString name;      // default file name
  int filter_index = 0;  // the filter preselected
  // Save style, asking before an existing file is overwritten; otherwise the
  // open style.
  bool save = false;
  // With save: ask before an existing file is chosen (callers that append
  // ask their own question).
  bool ask_overwrite = true;
  // Check boxes shown with the dialog (label, initial state).
  std::vector<std::pair<wxString, bool>> checks;
};

struct file_dialog_result {
  wxString path;         // folder and name as chosen
  int filter_index = 0;  // index of the chosen filter of the wildcard
  std::vector<bool> checks;  // the check boxes' states when accepted
};

class file_menu_ui {
 public:
  virtual ~file_menu_ui() = default;
  // False when the dialog was not closed with OK.
  virtual bool choose_file(const file_dialog_request& request, file_dialog_result& result) = 0;
  // A folder that must exist; false when cancelled.
  virtual bool choose_folder(const wxString& message, const wxString& folder, wxString& path) = 0;
  // OK and Cancel with a warning icon; true for OK.
  virtual bool ask_ok_cancel(const wxString& caption, const wxString& text) = 0;
  // A line of text with OK and Cancel; false unless OK.
  virtual bool ask_text(const wxString& caption, const wxString& message, const wxString& initial,
                        wxString& text) = 0;
  // A message with an OK button and an exclamation icon.
  virtual void show_message(const wxString& caption, const wxString& text) = 0;
  // One of choices, the first preselected, with OK and Cancel; false unless
  // OK with a selection. Dialogs that offer no such choice cancel it.
  virtual bool choose_one(const wxString& caption, const wxString& message,
                          const std::vector<wxString>& choices, int& index) {
    return false;
  }
};

// The dialogs in force; while none is installed every dialog counts as
// cancelled and messages go to the log.
file_menu_ui& current_file_menu_ui();
// Whether some caller installed dialogs.
bool file_menu_ui_installed();

// Installs ui for the lifetime of the scope.
class file_menu_ui_scope {
 public:
  explicit file_menu_ui_scope(file_menu_ui& ui);
  ~file_menu_ui_scope();
  file_menu_ui_scope(const file_menu_ui_scope&) = delete;
  file_menu_ui_scope& operator=(const file_menu_ui_scope&) = delete;

 private:
  file_menu_ui* previous_;
};
