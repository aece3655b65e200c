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
    case surface_interp::GRID_TOO_LARGE: return false;  // logged
    case surface_interp::GRID_NO_PIXEL_SIZE:
      std::fprintf(stderr, "The data file sets no pixel size.\n");
      return false;
  }
  return false;
}
