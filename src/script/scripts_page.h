// The Scripts page of the task notebook: the script editor with Load, Run and
// Save, the output box that holds the script's message log with Clear and
// Save, the program's one Script, and the batch run of a script file.
#pragma once

#include <wx/datetime.h>

#include <functional>
#include <memory>

#include "script/script.h"
#include "tasks/task_page.h"

class wxTextCtrl;
class wxProgressDialog;

// The program's handlers that a script calls.
class script_actions {
 public:
  virtual ~script_actions() = default;
  virtual bool script_file_open() = 0;
  virtual bool script_file_close() = 0;
  virtual bool script_file_save() = 0;
  virtual void script_show_page() = 0;
  // Whether the open data may be closed: nothing unsaved, or (only when
  // may_ask) the user agreed to lose it.
  virtual bool script_may_discard_data(bool may_ask) = 0;
};

// The name proposed for the output of script: its folder and extension, its
// name followed by "_debug_" and modified as "%d-%m-%y__%H-%M-%S" one hour
// ahead of UTC.
wxString script_debug_file_name(const wxString& script, const wxDateTime& modified);

class scripts_page : public task_page, private script_host {
 public:
  scripts_page(wxNotebook* notebook, task_page_host& host, script_actions& actions);
  ~scripts_page() override;

  wxTextCtrl* script_editor = nullptr;
  wxTextCtrl* script_output = nullptr;
  std::unique_ptr<Script> script;

  // Removes the page's and its script's change procedures.
  void stop_listening();

  // True when the editor was saved to a file the user chose.
  bool save_script_editor();
  // Runs script_file without questions or boxes and saves the output to
  // log_file (when not empty); true only when the script succeeded.
  bool batch_run(const wxString& script_file, const wxString& log_file);

  // The page's file dialog: (message, default path, save) to the chosen
  // path, empty when cancelled. Tests put their own answer here.
  std::function<wxString(const wxString&, const wxString&, bool)> choose_file;

  void OnScriptLoad(wxCommandEvent& event);
  void OnScriptSave(wxCommandEvent& event);
  void OnScriptEditorRun(wxCommandEvent& event);
  void OnScriptSaveAs(wxCommandEvent& event);
  void OnScriptClearOutput(wxCommandEvent& event);

 private:
  // script_host
  wxString script_text() override;
  void append_output(const wxString& text) override;
  bool directory_exists(const wxString& dir) override;
  std::vector<wxString> list_files(const wxString& dir, const wxString& filter) override;
  std::vector<wxString> object_names() override;
  std::vector<wxString> surface_names() override;
  wxString selected_surface() override;
  bool file_open() override { return actions_.script_file_open(); }
  bool file_close() override { return actions_.script_file_close(); }
  bool file_save() override { return actions_.script_file_save(); }
  void show_scripts_page() override { actions_.script_show_page(); }
  bool may_close_open_data() override { return actions_.script_may_discard_data(!in_batch_); }
  void open_progress_dialog() override;
  bool move_progress_dialog(int position) override;
  void close_progress_dialog() override;
  void yield() override;

  // A missing script file: the output says so and the file name is emptied.
  void report_missing(const wxString& path);
  void load_editor(const wxString& path);

  script_actions& actions_;
  std::unique_ptr<wxProgressDialog> progress_;
  bool in_batch_ = false;
};
