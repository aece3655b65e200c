// Pieces shared by the imports of structure sets, segmentations and label
// volumes as object contours: the progress shown for long imports, the
// replacement of the objects' surfaces and the final commit. Internal to the
// volume readers.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <wx/stopwatch.h>
#include <wx/string.h>

#include "data/data_io_ui.h"

class surface_interp;

// A progress display created only for an import still in its first quarter
// after the delay, and updated at most once per interval.
class import_progress {
 public:
  explicit import_progress(const wxString& title) : title_(title) { watch_.Start(); }
  // False once the user cancelled.
  bool step(long index, long total, const wxString& message);

 private:
  wxString title_;
  wxStopWatch watch_;
  std::unique_ptr<data_progress> shown_;
};

// Objects that an import changes: their surfaces are written none at once
// (held writes) and deleted only after the commit, so that no surface
// resource ever points to a deleted surface.
class import_commit {
 public:
  // Removes object's surface, if it has one.
  void drop_surface(int32_t object);
  // Raises OBJECT and CONT, commits every pending write, then deletes the
  // surfaces dropped.
  void commit();

 private:
  std::vector<surface_interp*> dropped_;
};

// The message of the overwrite question: one line per object from first on
// that holds contours and will be renamed to names[i]; empty when none does.
wxString overwrite_lines(int32_t first, const std::vector<wxString>& names);
