// Data files and scripts that the command line names: thin calls into the
// data-file code and the script runner.
#include <wx/log.h>

#include "app/batch_script.h"
#include "app/loaded_data.h"
#include "app/main_frame.h"
#include "data/file_menu.h"
#include "data/medical_source.h"
#include "data/native_file.h"

namespace {
script_batch_runner* installed_runner = nullptr;
}  // namespace

script_batch_runner* set_script_batch_runner(script_batch_runner* runner) {
  script_batch_runner* old = installed_runner;
  installed_runner = runner;
  return old;
}

script_batch_runner* get_script_batch_runner() { return installed_runner; }

bool loaded_data_16bit() {
  medical_source* source = current_medical_source();
  return source && source->data_16bit();
}

wxString loaded_data_source_type() {
  medical_source* source = current_medical_source();
  return source ? source->source_type() : wxString(L"Unknown");
}

void reset_loaded_data_description() {
  if (medical_source* source = current_medical_source()) source->reset_data_source();
}

bool MainFrame::ScriptBatchRun(const wxString& script_file, const wxString& log_file) {
  if (!installed_runner) {
    wxLogError(L"Cannot run the script %s: this program has no script interpreter.", script_file);
    return false;
  }
  return installed_runner->run(script_file, log_file);
}

bool MainFrame::try_read_halmondo_file(const wxString& file_name) {
  return open_native_file(file_name);
}

bool MainFrame::open_image_data(const wxString& name) { return ::open_image_data(name); }
