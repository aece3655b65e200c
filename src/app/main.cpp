// Program entry: assertions off, information-level logging (debug records
// dropped), then the toolkit's entry point, which creates the application
// object.
#include <wx/app.h>
#include <wx/log.h>

#include "app/norvelith.h"

wxIMPLEMENT_APP_NO_MAIN(MainWindow);

int main(int argc, char** argv) {
  mark_program_entry();
  wxDisableAsserts();
  wxLog::SetLogLevel(wxLOG_Info);
  return wxEntry(argc, argv);
}
