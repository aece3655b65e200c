// The door through which start-up runs a script in batch. The script
// interpreter installs a runner; until one is installed every batch run
// fails with a message, so that a command line asking for a script never
// passes silently.
#pragma once

#include <wx/string.h>

class script_batch_runner {
 public:
  virtual ~script_batch_runner() = default;
  // Runs script without the editor and saves its message log to log_file.
  // Returns false when the script failed.
  virtual bool run(const wxString& script, const wxString& log_file) = 0;
};

// Installs runner (not owned; null removes it); returns the previous one.
script_batch_runner* set_script_batch_runner(script_batch_runner* runner);
script_batch_runner* get_script_batch_runner();
