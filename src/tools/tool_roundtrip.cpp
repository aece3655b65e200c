// nv_tool roundtrip IN.hm OUT.hm: reads IN and its frames exactly as File >
// Open does and writes them as Save as does. Exit status 0 on success; 1
// when reading or writing fails; 2 for a wrong command line; 3 when IN was
// read but some of its data could not be kept (lines skipped, frames
// dropped, incomplete frame records), in which case nothing is written.
#include <wx/log.h>

#include <cstdio>

#include "data/data_io_ui.h"
#include "data/native_file.h"
#include "registry/resource_table.h"
#include "tools/headless_session.h"

namespace {

int roundtrip(const wxString& in, const wxString& out) {
  console_data_io_ui ui;
  data_ui_scope scope(ui);
  headless_session session;
  if (!open_native_file(in)) return 1;
  const native_read_losses& losses = last_read_losses();
  if (!losses.none()) {
    ui.message(wxLOG_Error,
               wxString::Format("\"%s\" could not be read without losing data (%i lines skipped, "
                                "the first at line %i; %i frames dropped, %i incomplete frame "
                                "records, %i frame files of the wrong size); \"%s\" was not "
                                "written.",
                                in, losses.ignored_lines, losses.first_ignored_line,
                                losses.frames_dropped, losses.incomplete_records,
                                losses.frame_file_mismatches, out));
    return 3;
  }
  return save_native_file_as(out, false) ? 0 : 1;
}

}  // namespace

int run_roundtrip(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: nv_tool roundtrip IN.hm OUT.hm\n");
    return 2;
  }
  return roundtrip(wxString(argv[2]), wxString(argv[3]));
}
