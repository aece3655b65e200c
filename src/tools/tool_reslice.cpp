// nv_tool reslice IN.hm PLANE OUT.hm [CHOICE]
//   resamples the data of IN along reslice plane PLANE (0 to 3, placed as IN
//   saves it or by default from the current frame) and writes them as a new
//   native data file OUT with its companion frame file, as File > Export
//   resliced data does. CHOICE (1 to 28, default 1) is the line of the
//   resolution dialog: 1 to 8 keep every n-th pixel with slices n pixel
//   widths apart, 9 to 28 keep every pixel with slices 1 to 20 mm apart.
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "data/data_io_ui.h"
#include "data/native_file.h"
#include "registry/resource_table.h"
#include "tools/headless_session.h"
#include "views/reslice_export.h"
#include "views/reslice_internals.h"

namespace {

int reslice_usage() {
  std::fprintf(stderr,
               "usage: nv_tool reslice IN.hm PLANE OUT.hm [CHOICE]\n"
               "  PLANE 0 to 3; CHOICE 1 to 28 as in the resolution dialog (default 1)\n");
  return 2;
}

bool parse_int(const char* text, long lo, long hi, long& out) {
  char* end = nullptr;
  out = std::strtol(text, &end, 10);
  return end != text && *end == 0 && out >= lo && out <= hi;
}

}  // namespace

int run_reslice(int argc, char** argv) {
  long plane = 0, choice = 1;
  if (argc < 5 || argc > 6 || !parse_int(argv[3], 0, 3, plane) ||
      (argc == 6 && !parse_int(argv[5], 1, kResliceExportChoices, choice)))
    return reslice_usage();

  console_data_io_ui ui;
  data_ui_scope scope(ui);
  headless_session session;
  if (!open_native_file(wxString::FromUTF8(argv[2]))) return 1;
  resource_table_t& t = *resource_table;
  if (t.RES_BUF_FRAMES->read() <= 0 || !t.RES_POS_REC->read()) {
    ui.message(wxLOG_Error, "These data have no frames with positions to reslice.");
    return 1;
  }
  // Deleted before the session's table, which would otherwise delete it.
  std::unique_ptr<reslice_internals> builder(new reslice_internals(static_cast<int32_t>(plane), 0, 0));
  if (!builder->plane()->defined) {
    ui.message(wxLOG_Error, wxString::Format("Reslice plane %li could not be placed.", plane));
    return 1;
  }
  const reslice_export_choice c =
      reslice_export_choice_at(static_cast<int>(choice - 1), t.RES_XSCALE->read());
  return export_resliced_data(*builder, c, wxString::FromUTF8(argv[4])) ? 0 : 1;
}
