// Shared start of the surface subcommands: the data file opened as File >
// Open does, and the object's planes and settings as the Draw page reads them.
#pragma once

#include <cstdio>
#include <cstdlib>

#include <wx/string.h>

#include "data/data_io_ui.h"
#include "data/native_file.h"
#include "surfaces/surface_sources.h"
#include "tools/headless_session.h"

// Object number 0..200 from text; -1 when it is none.
inline int parse_object_number(const char* text) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (!*text || *end || v < 0 || v > 200) return -1;
  return int(v);
}

class surface_tool_session {
 public:
  surface_tool_session() : scope_(ui_) {}
  // Opens the file; false (with the reader's message) when it cannot be read.
  bool open(const char* path) { return open_native_file(wxString::FromUTF8(path)); }

 private:
  console_data_io_ui ui_;
  data_ui_scope scope_;
  headless_session session_;
};

// False, with the losses on stderr, when the file just opened lost data on
// reading (lines skipped, frames dropped, incomplete frame records).
inline bool report_read_losses(const char* path) {
  const native_read_losses& losses = last_read_losses();
  if (losses.none()) return true;
  std::fprintf(stderr,
               "\"%s\" could not be read without losing data (%i lines skipped, the first at "
               "line %i; %i frames dropped, %i incomplete frame records, %i frame files of the "
               "wrong size); no surface was built.\n",
               path, int(losses.ignored_lines), int(losses.first_ignored_line),
               int(losses.frames_dropped), int(losses.incomplete_records),
               int(losses.frame_file_mismatches));
  return false;
}

// The grid of the object's planes; false with a message on stderr when the
// object has no surface to build.
inline bool lay_object_grid(surface_interp& s, int object, std::vector<plane_source>& planes) {
  planes = surface_planes_of_object(object, resource_table->RES_SURFACE_COVER->read());
  switch (s.lay_grid(planes, surface_settings_from_resources())) {
    case surface_interp::GRID_LAID: return true;
    case surface_interp::GRID_TOO_FEW_PLANES:
      std::fprintf(stderr, "Object %d has closed contours on fewer than two located frames.\n",
                   object);
      return false;
    case surface_interp::GRID_TOO_LARGE:
    case surface_interp::GRID_BAD_POSITION: return false;  // logged
    case surface_interp::GRID_NO_PIXEL_SIZE:
      std::fprintf(stderr, "The data file sets no pixel size.\n");
      return false;
  }
  return false;
}
