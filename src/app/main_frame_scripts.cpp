// The Scripts page: building it, forwarding its commands, the program's
// handlers that scripts call, and the runner of command-line scripts.
#include <wx/notebook.h>

#include "app/app_file_menu_ui.h"
#include "app/batch_script.h"
#include "app/main_frame.h"
#include "data/file_menu.h"
#include "data/file_menu_ui.h"
#include "registry/resource_table.h"

namespace {
class scripts_page_runner : public script_batch_runner {
 public:
  explicit scripts_page_runner(MainFrame& frame) : frame_(frame) {}
  bool run(const wxString& script, const wxString& log_file) override {
    return frame_.scripts && frame_.scripts->batch_run(script, log_file);
  }

 private:
  MainFrame& frame_;
};
}  // namespace

void MainFrame::create_scripts_page(wxNotebook* notebook) {
  scripts = new scripts_page(notebook, *this, *this);
  script_runner = std::make_unique<scripts_page_runner>(*this);
  set_script_batch_runner(script_runner.get());
}

#define NV_TO_SCRIPTS_PAGE(handler)                  \
  void MainFrame::handler(wxCommandEvent& event) {    \
    if (scripts) scripts->handler(event);             \
  }
NV_TO_SCRIPTS_PAGE(OnScriptLoad)
NV_TO_SCRIPTS_PAGE(OnScriptSave)
NV_TO_SCRIPTS_PAGE(OnScriptEditorRun)
NV_TO_SCRIPTS_PAGE(OnScriptSaveAs)
NV_TO_SCRIPTS_PAGE(OnScriptClearOutput)
#undef NV_TO_SCRIPTS_PAGE

bool MainFrame::script_file_open() {
  file_menu_handler_scope scope;
  return file_open();
}

bool MainFrame::script_file_close() {
  file_menu_handler_scope scope;
  return file_close(default_name_counter);
}

bool MainFrame::script_file_save() {
  file_menu_handler_scope scope;
  return file_save();
}

void MainFrame::script_show_page() {
  wxCommandEvent event;
  OnTaskScript(event);
}

bool MainFrame::script_may_discard_data(bool may_ask) {
  if (resource_table->RES_BUF_FRAMES->read() <= 0) return true;
  wxString groups;
  if (!base_res_t::describe_changed_groups(RES_CLASS_DATA_HEADER | RES_CLASS_DATA_BODY, groups)) return true;
  if (!may_ask) return false;
  return current_file_menu_ui().ask_ok_cancel(
      L"Ignore changes", L"There are unsaved changes for:\n\n" + groups + L"\nSelect OK to ignore these changes");
}
