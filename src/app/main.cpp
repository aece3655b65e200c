// Program entry: a write past the file-size limit fails instead of ending
// the program, assertions off, information-level logging (debug records
// dropped), then the toolkit's entry point, which creates the application
// object.
#include <wx/app.h>
#include <wx/log.h>

#include "app/norvelith.h"
#include "data/file_save.h"

wxIMPLEMENT_APP_NO_MAIN(MainWindow);

int main(int argc, char** argv) {
  mark_program_entry();
  ignore_file_size_signal();
  wxDisableAsserts();
  wxLog::SetLogLevel(wxLOG_Info);
  return wxEntry(argc, argv);
}
